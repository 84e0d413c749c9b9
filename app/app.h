// app/app.h — the application framework: c_App (the one application), c_GameDelegate (what
// the host calls: devices, update and render bracketing, close and back), display modes and
// the zu_app_ functions.
// Depends on: runtime, host, graphics, audio, input.h.
#pragma once

#include "host/game.h"
#include "input.h"
#include "runtime/containers.h"

class gxtkGraphics;
class gxtkAudio;

class c_App : public Object {
public:
  c_App* m_new();
  virtual int p_OnCreate() { return 0; }
  virtual int p_OnSuspend() { return 0; }
  virtual int p_OnResume() { return 0; }
  virtual int p_OnUpdate() { return 0; }
  virtual int p_OnRender() { return 0; }
  int p_OnResize() { return 0; }
  int p_OnLoading() { return 0; }
  // Both end the program; an application overrides them to save its progress first.
  virtual int p_OnClose();
  virtual int p_OnBack();
};

class c_GameDelegate : public ZuGameDelegate {
public:
  gxtkGraphics* m__graphics = nullptr;
  gxtkAudio* m__audio = nullptr;
  c_InputDevice* m__input = nullptr;

  c_GameDelegate* m_new() { return this; }
  void mark() override;

  void StartGame() override;
  void SuspendGame() override;
  void ResumeGame() override;
  void UpdateGame() override;
  void RenderGame() override;
  void KeyEvent(int event, int data) override;
  void MouseEvent(int event, int data, float x, float y) override;
  void TouchEvent(int event, int data, float x, float y) override;
  void MotionEvent(int event, int data, float x, float y, float z) override;
  void DiscardGraphics() override;
};

class c_DisplayMode : public Object {
public:
  int m__width = 0, m__height = 0;
  c_DisplayMode* m_new(int width, int height) {
    m__width = width;
    m__height = height;
    return this;
  }
};

// The display-mode stack and map.
class c_Stack : public Stack<c_DisplayMode*> {
public:
  c_Stack* m_new() { return this; }
  c_Stack* m_new2(const Array<c_DisplayMode*>& a) {
    Assign(a);
    return this;
  }
  void p_Push(c_DisplayMode* v) { Push(v); }
  void p_Push2(const Array<c_DisplayMode*>& a, int offset, int count) { Push(a, offset, count); }
  void p_Push3(const Array<c_DisplayMode*>& a, int offset) { Push(a, offset); }
  Array<c_DisplayMode*> p_ToArray() const { return ToArray(); }
};

using c_Node = MapNode<c_DisplayMode*>;

class c_Map : public Map<c_DisplayMode*> {
public:
  c_Map* m_new() { return this; }
};

class c_IntMap : public c_Map {
public:
  c_IntMap* m_new() { return this; }
  int p_Compare(int a, int b) override { return a < b ? -1 : (a > b ? 1 : 0); }
};

// ============================================================================
// [SECTION] Module globals and functions
// ============================================================================

extern c_App* zu_app__app;
extern c_GameDelegate* zu_app__delegate;
extern ZuGame* zu_app__game;
extern int zu_app__devWidth, zu_app__devHeight;
extern Array<c_DisplayMode*> zu_app__displayModes;
extern c_DisplayMode* zu_app__desktopMode;
extern int zu_app__updateRate;

// The framework's part of start-up: sets its globals (and those of the graphics, audio and
// input modules) and registers the collected ones as roots, in the order they are queued.
void zu_app_InitGlobals();

void zu_app_SetUpdateRate(int hz);
int zu_app_Millisecs();
int zu_app_DeviceWidth();
int zu_app_DeviceHeight();
void zu_app_ValidateDeviceWindow(bool notify);
void zu_app_EnumDisplayModes();
String zu_app_LoadState();
void zu_app_SaveState(const String& state);
[[noreturn]] void zu_app_EndApp();
