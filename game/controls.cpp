// game/controls.cpp — c_MyApp's controls: the control query over keyboard, pads, sticks and
// virtual buttons, the stick flips, the key-pair controller and the analogue state.
// Depends on: my_app.h, globals.h, app/input.h (key and pad state), host (keyboard flag).
#include <cmath>

#include "globals.h"
#include "my_app.h"

namespace {

// Control numbers; directions and buttons are also their virtual buttons.
constexpr float kStickDeadZone = 0.4f;
constexpr int kVButtonsCleared = 19; // entries 0..18; 19 is the back-key hit count

// The sources of one control.
struct Sources {
  int keys[5];     // keyboard codes, ending at 0
  int buttons[4];  // pad buttons, ending at -1
  int vbuttons[4]; // virtual buttons, ending at -1
};

bool KeyHeld(int code) { return zu_input_device && zu_input_KeyDown(code); }

bool PadButtonHeld(int button, int pad) {
  // Pads 0..3 only: further units would alias the touch codes.
  return zu_input_device && pad >= 0 && pad <= 3 && zu_input_JoyDown(button, pad);
}

// The sources of a control, from the table of the key-pair mode in force; false for a number
// that is no control.
bool FindSources(int control, bool keyPair, Sources& out) {
  static const Sources kFree[] = {
      {{38, 87, 0}, {9, -1}, {0, -1}},                         // up
      {{37, 65, 0}, {8, -1}, {3, -1}},                         // left
      {{39, 68, 0}, {10, -1}, {5, -1}},                        // right
      {{40, 83, 0}, {11, -1}, {8, -1}},                        // down
      {{90, 74, 32, 13, 0}, {0, -1}, {10, -1}},                // A
      {{88, 75, 17, 0}, {1, -1}, {11, -1}},                    // B
      {{67, 76, 16, 0}, {2, -1}, {12, -1}},                    // X
      {{86, 73, 0}, {3, -1}, {13, -1}},                        // Y
      {{66, 85, 0}, {4, -1}, {14, -1}},                        // L
      {{78, 79, 0}, {5, -1}, {15, -1}},                        // R
      {{27, 192, 46, 8, 0}, {6, 7, 14, -1}, {16, 17, 19, -1}}, // pause and back
  };
  // With the key-pair controller on, its letters leave the keyboard part.
  static const Sources kPaired[] = {
      {{38, 0}, {9, -1}, {0, -1}},
      {{37, 0}, {8, -1}, {3, -1}},
      {{39, 0}, {10, -1}, {5, -1}},
      {{40, 0}, {11, -1}, {8, -1}},
      {{32, 13, 0}, {0, -1}, {10, -1}},
      {{17, 0}, {1, -1}, {11, -1}},
      {{16, 0}, {2, -1}, {12, -1}},
      {{0}, {3, -1}, {13, -1}},
      {{0}, {4, -1}, {14, -1}},
      {{0}, {5, -1}, {15, -1}},
      {{27, 46, 8, 0}, {6, 7, 14, -1}, {16, 17, 19, -1}},
  };
  int row;
  switch (control) {
  case CTRL_UP:
    row = 0;
    break;
  case CTRL_LEFT:
    row = 1;
    break;
  case CTRL_RIGHT:
    row = 2;
    break;
  case CTRL_DOWN:
    row = 3;
    break;
  case CTRL_PAUSE:
  case CTRL_BACK:
    row = 10;
    break;
  default:
    if (control < CTRL_A || control > CTRL_R) return false;
    row = 4 + control - CTRL_A;
  }
  out = keyPair ? kPaired[row] : kFree[row];
  return true;
}

} // namespace

// ============================================================================
// [SECTION] Control query
// ============================================================================

int c_MyApp::p_PlayKey(int control, int mode, int pad) {
  if (pad < -1) return 0;
  bool keyPair = zu_Tessel_iCadeControls == 1;
  if (control == CTRL_PAUSE && (keyPair || pad == -1)) return 0;
  Sources src;
  if (!FindSources(control, keyPair, src)) return 0;

  for (int i = 0; src.keys[i] != 0; ++i)
    if (KeyHeld(src.keys[i])) return 1;
  if (pad >= 0) {
    for (int i = 0; src.buttons[i] >= 0; ++i)
      if (PadButtonHeld(src.buttons[i], pad)) return 1;
    if (mode == 1 && !keyPair) {
      switch (control) {
      case CTRL_UP:
        if (p_StickY(0, pad) < -kStickDeadZone) return 1;
        break;
      case CTRL_DOWN:
        if (p_StickY(0, pad) > kStickDeadZone) return 1;
        break;
      case CTRL_LEFT:
        if (p_StickX(0, pad) < -kStickDeadZone) return 1;
        break;
      case CTRL_RIGHT:
        if (p_StickX(0, pad) > kStickDeadZone) return 1;
        break;
      }
    }
  }
  for (int i = 0; src.vbuttons[i] >= 0; ++i) {
    int v = m_VButtons[src.vbuttons[i]];
    if (v == 0) continue;
    // The key-pair shoulder and Y buttons report their own value to the keyboard query.
    if (keyPair && pad == -1 && control >= 13 && control <= 15) return v;
    return 1;
  }
  return 0;
}

int c_MyApp::p_PlayKeyAll(int control, int mode) {
  int n = 0;
  for (int pad = 0; pad < 4; ++pad) n += p_PlayKey(control, mode, pad);
  return n;
}

// ============================================================================
// [SECTION] Sticks
// ============================================================================

float c_MyApp::p_StickX(int stick, int pad) {
  if (pad < 0 || stick < 0 || stick > 1 || !zu_input_device) return 0;
  return zu_input_JoyX(stick, pad);
}

float c_MyApp::p_StickY(int stick, int pad) {
  if (pad < 0 || stick < 0 || stick > 1 || !zu_input_device) return 0;
  float y = zu_input_JoyY(stick, pad);
  return m_Settings[15 + stick] == 0 ? -y : y;
}

// ============================================================================
// [SECTION] Key-pair controller
// ============================================================================

int c_MyApp::p_iCade(int on) {
  if (on == 1) {
    if (ZuGame::_game) ZuGame::_game->SetKeyboardEnabled(true);
    zu_Tessel_iCadeControls = 1;
    // Letters typed before the switch are not controller codes.
    if (zu_input_device) {
      do m_j = zu_input_GetChar();
      while (m_j != 0);
    }
  } else if (on == 0) {
    if (ZuGame::_game) ZuGame::_game->SetKeyboardEnabled(false);
    zu_Tessel_iCadeControls = 0;
    for (int i = 0; i < kVButtonsCleared; ++i) m_VButtons[i] = 0;
  }
  return 0;
}

int c_MyApp::p_iCadeChar(int character) {
  // Each controller button types one letter going down and another coming up.
  static const char kPress[] = "WXADHJKYUIOL";
  static const char kRelease[] = "EZQCRNPTFMGV";
  static const int kButton[] = {0, 8, 3, 5, 10, 11, 12, 13, 14, 15, 16, 17};
  if (character >= 'a' && character <= 'z') character -= 'a' - 'A';
  if (character < 'A' || character > 'Z') return 0;
  for (int i = 0; i < 12; ++i) {
    if (character == kPress[i]) {
      m_VButtons[kButton[i]] = 2;
      return 1;
    }
    if (character == kRelease[i]) {
      m_VButtons[kButton[i]] = 0;
      return 1;
    }
  }
  return 0;
}

// ============================================================================
// [SECTION] Analogue state
// ============================================================================

int c_MyApp::p_AnalogueControl() {
  m_AnalogX = m_AnalogY = 0;
  if (zu_input_device) {
    float x = zu_input_JoyX(0, 0);
    float y = zu_input_JoyY(0, 0);
    if (m_Settings[15] != 1) y = -y;
    if (std::fabs(x) > 0.2f || std::fabs(y) > 0.2f) {
      m_AnalogX = x;
      m_AnalogY = y;
    }
  }
  // Keys ramp their axis towards the held side and fall back to 0 when let go.
  auto ramp = [this](int negative, int positive, float& key, float& axis) {
    if (p_PlayKey(negative, 0, 0)) {
      key -= 0.15f;
      axis = key;
    } else if (key < 0) {
      key = std::fmin(key + 0.2f, 0.0f);
      axis = key;
    }
    if (p_PlayKey(positive, 0, 0)) {
      key += 0.15f;
      axis = key;
    } else if (key > 0) {
      key = std::fmax(key - 0.2f, 0.0f);
      axis = key;
    }
  };
  ramp(CTRL_UP, CTRL_DOWN, m_KeyAnalogY, m_AnalogY);
  ramp(CTRL_LEFT, CTRL_RIGHT, m_KeyAnalogX, m_AnalogX);
  auto clamp = [](float& v) { v = std::fmax(-1.0f, std::fmin(1.0f, v)); };
  clamp(m_AnalogX);
  clamp(m_AnalogY);
  clamp(m_KeyAnalogX);
  clamp(m_KeyAnalogY);
  if (zu_Tessel_DebugMode == 1 && (std::fabs(m_AnalogX) > 0.05f || std::fabs(m_AnalogY) > 0.05f)) {
    p_SetCol(0, 180, 250, 0.5f);
    float cx = zu_Tessel_jscrw - 64, cy = zu_Tessel_jscrh - 64;
    p_Oval(cx, cy, 12, 12);
    p_Oval(cx + 52 * m_AnalogX, cy + 52 * m_AnalogY, 8, 8);
  }
  p_ResetDraw();
  return 0;
}
