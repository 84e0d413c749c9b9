// app/app.cpp — c_App, c_GameDelegate, display modes and the zu_app_ functions; the
// framework's module globals.
// Depends on: app.h, input.h, random.h, host, graphics (device, drawing), audio (device, sound).
#include "app.h"

#include "audio/device.h"
#include "audio/sound.h"
#include "graphics/device.h"
#include "graphics/drawing.h"
#include "graphics/image.h"
#include "random.h"

c_App* zu_app__app;
c_GameDelegate* zu_app__delegate;
ZuGame* zu_app__game;
int zu_app__devWidth, zu_app__devHeight;
Array<c_DisplayMode*> zu_app__displayModes;
c_DisplayMode* zu_app__desktopMode;
int zu_app__updateRate;

void zu_app_InitGlobals() {
  zu_app__app = nullptr;
  zu_app__delegate = nullptr;
  zu_graphics_device = nullptr;
  zu_app__game = ZuGame::_game;
  gc_assign(zu_graphics_context, new c_GraphicsContext);
  c_Image::m_DefaultFlags = 0;
  zu_audio_device = nullptr;
  zu_input_device = nullptr;
  zu_app__devWidth = zu_app__devHeight = 0;
  zu_app__displayModes = Array<c_DisplayMode*>();
  zu_app__desktopMode = nullptr;
  zu_graphics_renderDevice = nullptr;
  zu_app__updateRate = 0;
  zu_random_Seed = 1234;

  gc_root(zu_app__app);
  gc_root(zu_app__delegate);
  gc_root(zu_graphics_device);
  gc_root(zu_graphics_context);
  gc_root(zu_audio_device);
  gc_root(zu_input_device);
  gc_root(zu_app__displayModes);
  gc_root(zu_app__desktopMode);
  gc_root(zu_graphics_renderDevice);
}

// ============================================================================
// [SECTION] The application
// ============================================================================

c_App* c_App::m_new() {
  if (zu_app__app) zuError(String("App has already been created"));
  gc_assign(zu_app__app, this);
  gc_assign(zu_app__delegate, (new c_GameDelegate)->m_new());
  zu_app__game->SetDelegate(zu_app__delegate);
  return this;
}

int c_App::p_OnClose() { zu_app_EndApp(); }
int c_App::p_OnBack() { zu_app_EndApp(); }

// ============================================================================
// [SECTION] The delegate
// ============================================================================

void c_GameDelegate::mark() {
  gc_mark_q(m__graphics);
  gc_mark_q(m__audio);
  gc_mark_q(m__input);
}

void c_GameDelegate::StartGame() {
  gc_assign(m__graphics, new gxtkGraphics);
  zu_graphics_SetGraphicsDevice(m__graphics);
  zu_graphics_SetFont(nullptr, 32);
  gc_assign(m__audio, new gxtkAudio);
  zu_audio_SetAudioDevice(m__audio);
  gc_assign(m__input, (new c_InputDevice)->m_new());
  zu_input_SetInputDevice(m__input);
  zu_app_ValidateDeviceWindow(false);
  zu_app_EnumDisplayModes();
  zu_app__app->p_OnCreate();
}

void c_GameDelegate::SuspendGame() {
  zu_app__app->p_OnSuspend();
  m__audio->Suspend();
}

void c_GameDelegate::ResumeGame() {
  m__audio->Resume();
  zu_app__app->p_OnResume();
}

void c_GameDelegate::UpdateGame() {
  zu_app_ValidateDeviceWindow(true);
  m__input->p_BeginUpdate();
  zu_app__app->p_OnUpdate();
  m__input->p_EndUpdate();
}

void c_GameDelegate::RenderGame() {
  zu_app_ValidateDeviceWindow(true);
  m__graphics->BeginRender();
  zu_graphics_BeginRender();
  zu_app__app->p_OnRender();
  zu_graphics_EndRender();
  m__graphics->EndRender();
}

void c_GameDelegate::KeyEvent(int event, int data) {
  m__input->p_KeyEvent(event, data);
  if (event != 1) return;
  if (data == 416)
    zu_app__app->p_OnBack();
  else if (data == 432)
    zu_app__app->p_OnClose();
}

void c_GameDelegate::MouseEvent(int event, int data, float x, float y) {
  m__input->p_MouseEvent(event, data, x, y);
}

void c_GameDelegate::TouchEvent(int event, int data, float x, float y) {
  m__input->p_TouchEvent(event, data, x, y);
}

void c_GameDelegate::MotionEvent(int event, int data, float x, float y, float z) {
  if (event == 10) m__input->p_MotionEvent(event, data, x, y, z);
}

void c_GameDelegate::DiscardGraphics() { m__graphics->DiscardGraphics(); }

// ============================================================================
// [SECTION] Module functions
// ============================================================================

void zu_app_SetUpdateRate(int hz) {
  zu_app__updateRate = hz;
  zu_app__game->SetUpdateRate(hz);
}

int zu_app_Millisecs() { return zu_app__game->Millisecs(); }
int zu_app_DeviceWidth() { return zu_app__devWidth; }
int zu_app_DeviceHeight() { return zu_app__devHeight; }

void zu_app_ValidateDeviceWindow(bool) {
  int w = zu_app__game->GetDeviceWidth();
  int h = zu_app__game->GetDeviceHeight();
  if (w == zu_app__devWidth && h == zu_app__devHeight) return;
  zu_app__devWidth = w;
  zu_app__devHeight = h;
  // A resize notification would go to p_OnResize here; it does nothing.
}

void zu_app_EnumDisplayModes() {
  Array<ZuDisplayMode*> modes = zu_app__game->GetDisplayModes();
  c_IntMap* seen = (new c_IntMap)->m_new();
  c_Stack* stack = (new c_Stack)->m_new();
  for (ZuDisplayMode* m : modes) {
    int key = m->width << 16 | m->height;
    if (seen->p_Contains(key)) continue;
    c_DisplayMode* mode = (new c_DisplayMode)->m_new(m->width, m->height);
    seen->p_Set(key, mode);
    stack->p_Push(mode);
  }
  gc_assign(zu_app__displayModes, stack->p_ToArray());
  ZuDisplayMode* desktop = zu_app__game->GetDesktopMode();
  c_DisplayMode* mode = desktop ? (new c_DisplayMode)->m_new(desktop->width, desktop->height)
                                : (new c_DisplayMode)->m_new(zu_app__devWidth, zu_app__devHeight);
  gc_assign(zu_app__desktopMode, mode);
}

String zu_app_LoadState() { return zu_app__game->LoadState(); }
void zu_app_SaveState(const String& state) { zu_app__game->SaveState(state); }
void zu_app_EndApp() { zuError(String()); }
