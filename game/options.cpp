// game/options.cpp — the options box (slide, back gear, the five rows and what they do, its own
// latches, saving on close) and the switch between window and full screen.
// Depends on: my_app.h, globals.h, app (the host), host (window re-opening).
#include <cmath>

#include "app/app.h"
#include "globals.h"
#include "host/game.h"
#include "my_app.h"

namespace {

constexpr int kSlideUpdates = 30;
constexpr int kRows = 5;
constexpr int kSoundModes = 4;
constexpr int SOUND_OFF = 0, SOUND_SFX = 2; // the modes without music
constexpr int kVirtualButtons = 20;

const char* const kSoundRow[kSoundModes] = {"Sound : Off", "Sound : SFX + Music", "Sound : SFX",
                                            "Sound : Music"};

// The sound mode as a row index: a saved value outside 0..3 shows (and steps) as the default.
int SoundMode(int saved) { return saved >= 0 && saved < kSoundModes ? saved : 1; }

} // namespace

// ============================================================================
// [SECTION] Full screen
// ============================================================================

int c_MyApp::p_FullscreenFlip() {
  ZuWindowHost* window = zu_app__game ? zu_app__game->WindowHost() : nullptr;
  if (!window) return 0; // a host without a window of its own has nothing to switch
  // The mode's fields are read before the window changes hands.
  ZuGlfwVideoMode* desktop = window->GetGlfwDesktopMode();
  const int r = desktop ? desktop->red : 8, g = desktop ? desktop->green : 8, b = desktop ? desktop->blue : 8;
  const int dw = desktop ? desktop->width : 0, dh = desktop ? desktop->height : 0;
  if (m_Fullscreen == 0 && (dw <= 0 || dh <= 0)) return 0;
  m_Fullscreen = 1 - m_Fullscreen;
  if (m_Fullscreen == 1)
    window->SetGlfwWindow(dw, dh, r, g, b, 0, 0, 0, true);
  else
    window->SetGlfwWindow(640, 480, r, g, b, 0, 0, 0, false);
  return 0;
}

// ============================================================================
// [SECTION] The options box
// ============================================================================

int c_MyApp::p_OptionBox() {
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  if (m_OptionsSlide < kSlideUpdates) {
    m_OptionsKeyLatch = m_OptionsTouchLatch = 1;
    if (p_PlayKeyAll(CTRL_BACK, 1) > 0) m_BackLatch = 1; // a back press held as the box opens
  }
  m_KeyLatch = m_TouchLatch = 1; // the screen below takes no input
  const float top = 24 * static_cast<float>(kSlideUpdates - m_OptionsSlide);

  p_ResetDraw();
  p_SetCol(150, 75, 0, 0.85f);
  p_Rect(50, top, w - 100, h);

  // Back gear and its caption.
  const float gx = 100 + 4 * (3 * static_cast<float>(m_OptionsSlide) - 90), gy = 60;
  m_GearAngle = std::fmod(m_GearAngle + 0.2f, 360.0f);
  p_SetCol(255, 255, 255, 1);
  p_SetSize(m_OptionsSel == 0 ? 2 : 1.5f);
  const bool onGear = p_Gear(gx, gy) != 0;
  p_SetSize(2);
  p_Text(gx + 76, gy, String("<[BACK]"), 0, 1);
  const bool boxFree = m_OptionsKeyLatch == 0 && m_OptionsTouchLatch == 0;
  // A new back press closes the box once it has slid in, whatever else is held: a held arrow
  // key keeps the box's key latch set, and back must still close it.
  const bool back = p_PlayKeyAll(CTRL_BACK, 1) > 0 && m_BackLatch == 0 && m_OptionsSlide >= kSlideUpdates;
  if ((boxFree && onGear) || (m_OptionsOpen == 1 && back)) {
    if (back) m_BackLatch = 1; // the press that closed the box does nothing more
    p_CloseOptions();
  }

  for (int row = 1; row <= kRows; ++row) p_OptionRow(row, top + 130 + 40 * static_cast<float>(row - 1));

  // Keys: confirm on the gear closes, up and down move the cursor.
  if (m_OptionsOpen == 1 && m_OptionsKeyLatch == 0) {
    bool confirm = false;
    for (int c = CTRL_A; c <= CTRL_R; ++c) confirm = confirm || p_PlayKeyAll(c, 1) > 0;
    if (confirm && m_OptionsSel == 0 && m_OptionsTouchLatch == 0) {
      p_CloseOptions();
    } else if (p_PlayKeyAll(CTRL_UP, 1) > 0 && m_OptionsSel > 0) {
      m_OptionsSel -= 1;
      m_OptionsKeyLatch = 1;
      p_PlaySFX(99, 1, 1, 0);
    } else if (p_PlayKeyAll(CTRL_DOWN, 1) > 0 && m_OptionsSel < kRows) {
      m_OptionsSel += 1;
      m_OptionsKeyLatch = 1;
      p_PlaySFX(99, 1, 1, 0);
    }
  }

  // The box's latches let go once everything is released.
  static const int kControls[] = {CTRL_UP, CTRL_LEFT, CTRL_RIGHT, CTRL_DOWN, 10,       11,
                                  12,      13,        14,         15,        CTRL_BACK};
  bool held = false;
  for (int c : kControls) held = held || p_PlayKeyAll(c, 1) > 0;
  if (!held) m_OptionsKeyLatch = 0;
  if (m_Down == 0) m_OptionsTouchLatch = 0;
  p_ResetDraw();
  return 0;
}

// One row: its bar (the touch area), its text, and its action when touched or confirmed. A
// touch needs only the box's touch latch, so a held controller button never locks the box.
void c_MyApp::p_OptionRow(int row, float y) {
  const float w = zu_Tessel_jscrw;
  p_SetSize(1);
  p_SetCol(0, m_OptionsSel == row ? 180 : 0, 160, 0.5f);
  const bool touched = p_Touch2(y - 2, w - 168) != 0;
  String text;
  switch (row) {
  case 1:
    text = String(kSoundRow[SoundMode(m_Settings[5])]);
    break;
  case 2:
    text = String(zu_Tessel_iCadeControls == 1 ? "iCade : On" : "iCade : Off");
    break;
  case 3:
    text = String(m_Fullscreen == 1 ? "Windowed" : "Fullscreen");
    break;
  case 4:
    text = String(m_Settings[15] == 1 ? "Left Thumbstick Y Normal" : "Left Thumbstick Y Flipped");
    break;
  default:
    text = String(m_Settings[16] == 1 ? "Right Thumbstick Y Normal" : "Right Thumbstick Y Flipped");
    break;
  }
  p_SetCol(255, 255, 255, 1);
  p_SetSize(2);
  p_Text(100, y, text, 0, 0);
  p_SetSize(1);

  if (touched && m_OptionsTouchLatch == 0) {
    m_OptionsSel = row;
    p_OptionsActivate(row);
    return;
  }
  if (row != m_OptionsSel || m_OptionsKeyLatch != 0 || m_OptionsTouchLatch != 0) return;
  for (int c = CTRL_A; c <= CTRL_R; ++c)
    if (p_PlayKeyAll(c, 1) > 0) {
      p_OptionsActivate(row);
      return;
    }
}

int c_MyApp::p_OptionsActivate(int row) {
  switch (row) {
  case 1: {
    const int mode = (SoundMode(m_Settings[5]) + 1) % kSoundModes;
    m_Settings[5] = mode;
    if (mode == SOUND_OFF || mode == SOUND_SFX)
      p_StopTune(); // the tune really stops, not only its flag
    else if (m_GameMode >= 10)
      p_PlayTune(String("-1"), 1);
    break;
  }
  case 2:
    p_iCade(zu_Tessel_iCadeControls == 1 ? 0 : 1);
    for (int i = 0; i < kVirtualButtons; ++i) m_VButtons[i] = 0;
    break;
  case 3:
    p_FullscreenFlip();
    break;
  case 4:
  case 5:
    m_Settings[11 + row] = m_Settings[11 + row] == 1 ? 0 : 1;
    break;
  default:
    break;
  }
  p_PlaySFX(99, 1, 1, 0);
  m_OptionsKeyLatch = m_OptionsTouchLatch = 1;
  return 0;
}

int c_MyApp::p_CloseOptions() {
  m_OptionsOpen = 0;
  m_OptionsKeyLatch = m_OptionsTouchLatch = 1;
  p_PlaySFX(99, 1, 1, 0);
  p_Save();
  return 0;
}
