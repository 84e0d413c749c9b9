// app/input.h — the input module: events between updates turned into per-update state (keys
// down and hit, characters, mouse, touches, game pads, accelerometer) in one key-code space.
// Depends on: runtime, host (joystick polling, keyboard flag).
#pragma once

#include "runtime/array.h"
#include "runtime/gc.h"

class c_JoyState : public Object {
public:
  Array<float> m_joyX, m_joyY, m_joyZ; // two sticks or triggers per pad
  Array<bool> m_buttons;               // 32

  c_JoyState* m_new();
  void mark() override;
};

class c_InputDevice : public Object {
public:
  static constexpr int kCodes = 512;
  static constexpr int kHitQueue = 33;
  static constexpr int kCharQueue = 32;

  Array<c_JoyState*> m__joyStates;
  Array<bool> m__keyDown;
  int m__keyHitPut = 0;
  Array<int> m__keyHitQueue;
  Array<int> m__keyHit;
  int m__charGet = 0, m__charPut = 0;
  Array<int> m__charQueue;
  float m__mouseX = 0, m__mouseY = 0;
  Array<float> m__touchX, m__touchY;
  float m__accelX = 0, m__accelY = 0, m__accelZ = 0;

  c_InputDevice* m_new();
  void mark() override;

  void p_KeyEvent(int event, int data);
  void p_MouseEvent(int event, int data, float x, float y);
  void p_TouchEvent(int event, int data, float x, float y);
  void p_MotionEvent(int event, int data, float x, float y, float z);
  void p_BeginUpdate();
  void p_EndUpdate();
  void p_PutKeyHit(int code);
  bool p_SetKeyboardEnabled(bool enabled);

  // State reads; codes and indices outside their ranges read as up, 0 or empty.
  bool p_KeyDown(int code);
  int p_KeyHit(int code);
  int p_GetChar();
  float p_JoyX(int index, int unit);
  float p_JoyY(int index, int unit);
  float p_JoyZ(int index, int unit);
  float p_TouchX(int index);
  float p_TouchY(int index);

private:
  void PressKey(int code);
  void ReleaseKey(int code);
  void SetPointer(int touch, float x, float y);
};

extern c_InputDevice* zu_input_device;

void zu_input_SetInputDevice(c_InputDevice* device);
bool zu_input_KeyDown(int code);
int zu_input_KeyHit(int code);
int zu_input_GetChar();
float zu_input_MouseX();
float zu_input_MouseY();
bool zu_input_MouseDown(int button);
int zu_input_MouseHit(int button);
bool zu_input_TouchDown(int index);
float zu_input_TouchX(int index);
float zu_input_TouchY(int index);
bool zu_input_JoyDown(int button, int unit);
int zu_input_JoyHit(int button, int unit);
float zu_input_JoyX(int index, int unit);
float zu_input_JoyY(int index, int unit);
float zu_input_JoyZ(int index, int unit);
float zu_input_AccelX();
float zu_input_AccelY();
float zu_input_AccelZ();
void zu_input_EnableKeyboard();
void zu_input_DisableKeyboard();
