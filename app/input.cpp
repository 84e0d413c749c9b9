// app/input.cpp — c_InputDevice, c_JoyState and the zu_input_ functions.
// Depends on: input.h, host (PollJoystick, SetKeyboardEnabled), runtime.
#include "input.h"

#include "host/game.h"

c_InputDevice* zu_input_device;

namespace {
constexpr int kMouseCode = 1;   // left button; buttons 0..2 are codes 1..3
constexpr int kTouchCode = 384; // touch index 0..31 are codes 384..415
constexpr int kJoyCode = 256;   // 256 + 32 * unit + button

bool ValidCode(int code) { return code >= 1 && code < c_InputDevice::kCodes; }
} // namespace

// ============================================================================
// [SECTION] Records
// ============================================================================

c_JoyState* c_JoyState::m_new() {
  gc_assign(m_joyX, Array<float>(2));
  gc_assign(m_joyY, Array<float>(2));
  gc_assign(m_joyZ, Array<float>(2));
  gc_assign(m_buttons, Array<bool>(32));
  return this;
}

void c_JoyState::mark() {
  gc_mark_q(m_joyX);
  gc_mark_q(m_joyY);
  gc_mark_q(m_joyZ);
  gc_mark_q(m_buttons);
}

c_InputDevice* c_InputDevice::m_new() {
  gc_assign(m__joyStates, Array<c_JoyState*>(4));
  for (int i = 0; i < 4; ++i) gc_assign(m__joyStates[i], (new c_JoyState)->m_new());
  gc_assign(m__keyDown, Array<bool>(kCodes));
  gc_assign(m__keyHitQueue, Array<int>(kHitQueue));
  gc_assign(m__keyHit, Array<int>(kCodes));
  gc_assign(m__charQueue, Array<int>(kCharQueue));
  gc_assign(m__touchX, Array<float>(32));
  gc_assign(m__touchY, Array<float>(32));
  return this;
}

void c_InputDevice::mark() {
  gc_mark_q(m__joyStates);
  gc_mark_q(m__keyDown);
  gc_mark_q(m__keyHitQueue);
  gc_mark_q(m__keyHit);
  gc_mark_q(m__charQueue);
  gc_mark_q(m__touchX);
  gc_mark_q(m__touchY);
}

// ============================================================================
// [SECTION] Events
// ============================================================================

void c_InputDevice::p_PutKeyHit(int code) {
  if (!ValidCode(code) || m__keyHitPut == m__keyHitQueue.Length()) return;
  m__keyHit[code] += 1;
  m__keyHitQueue[m__keyHitPut++] = code;
}

void c_InputDevice::PressKey(int code) {
  if (!ValidCode(code) || m__keyDown[code]) return; // auto-repeat gives no extra hits
  m__keyDown[code] = true;
  p_PutKeyHit(code);
  if (code == kMouseCode) {
    m__keyDown[kTouchCode] = true;
    p_PutKeyHit(kTouchCode);
  } else if (code == kTouchCode) {
    m__keyDown[kMouseCode] = true;
    p_PutKeyHit(kMouseCode);
  }
}

void c_InputDevice::ReleaseKey(int code) {
  if (!ValidCode(code) || !m__keyDown[code]) return;
  m__keyDown[code] = false;
  if (code == kMouseCode)
    m__keyDown[kTouchCode] = false;
  else if (code == kTouchCode)
    m__keyDown[kMouseCode] = false;
}

void c_InputDevice::SetPointer(int touch, float x, float y) {
  m__touchX[touch] = x;
  m__touchY[touch] = y;
  if (touch == 0) {
    m__mouseX = x;
    m__mouseY = y;
  }
}

void c_InputDevice::p_KeyEvent(int event, int data) {
  switch (event) {
  case 1:
    PressKey(data);
    break;
  case 2:
    ReleaseKey(data);
    break;
  case 3:
    if (m__charPut < m__charQueue.Length()) m__charQueue[m__charPut++] = data;
    break;
  }
}

void c_InputDevice::p_MouseEvent(int event, int data, float x, float y) {
  switch (event) {
  case 4:
    PressKey(data + kMouseCode);
    SetPointer(0, x, y);
    break;
  case 5:
    ReleaseKey(data + kMouseCode);
    break;
  case 6:
    SetPointer(0, x, y);
    break;
  }
}

void c_InputDevice::p_TouchEvent(int event, int data, float x, float y) {
  if (data < 0 || data >= m__touchX.Length()) return;
  switch (event) {
  case 7:
    PressKey(data + kTouchCode);
    SetPointer(data, x, y);
    break;
  case 8:
    ReleaseKey(data + kTouchCode);
    break;
  case 9:
    SetPointer(data, x, y);
    break;
  }
}

void c_InputDevice::p_MotionEvent(int event, int, float x, float y, float z) {
  if (event != 10) return;
  m__accelX = x;
  m__accelY = y;
  m__accelZ = z;
}

void c_InputDevice::p_BeginUpdate() {
  bool present = true;
  for (int unit = 0; unit < 4; ++unit) {
    c_JoyState* joy = m__joyStates[unit];
    if (present)
      present = ZuGame::_game->PollJoystick(unit, joy->m_joyX, joy->m_joyY, joy->m_joyZ, joy->m_buttons);
    if (!present) {
      // Present pads fill the first ports, so this one and the rest are gone: a pad
      // unplugged mid-press must not leave its buttons held or its sticks pushed.
      for (Array<float> axes : {joy->m_joyX, joy->m_joyY, joy->m_joyZ})
        for (float& a : axes) a = 0;
      for (bool& b : joy->m_buttons) b = false;
    }
    for (int b = 0; b < 32; ++b) {
      int code = kJoyCode + 32 * unit + b;
      if (joy->m_buttons[b])
        PressKey(code);
      else
        m__keyDown[code] = false; // no release event for pad buttons
    }
  }
}

void c_InputDevice::p_EndUpdate() {
  for (int i = 0; i < m__keyHitPut; ++i) m__keyHit[m__keyHitQueue[i]] = 0;
  m__keyHitPut = 0;
  m__charGet = 0;
  m__charPut = 0;
}

bool c_InputDevice::p_SetKeyboardEnabled(bool enabled) {
  ZuGame::_game->SetKeyboardEnabled(enabled);
  return true;
}

// ============================================================================
// [SECTION] Reads
// ============================================================================

bool c_InputDevice::p_KeyDown(int code) { return ValidCode(code) && m__keyDown[code]; }
int c_InputDevice::p_KeyHit(int code) { return ValidCode(code) ? m__keyHit[code] : 0; }

int c_InputDevice::p_GetChar() {
  if (m__charGet == m__charPut) return 0;
  return m__charQueue[m__charGet++];
}

static float JoyAxis(c_InputDevice* d, Array<float> c_JoyState::*axis, int index, int unit) {
  if (unit < 0 || unit >= d->m__joyStates.Length() || index < 0 || index > 1) return 0;
  return (d->m__joyStates[unit]->*axis)[index];
}

float c_InputDevice::p_JoyX(int index, int unit) { return JoyAxis(this, &c_JoyState::m_joyX, index, unit); }
float c_InputDevice::p_JoyY(int index, int unit) { return JoyAxis(this, &c_JoyState::m_joyY, index, unit); }
float c_InputDevice::p_JoyZ(int index, int unit) { return JoyAxis(this, &c_JoyState::m_joyZ, index, unit); }
float c_InputDevice::p_TouchX(int index) { return index >= 0 && index < 32 ? m__touchX[index] : 0; }
float c_InputDevice::p_TouchY(int index) { return index >= 0 && index < 32 ? m__touchY[index] : 0; }

// ============================================================================
// [SECTION] Module functions
// ============================================================================

void zu_input_SetInputDevice(c_InputDevice* device) { gc_assign(zu_input_device, device); }

bool zu_input_KeyDown(int code) { return zu_input_device->p_KeyDown(code); }
int zu_input_KeyHit(int code) { return zu_input_device->p_KeyHit(code); }
int zu_input_GetChar() { return zu_input_device->p_GetChar(); }
float zu_input_MouseX() { return zu_input_device->m__mouseX; }
float zu_input_MouseY() { return zu_input_device->m__mouseY; }
bool zu_input_MouseDown(int button) { return button >= 0 && button <= 510 && zu_input_KeyDown(button + 1); }
int zu_input_MouseHit(int button) { return button >= 0 && button <= 510 ? zu_input_KeyHit(button + 1) : 0; }
bool zu_input_TouchDown(int index) { return index >= -383 && index <= 127 && zu_input_KeyDown(384 + index); }
float zu_input_TouchX(int index) { return zu_input_device->p_TouchX(index); }
float zu_input_TouchY(int index) { return zu_input_device->p_TouchY(index); }

// Pads 0..3 with buttons 0..31 own codes 256..383; anything else would read a touch, the
// back or close key, or another pad's button.
static int JoyCode(int button, int unit) {
  if (button < 0 || button > 31 || unit < 0 || unit > 3) return 0;
  return button | 256 | (unit * 32);
}
bool zu_input_JoyDown(int button, int unit) {
  int code = JoyCode(button, unit);
  return code && zu_input_KeyDown(code);
}
int zu_input_JoyHit(int button, int unit) {
  int code = JoyCode(button, unit);
  return code ? zu_input_KeyHit(code) : 0;
}
float zu_input_JoyX(int index, int unit) { return zu_input_device->p_JoyX(index, unit); }
float zu_input_JoyY(int index, int unit) { return zu_input_device->p_JoyY(index, unit); }
float zu_input_JoyZ(int index, int unit) { return zu_input_device->p_JoyZ(index, unit); }
float zu_input_AccelX() { return zu_input_device->m__accelX; }
float zu_input_AccelY() { return zu_input_device->m__accelY; }
float zu_input_AccelZ() { return zu_input_device->m__accelZ; }
void zu_input_EnableKeyboard() { ZuGame::_game->SetKeyboardEnabled(true); }
void zu_input_DisableKeyboard() { ZuGame::_game->SetKeyboardEnabled(false); }
