// game/menu.cpp — the main menu: title, score panel with its lists and play button, the
// game-length wheel with its gear (drag, inertia, rest, taps, key repeat), focus and confirm,
// the score-and-credits panel, and the caption with the best and longest words.
// Depends on: my_app.h, globals.h, app (device size), runtime (errors).
#include <cmath>

#include "app/app.h"
#include "globals.h"
#include "my_app.h"
#include "runtime/errors.h"

namespace {

constexpr float kDeg = 3.14159265358979f / 180.0f;
constexpr int kCreditLoop = 58;  // the scroller loops over the first 58 credit lines
constexpr float kItemStep = 32;  // degrees between wheel items
constexpr float kMaxSpin = 40;   // fastest wheel, degrees per update
constexpr float kMoving = 0.05f; // the wheel counts as turning above this speed
constexpr int kRepeatDelay = 30; // first key-repeat delay on the wheel
constexpr int kScoreField = 8;   // characters of a score in the panel's lists (seven digits and more)

const char* const kToolkitLine = "C++17 on its own small runtime";

float Clamp(float v, float low, float high) { return v < low ? low : (v > high ? high : v); }

} // namespace

// ============================================================================
// [SECTION] One update of the menu
// ============================================================================

int c_MyApp::p_Menu() {
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  p_DoBG(-1, -123, -123, -123);
  if (m_MenuIntro < 0) m_MenuIntro = static_cast<int>(static_cast<float>(m_MenuIntro) + 0.25f);
  m_PanelW = m_SidePanelX + 140;
  m_GameLength = m_MenuSel + 1 < 1 ? 1 : (m_MenuSel + 1 > 3 ? 3 : m_MenuSel + 1);
  // A back press that closed the options box or the panel never also ends the program.
  if (m_KeyLatch == 0 && m_TouchLatch == 0 && m_BackLatch == 0 && p_PlayKeyAll(CTRL_BACK, 1) > 0) {
    p_Save(); // leaving from the menu keeps everything
    zuError(String());
  }
  if (m_TouchLatch == 0) m_MenuTapPending = 0;

  // Title.
  p_SetSize(1.5f);
  p_DrawImg(98, (w - m_PanelW) * (m_Landscape == 1 ? 0.65f : 0.5f), 96 + 12 * static_cast<float>(m_MenuIntro),
            0);
  p_SetSize(1);

  p_MenuScorePanel(w - m_PanelW / 2, h - 48);
  p_MenuWheel();
  p_MenuKeys();
  if (m_SidePanelOpen == 1) p_MenuCredits();
  p_MenuWords();
  p_ResetDraw();
  return 0;
}

// The score panel at the right edge, with the play button over its foot. The play button is
// tested first: a press on it starts a game and is no press on the panel.
void c_MyApp::p_MenuScorePanel(float playX, float playY) {
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  const float intro = static_cast<float>(m_MenuIntro);
  const float left = w - m_PanelW - 8 * intro;
  const bool focused = m_MenuFocus == 2;
  const bool free = m_TouchLatch == 0 && m_OptionsOpen == 0;
  p_ResetDraw();
  p_SetCol(255, 255, 255, focused ? 1 : 0.2f);
  p_Rect(left, 0, 3, h);
  p_SetCol(0, 0, 0, focused ? 0.75f : 0.45f);
  p_Rect(left + 3, 0, w - left, h);

  const bool onPanel = p_MouseIn(left, 0, w - left, h) != 0;
  const bool onPlay = p_MouseIn_Centered(playX, playY, 128, 128) != 0;
  if (free && m_SidePanelOpen == 0 && onPlay) {
    m_MenuFocus = 1;
    p_PlaySFX(98, 1, 1, 0);
    p_StartGame();
  } else if (free && onPanel) {
    m_KeyLatch = m_TouchLatch = 1;
    if (m_SidePanelOpen == 1)
      m_SidePanelOpen = 0; // a press on the open panel closes it
    else if (m_MenuFocus != 2)
      m_MenuFocus = 2;
    else
      m_SidePanelOpen = 1;
    p_PlaySFX(99, 1, 1, 0);
  }

  // The two lists of the chosen length: as many lines as fit in the lower half, 1..10. A score
  // takes a field of kScoreField characters, which keeps the last digit of every score clear of
  // the panel's (and the screen's) right edge at every screen size.
  if (m_OptionsOpen == 0) {
    // (The screen's height can come out a hair under a whole number: that is no line less.)
    const int n = static_cast<int>(Clamp(std::floor(((h - 90) - h / 2) / 15 + 0.001f), 1, 10));
    const int base = 10 * (m_GameLength - 1);
    String top = n == 1 ? String("Highscore\\n") : String("Top ") + String(n) + String("\\n");
    String last = n == 1 ? String("Last\\n") : String("Last ") + String(n) + String("\\n");
    for (int i = 0; i < n; ++i) {
      top += p_rstr(m_HighScores[base + i], kScoreField, String(" ")) + String("\\n");
      last += p_rstr(m_HighScores[30 + base + i], kScoreField, String(" ")) + String("\\n");
    }
    const float x = w - m_PanelW - 4 * intro + 20;
    p_SetSize(1.5f);
    p_SetCol(255, 200, 100, 1);
    p_Text(x, 60, top, 0, 0);
    p_SetCol(200, 255, 100, 1);
    p_Text(x, h / 2 + 20, last, 0, 0);
  }

  if (m_MenuFocus == 1 && !onPanel) {
    p_SetSize(3);
    p_SetCol(100, 255, 100, 0.5f);
    p_DrawImg(97, playX, playY, 3);
  }
  p_ResetDraw();
}

// ============================================================================
// [SECTION] The wheel
// ============================================================================

void c_MyApp::p_MenuWheel() {
  const float h = zu_Tessel_jscrh;
  const float intro = static_cast<float>(m_MenuIntro);
  const float hx = 38 + 12 * intro, hy = h - 64 - 8 * intro;
  const bool closed = m_SidePanelOpen == 0 && m_OptionsOpen == 0;

  // Hub and options gear.
  p_ResetDraw();
  p_SetSize(0.5f);
  p_Alpha(m_MenuFocus == 0 ? 0.8f : 0.25f);
  p_DrawImg(85, hx, hy, 1);
  if (m_MenuFocus == 0) m_GearAngle = std::fmod(m_GearAngle + 0.3f, 360.0f);
  p_SetSize(1.5f);
  p_Alpha(1);
  p_Gear(hx, hy);
  const bool onGear = p_MouseIn_Centered(hx, hy, 64, 64) != 0;
  if (onGear && m_TouchLatch == 0 && closed) {
    m_OptionsOpen = 1;
    m_MenuFocus = 0;
    m_KeyLatch = m_TouchLatch = 1;
    p_PlaySFX(99, 1, 1, 0);
  }
  p_SetSize(1.5625f);
  p_SetRot(m_MenuSpin);
  p_Alpha(m_MenuFocus == 1 ? 0.8f : 0.25f);
  p_DrawImg(85, hx, hy, 3);

  // Motion: inertia, then the shown angle eases to the target.
  m_MenuAngle += m_MenuSpinVel;
  m_MenuSpinVel *= 0.75f;
  if (std::fabs(m_MenuSpinVel) < 1) m_MenuSpinVel = 0;
  m_MenuSpin += (m_MenuAngle - m_MenuSpin) / 8;
  if (std::fabs(m_MenuAngle - m_MenuSpin) < 0.5f) m_MenuSpin = m_MenuAngle;

  // Drag: the pointer's travel since the last update of the drag turns the wheel.
  if (m_Down == 0) {
    m_DragHasPrev = 0;
    // Once it has stopped, the wheel rests on the chosen item.
    if (m_MenuSpinVel == 0) m_MenuAngle = -kItemStep * static_cast<float>(m_MenuSel);
  } else if (m_TouchLatch < 1 && closed && p_MouseIn_Centered(hx, hy, 500, 500) && !onGear) {
    if (m_DragHasPrev) {
      const float d = static_cast<float>((m_DragPrevX - m_MouseX) + (m_DragPrevY - m_MouseY));
      m_MenuSpinVel = Clamp(m_MenuSpinVel - d / 4, -kMaxSpin, kMaxSpin);
      if (std::fabs(d / 4) > 1) m_KeyLatch = m_TouchLatch = -1;
    }
    m_DragPrevX = m_MouseX;
    m_DragPrevY = m_MouseY;
    m_DragHasPrev = 1;
    m_MenuFocus = 1;
  }

  // Items.
  const bool settled = std::fabs(m_MenuSpin - m_MenuAngle) < 2;
  for (int k = m_MenuSel - 3, last = m_MenuSel + 3; k <= last; ++k) {
    if (k < 0 || k > 2) continue;
    const float a = kItemStep * static_cast<float>(k) + 48 + m_MenuSpin;
    const float off = std::fabs(a - 45);
    const float r = 116 + (off <= 45 ? (45 - off) * 1.5f : 0);
    const float ix = hx + r * std::sin(a * kDeg), iy = hy - r * std::cos(a * kDeg);
    const float scale = k == m_MenuSel ? 1.75f : 0.75f;
    p_SetSize(scale);
    p_SetRot((a - 55) / 2);
    p_SetCol(255, 255, 255, m_MenuFocus == 1 ? 1 : 0.3f);
    p_DrawImg(95, ix, iy, k % 6);
    p_SetSize(1.5f * scale);
    p_Text(ix, iy, zu_Tessel_MenuSet[2 * (k % 3)], 1, 1);

    if (std::fabs(m_MenuSpinVel) > kMoving) {
      // Pushes only ever turn an item back towards the selectable range.
      if (k == 2 && a < 30) m_MenuSpinVel = 4;
      if (k == 2 && a > 200) m_MenuSpinVel = -4;
      if (k == 0 && a > 60 && a < 200) m_MenuSpinVel = -4;
      if (k != m_MenuSel && a > 30 && a < 60 && !(m_MenuTapPending && std::abs(k - m_MenuSel) == 1)) {
        m_MenuSel = k;
        p_PlaySFX(99, 1, 1, 0);
      }
    }
    if (m_TouchLatch != 0 || m_MenuTapPending || !settled || !closed) continue;
    if (k == m_MenuSel && p_MouseIn_Radius(ix, iy, 64, 64)) {
      m_MenuFocus = 1;
      p_PlaySFX(98, 1, 1, 0);
      p_StartGame();
    } else if (k != m_MenuSel && p_MouseIn_Radius(ix, iy, 52, 52)) {
      m_MenuFocus = 1;
      m_MenuSel = k;
      m_MenuAngle = -kItemStep * static_cast<float>(k);
      m_MenuSpinVel = 0;
      p_PlaySFX(99, 1, 1, 0);
      m_TouchLatch = -1;
      m_MenuTapPending = 1;
    }
  }
  p_ResetDraw();
}

// ============================================================================
// [SECTION] Keys
// ============================================================================

void c_MyApp::p_MenuKeys() {
  const bool up = p_PlayKey(CTRL_UP, 1, 0) != 0, down = p_PlayKey(CTRL_DOWN, 1, 0) != 0;
  const bool closed = m_SidePanelOpen == 0 && m_OptionsOpen == 0;
  // Key repeat: a held direction lets go of the key latch each time the countdown runs out;
  // only while the wheel can step (the panel scrolls with the same keys held).
  if ((up || down) && closed) {
    m_Player[PL_MENU_REPEAT] -= 1;
    if (m_Player[PL_MENU_REPEAT] < 0) m_KeyLatch = 0;
  } else {
    m_Player[PL_MENU_REPEAT] = 0;
    m_Player[PL_MENU_DELAY] = kRepeatDelay;
  }
  if (m_KeyLatch == 0 && m_TouchLatch == 0 && closed) {
    int step = 0;
    if (up && m_MenuSel > 0 && m_Player[PL_MENU_REPEAT] < 0) step = -1;
    if (down && m_MenuSel < 2 && m_Player[PL_MENU_REPEAT] < 0) step = 1;
    if (step != 0) {
      m_MenuSel += step;
      float delay = m_Player[PL_MENU_DELAY];
      if (delay < 3) delay = kRepeatDelay; // no delay yet: the first one
      m_Player[PL_MENU_REPEAT] = delay;
      m_Player[PL_MENU_DELAY] = delay - 12 > 3 ? delay - 12 : 3;
      m_MenuAngle = -kItemStep * static_cast<float>(m_MenuSel);
      m_MenuSpinVel = 0;
      m_KeyLatch = 1;
      p_PlaySFX(99, 1, 1, 0);
    }
    const bool left = p_PlayKey(CTRL_LEFT, 1, 0) != 0, right = p_PlayKey(CTRL_RIGHT, 1, 0) != 0;
    if (m_KeyLatch == 0 && (left || right)) {
      m_MenuFocus = left ? (m_MenuFocus > 0 ? m_MenuFocus - 1 : 0) : (m_MenuFocus < 2 ? m_MenuFocus + 1 : 2);
      m_KeyLatch = 1;
      p_PlaySFX(99, 1, 1, 0);
    }
  }
  // Confirm looks at the key latch alone; an open panel takes its own keys (and is not
  // opened again by the press that would close it).
  const bool confirm = p_PlayKey(CTRL_A, 1, 0) || p_PlayKey(CTRL_B, 1, 0) || p_PlayKey(CTRL_X, 1, 0);
  if (m_KeyLatch == 0 && confirm && m_SidePanelOpen == 0 && m_OptionsOpen == 0) {
    m_KeyLatch = 1;
    p_PlaySFX(98, 1, 1, 0);
    if (m_MenuFocus == 0) {
      m_OptionsOpen = 1;
      p_PlaySFX(99, 1, 1, 0);
    } else if (m_MenuFocus == 1) {
      p_StartGame();
    } else {
      m_SidePanelOpen = 1;
      p_PlaySFX(99, 1, 1, 0);
    }
  }
}

// ============================================================================
// [SECTION] Score-and-credits panel, caption and words
// ============================================================================

void c_MyApp::p_MenuCredits() {
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  m_CreditScroll -= 0.3f;
  if (p_PlayKeyAll(CTRL_UP, 1) > 0 || p_PlayKeyAll(CTRL_DOWN, 1) > 0) m_CreditScroll -= 1.5f;
  while (m_CreditScroll < -16) {
    m_CreditScroll += 16;
    m_CreditLine = (m_CreditLine + 1) % kCreditLoop;
  }
  if (m_CreditLine < 0 || m_CreditLine >= kCreditLoop) m_CreditLine = 0;
  const float x = 2 * w - m_PanelW - 160;
  p_ResetDraw();
  for (int k = -3; k <= 4; ++k) {
    const int line = p_CreditLineAt(k);
    const float t = std::fabs(16 * static_cast<float>(k) + m_CreditScroll) / 40 - 0.3f;
    const float s = t < 0 ? 0 : (t > 1 ? 24 : 24 * t);
    p_Alpha(t < 0 ? 1 : (t > 1 ? 0 : 1 - t));
    p_Text(x, h / 2 + 24 + 16 * static_cast<float>(k) + m_CreditScroll - s, zu_Tessel_CreditText[line], 0.8f,
           0.8f);
  }
  p_Alpha(1);
  auto size = [](float a, float b) {
    return String(static_cast<int>(a)) + String("x") + String(static_cast<int>(b));
  };
  String stats = String("Debug Stats\\nEngine ") + size(w, h) + String("\\nScreen ") +
                 size(static_cast<float>(zu_app_DeviceWidth()), static_cast<float>(zu_app_DeviceHeight())) +
                 String("\\nFPS ") + String(m_UpdateFpsAvg) + String(" : ") + String(m_RenderFpsAvg) +
                 String("\\nCoded in\\n") + String(kToolkitLine);
  p_SetCol(180, 180, 180, 0.8f);
  p_Text(x - 60, h - 70, stats, 0, 0); // one line a row, from its top left
  p_ResetDraw();

  if (m_KeyLatch == 0) {
    for (int c = CTRL_A; c <= CTRL_Y; ++c)
      if (p_PlayKeyAll(c, 1) > 0) {
        m_SidePanelOpen = 0;
        m_KeyLatch = 1;
        p_PlaySFX(99, 1, 1, 0);
        break;
      }
  }
}

int c_MyApp::p_CreditLineAt(int k) { return ((m_CreditLine + k) % kCreditLoop + kCreditLoop) % kCreditLoop; }

void c_MyApp::p_MenuWords() {
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  const float intro = static_cast<float>(m_MenuIntro);
  p_ResetDraw();
  if (w > 600) {
    p_SetSize(1.5f);
    p_Text(240, h - 52 - 3 * intro, zu_Tessel_MenuSet[2 * (m_MenuSel % 3) + 1], 0, 0);
  }
  const bool landscape = m_Landscape == 1;
  const float x = landscape ? 240 : 60;
  float y = landscape ? h / 2 - 10 * intro : h / 2 - 120;
  const int entry = 2 * (m_GameLength - 1);
  const char* const headings[2] = {"Longest Word", "Best Word"};
  const int entries[2] = {entry + 1, entry};
  for (int i = 0; i < 2; ++i) {
    p_SetSize(1.5f);
    p_Text(x, y, String(headings[i]), 0, 0);
    y += 20;
    String word = m_BestWords[entries[i]];
    if (word.Length() == 0) word = String("-");
    p_SetSize(1);
    p_Text(x + 20, y, word, 0, 0);
    // The score stands clear of a long word.
    const float after = x + 20 + 7 * static_cast<float>(word.Length()) + 8;
    p_Text(after > x + 80 ? after : x + 80, y - 6, String(m_BestWordScores[entries[i]]), 0, 0);
    y += 20;
  }
  p_ResetDraw();
}
