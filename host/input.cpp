// host/input.cpp — the window's callbacks as host events: key translation, characters, mouse,
// the close request, the pointer, and game pads with their two button layouts.
// Depends on: desktop_game.h, window_api.h.
#include "desktop_game.h"

int pjoys[4];

// ============================================================================
// [SECTION] Keys
// ============================================================================

namespace {

// Key codes for classic key numbers 32..316; digits and letters pass through before it.
struct KeyTable {
  unsigned char code[317] = {};
  KeyTable() {
    code[32] = 32;
    code[34] = code[39] = 222;
    code[44] = 188;
    code[45] = 189;
    code[46] = 190;
    code[47] = 191;
    code[59] = 186;
    code[61] = 187;
    code[91] = 219;
    code[92] = 220;
    code[93] = 221;
    code[96] = code[126] = 192;
    code[GLFW2_KEY_ESC] = 27;
    for (int i = 0; i < 12; ++i) code[GLFW2_KEY_F1 + i] = static_cast<unsigned char>(112 + i);
    code[GLFW2_KEY_UP] = 38;
    code[GLFW2_KEY_DOWN] = 40;
    code[GLFW2_KEY_LEFT] = 37;
    code[GLFW2_KEY_RIGHT] = 39;
    code[GLFW2_KEY_LSHIFT] = code[GLFW2_KEY_RSHIFT] = 16;
    code[GLFW2_KEY_LCTRL] = code[GLFW2_KEY_RCTRL] = 17;
    code[GLFW2_KEY_TAB] = 9;
    code[GLFW2_KEY_ENTER] = 13;
    code[GLFW2_KEY_BACKSPACE] = 8;
    code[GLFW2_KEY_INSERT] = 45;
    code[GLFW2_KEY_DEL] = 46;
    code[GLFW2_KEY_PAGEUP] = 33;
    code[GLFW2_KEY_PAGEDOWN] = 34;
    code[GLFW2_KEY_HOME] = 36;
    code[GLFW2_KEY_END] = 35;
    for (int i = 0; i < 10; ++i) code[GLFW2_KEY_KP_0 + i] = static_cast<unsigned char>(96 + i);
    code[GLFW2_KEY_KP_DIVIDE] = 111;
    code[GLFW2_KEY_KP_MULTIPLY] = 106;
    code[GLFW2_KEY_KP_SUBTRACT] = 109;
    code[GLFW2_KEY_KP_ADD] = 107;
    code[GLFW2_KEY_KP_DECIMAL] = 110;
  }
};
const KeyTable g_keys;

} // namespace

int ZuGlfwGame::TransKey(int key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return key;
  if (key < 32 || key > GLFW2_KEY_KP_DECIMAL) return 0;
  return g_keys.code[key];
}

int ZuGlfwGame::KeyToChar(int key) {
  switch (key) {
  case 8:
  case 9:
  case 13:
  case 27:
    return key;
  case 46:
    return 127;
  }
  if ((key >= 33 && key <= 40) || key == 45) return 65536 + key;
  return 0;
}

// ============================================================================
// [SECTION] Callbacks
// ============================================================================

void ZuGlfwGame::OnKey(int key, int action) {
  int code = TransKey(key);
  if (!code) return;
  if (action == GLFW2_PRESS) {
    if (_releaseWaiting[code]) { // a second tap before the update: both count
      _releaseWaiting[code] = false;
      KeyEvent(2, code);
    }
    _pressedSinceUpdate[code] = _pressedAny = true;
    KeyEvent(1, code);
    if (int ch = KeyToChar(code)) KeyEvent(3, ch);
  } else if (action == GLFW2_RELEASE) {
    if (_pressedSinceUpdate[code])
      _releaseWaiting[code] = true;
    else
      KeyEvent(2, code);
  }
}

void ZuGlfwGame::DeliverWaitingReleases() {
  if (!_pressedAny) return; // the common update: nothing pressed since the last one
  _pressedAny = false;
  for (int code = 0; code < kKeyCodes; ++code) {
    _pressedSinceUpdate[code] = false;
    if (!_releaseWaiting[code]) continue;
    _releaseWaiting[code] = false;
    KeyEvent(2, code);
  }
  _buttonsPressedSinceUpdate = 0;
  for (int button = 0; button <= 2; ++button) {
    if (!(_buttonsReleaseWaiting & 1 << button)) continue;
    _buttonsReleaseWaiting &= ~(1 << button);
    MouseEvent(5, button, _waitingAt[button][0], _waitingAt[button][1]);
  }
}

void ZuGlfwGame::UpdateGame() {
  ZuGame::UpdateGame();
  DeliverWaitingReleases();
}

// A suspended game sees no update: what was let go is let go now.
void ZuGlfwGame::SuspendGame() {
  DeliverWaitingReleases();
  ZuGame::SuspendGame();
}

void ZuGlfwGame::OnChar(int character, int action) {
  if (action == GLFW2_PRESS) KeyEvent(3, character);
}

void ZuGlfwGame::OnMouseButton(int button, int action) {
  int x, y;
  glfw2().GetMousePos(&x, &y);
  ButtonEvent(button, action, static_cast<float>(x), static_cast<float>(y));
}

void ZuGlfwGame::ButtonEvent(int button, int action, float x, float y) {
  if (button < 0 || button > 2) return;
  const int bit = 1 << button;
  if (action == GLFW2_PRESS) {
    if (_buttonsReleaseWaiting & bit) { // a second click before the update: both count
      _buttonsReleaseWaiting &= ~bit;
      MouseEvent(5, button, _waitingAt[button][0], _waitingAt[button][1]);
    }
    _buttonsDown |= bit;
    _buttonsPressedSinceUpdate |= bit;
    _pressedAny = true;
  } else {
    _buttonsDown &= ~bit;
    if (_buttonsPressedSinceUpdate & bit) { // the update sees the click, then the release
      _buttonsReleaseWaiting |= bit;
      _waitingAt[button][0] = x, _waitingAt[button][1] = y;
      return;
    }
  }
  MouseEvent(action == GLFW2_PRESS ? 4 : 5, button, x, y);
}

void ZuGlfwGame::OnMousePos(int x, int y) { MouseEvent(6, -1, static_cast<float>(x), static_cast<float>(y)); }

int ZuGlfwGame::OnWindowClose() {
  if (_replacingWindow) return 0;
  KeyEvent(1, 432);
  KeyEvent(2, 432);
  return 0; // the window stays; the application decides what closing means
}

void ZuGlfwGame::SetMouseVisible(bool visible) {
  if (visible)
    glfw2().Enable(GLFW2_MOUSE_CURSOR);
  else
    glfw2().Disable(GLFW2_MOUSE_CURSOR);
}

// ============================================================================
// [SECTION] Game pads
// ============================================================================

namespace {

const int kEnd = 999;
// Analogue outputs: high bits the operation, low 4 bits the axis or button.
const int kAxesA[6] = {0, 1, 2, 4, 64 | 3, 64 | 2};
const int kAxesB[6] = {0, 1, 128 | 6, 2, 64 | 3, 128 | 7};
const int kButtonsA[] = {0, 1, 2, 3, 4, 5, 6, 7, -4, -3, -2, -1, 8, 9, kEnd};
const int kButtonsB[] = {1, 2, 0, 3, 4, 5, 8, 9, -4, -3, -2, -1, 10, 11, kEnd};

float Analogue(int entry, const float* axes, const unsigned char* buttons) {
  int i = entry & 15;
  float axis = i < 6 ? axes[i] : 0.0f;
  switch (entry & ~15) {
  case 0:
    return axis;
  case 16:
    return (1 + axis) * 0.5f;
  case 32:
    return (1 - axis) * 0.5f;
  case 64:
    return -axis;
  case 128:
    return buttons[i] == GLFW2_PRESS ? 1.0f : 0.0f;
  }
  return 0.0f;
}

} // namespace

bool ZuGlfwGame::PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                              Array<bool> buttons) {
  Glfw2& g = glfw2();
  if (port < 0 || port > 3) return false;
  if (port == 0) {
    int n = 0;
    for (int j = 0; j <= GLFW2_JOYSTICK_LAST && n < 4; ++j)
      if (g.GetJoystickParam(j, GLFW2_PRESENT)) pjoys[n++] = j;
    while (n < 4) pjoys[n++] = -1;
  }
  int joy = pjoys[port];
  if (joy == -1) return false;

  float axes[6];
  unsigned char buts[32];
  int nAxes = g.GetJoystickParam(joy, GLFW2_AXES);
  int nButs = g.GetJoystickParam(joy, GLFW2_BUTTONS);
  g.GetJoystickPos(joy, axes, 6);
  g.GetJoystickButtons(joy, buts, 32);
  bool layoutA = nButs == 14 && nAxes == 5;

  const int* axisList = layoutA ? kAxesA : kAxesB;
  float out[6] = {};
  for (int i = 0; i < 6 && axisList[i] != kEnd; ++i) out[i] = Analogue(axisList[i], axes, buts);
  if (joyx.Length() >= 2 && joyy.Length() >= 2 && joyz.Length() >= 2) {
    joyx[0] = out[0];
    joyy[0] = out[1];
    joyz[0] = out[2];
    joyx[1] = out[3];
    joyy[1] = out[4];
    joyz[1] = out[5];
  }

  for (bool& b : buttons) b = false;
  const int* buttonList = layoutA ? kButtonsA : kButtonsB;
  for (int i = 0; buttonList[i] != kEnd && i < buttons.Length(); ++i) {
    int e = buttonList[i] < 0 ? nButs + buttonList[i] : buttonList[i];
    buttons[i] = e >= 0 && e < 32 && buts[e] == GLFW2_PRESS;
  }
  return true;
}
