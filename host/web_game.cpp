// host/web_game.cpp — ZuWebGame and the page's entry: the loop turn per animation frame, the
// page's visibility and focus, saves, full screen, touches, pads and the end of the game.
// Depends on: web_game.h, standard_pads.h, window_api.h, runtime (startup.h); emscripten (html5.h)
// and web_library.js.
#include "web_game.h"

#include <cstdio>
#include <cstring>

#include <emscripten.h>
#include <emscripten/html5.h>

#include "runtime/startup.h"
#include "standard_pads.h"
#include "window_api.h"

// web_library.js
extern "C" {
int lexorm_web_fit_canvas();                 // 1 when the canvas's pixel size changed
int lexorm_web_fullscreen(int wanted);       // -1 asks nothing; 1 or 0 while in or out
void lexorm_web_screen_size(int* w, int* h); // the screen in device pixels, capped as the canvas
void lexorm_web_sync_save();                 // the save folder written back to IndexedDB
void lexorm_web_ended(int status);           // the page's end screen, once saves are written
void lexorm_web_take_touches();              // emscripten's GLFW leaves touches to the host
}

ZuWebGame* ZuWebGame::_webGame;

namespace {

const char* const kCanvas = "#canvas";
StandardPads g_pads;

// Asking the browser for its pads costs some 20 microseconds of the main thread: while a pad is
// connected they are sampled every turn; while none is, every kPadLookTurns turns, or at once when
// the browser says one came (it shows a pad to the page only once a button on it is pressed).
constexpr int kPadLookTurns = 30;
bool g_padConnected = false; // at the last sample
bool g_padCame = false;      // the browser said a pad came since the last sample
int g_padLookIn = 0;         // turns to the next look while none is connected

EM_BOOL OnPadConnected(int, const EmscriptenGamepadEvent*, void*) {
  g_padCame = true;
  return 0;
}

// The pads as the browser has them now.
void SamplePads() {
  if (!g_padConnected && !g_padCame && --g_padLookIn > 0) return;
  g_padCame = false;
  g_padLookIn = kPadLookTurns;
  if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return;
  const int n = emscripten_get_num_gamepads();
  g_padConnected = false;
  for (int i = 0; i < StandardPads::kPads; ++i) {
    StandardPadSample& pad = g_pads.pads[i];
    EmscriptenGamepadEvent e;
    pad.connected = i < n && emscripten_get_gamepad_status(i, &e) == EMSCRIPTEN_RESULT_SUCCESS && e.connected;
    if (!pad.connected) continue;
    g_padConnected = true;
    pad.standard = std::strcmp(e.mapping, "standard") == 0;
    pad.numAxes = e.numAxes < 64 ? e.numAxes : 64;
    pad.numButtons = e.numButtons < 64 ? e.numButtons : 64;
    for (int a = 0; a < pad.numAxes; ++a) pad.axes[a] = static_cast<float>(e.axis[a]);
    for (int b = 0; b < pad.numButtons; ++b) pad.buttons[b] = e.digitalButton[b] != 0;
  }
}

// ============================================================================
// [SECTION] Browser events
// ============================================================================

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* e, void* game) {
  ZuWebGame* g = static_cast<ZuWebGame*>(game);
  g->SetPageState(!e->hidden, true);
  return 0;
}

EM_BOOL OnFocus(int type, const EmscriptenFocusEvent*, void* game) {
  EmscriptenVisibilityChangeEvent v;
  const bool visible = emscripten_get_visibility_status(&v) != EMSCRIPTEN_RESULT_SUCCESS || !v.hidden;
  static_cast<ZuWebGame*>(game)->SetPageState(visible, type == EMSCRIPTEN_EVENT_FOCUS);
  return 0;
}

// Canvas pixels of a touch point given in the canvas's CSS pixels.
void TouchPosition(const EmscriptenTouchPoint& t, float* x, float* y) {
  double cssW = 0, cssH = 0;
  emscripten_get_element_css_size(kCanvas, &cssW, &cssH);
  int w = 0, h = 0;
  glfw2().GetWindowSize(&w, &h);
  *x = static_cast<float>(cssW > 0 ? t.targetX * w / cssW : t.targetX);
  *y = static_cast<float>(cssH > 0 ? t.targetY * h / cssH : t.targetY);
}

// The first finger down plays until it lifts; the others are ignored. The default handling is
// refused, so the page neither scrolls nor zooms and no mouse events follow the touches.
long g_finger = -1;

EM_BOOL OnTouch(int type, const EmscriptenTouchEvent* e, void* game) {
  ZuWebGame* g = static_cast<ZuWebGame*>(game);
  for (int i = 0; i < e->numTouches; ++i) {
    const EmscriptenTouchPoint& t = e->touches[i];
    if (!t.isChanged) continue;
    float x, y;
    TouchPosition(t, &x, &y);
    if (type == EMSCRIPTEN_EVENT_TOUCHSTART && g_finger == -1) {
      g_finger = t.identifier;
      g->Finger(4, x, y);
    } else if (t.identifier == g_finger && type == EMSCRIPTEN_EVENT_TOUCHMOVE) {
      g->Finger(6, x, y);
    } else if (t.identifier == g_finger) { // ended or cancelled
      g_finger = -1;
      g->Finger(5, x, y);
    }
  }
  return 1;
}

void LoopTurn(void* game) { static_cast<ZuWebGame*>(game)->Turn(); }

[[noreturn]] void ThrowEnd(int status) { throw ZuProgramEnd{status}; }

} // namespace

// ============================================================================
// [SECTION] The host
// ============================================================================

ZuWebGame::ZuWebGame() { _webGame = this; }

// Every call from the browser into the game goes through here: an ending thrown inside stops it.
template <class Call> void ZuWebGame::Entry(Call call) {
  if (_ended) return;
  try {
    call();
  } catch (const ZuProgramEnd& end) {
    End(end.status);
  }
}

void ZuWebGame::End(int status) {
  _ended = true;
  _started = false; // nothing reaches the game from here on
  emscripten_cancel_main_loop();
  std::fflush(stdout);
  lexorm_web_ended(status);
}

void ZuWebGame::Run() {
  Entry([this] {
    SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
    lexorm_web_take_touches();
    lexorm_web_fit_canvas();
    glfw2_set_joystick_source(&g_pads);
    emscripten_set_visibilitychange_callback(this, 1, OnVisibility);
    emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 1, OnFocus);
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, 1, OnFocus);
    emscripten_set_touchstart_callback(kCanvas, this, 1, OnTouch);
    emscripten_set_touchmove_callback(kCanvas, this, 1, OnTouch);
    emscripten_set_touchend_callback(kCanvas, this, 1, OnTouch);
    emscripten_set_touchcancel_callback(kCanvas, this, 1, OnTouch);
    emscripten_set_gamepadconnected_callback(this, 1, OnPadConnected);
    EmscriptenVisibilityChangeEvent v;
    _visible = emscripten_get_visibility_status(&v) != EMSCRIPTEN_RESULT_SUCCESS || !v.hidden;
    StartGame();
    if (!_visible) SuspendGame();
  });
  // A turn per animation frame: the browser paints between turns, and the page stays responsive.
  if (!_ended) emscripten_set_main_loop_arg(LoopTurn, this, 0, 0);
}

void ZuWebGame::Turn() {
  Entry([this] {
    if (lexorm_web_fit_canvas()) _drawn = false;
    if (!_suspended) {
      SamplePads();
      const double updatesBefore = _updateCount;
      RunDueUpdates(glfw2().GetTime());
      if (_updateCount != updatesBefore) _drawn = false;
    }
    // Only a changed game is drawn again: the canvas keeps showing the last frame meanwhile.
    if (_drawn) return;
    RenderGame();
    _drawn = true;
  });
}

void ZuWebGame::UpdateGame() {
  if (_started && !_suspended) ++_updateCount;
  ZuGlfwGame::UpdateGame();
}

// For the page's tests: the updates run so far, as Module._lexorm_web_update_count(). The game
// prints nothing per update and its clock also follows real time, so only this count shows how
// many updates a second the loop runs whatever the display's frame rate.
extern "C" EMSCRIPTEN_KEEPALIVE double lexorm_web_update_count() {
  return ZuWebGame::_webGame ? ZuWebGame::_webGame->UpdateCount() : 0;
}

void ZuWebGame::SetPageState(bool visible, bool focused) {
  Entry([=] {
    _visible = visible;
    _focused = focused;
    const bool active = visible && focused;
    if (!active && !_suspended) {
      SuspendGame();
    } else if (active && _suspended) {
      ResumeGame();
    } else {
      return;
    }
    _nextUpdate = 0;
    _drawn = false;
  });
}

void ZuWebGame::Finger(int event, float x, float y) {
  Entry([=] {
    MouseEvent(6, -1, x, y); // the pointer is there before a press or a release
    // As the left button: a tap that lifts before an update is let go after it.
    if (event != 6) ButtonEvent(0, event == 4 ? GLFW2_PRESS : GLFW2_RELEASE, x, y);
  });
}

// ============================================================================
// [SECTION] Saves
// ============================================================================

// Written to the save folder as on the desktop, then that folder back to IndexedDB, so a save
// outlives a reload or a closed tab. IndexedDB stores the file whole, in one transaction.
int ZuWebGame::SaveState(const String& state) {
  const int result = ZuGlfwGame::SaveState(state);
  if (result == 0) lexorm_web_sync_save();
  return result;
}

// ============================================================================
// [SECTION] The window and full screen
// ============================================================================

// The first call opens the one window (its WebGL context) at the canvas; later ones switch the
// canvas in or out of the browser's full screen, which the canvas's size then follows. The window
// is never re-opened: emscripten's GLFW would report its closing as the player's.
void ZuWebGame::SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha, int depth,
                              int stencil, bool fullscreen) {
  if (!glfw2().GetWindowParam(GLFW2_OPENED)) {
    ZuGlfwGame::SetGlfwWindow(width, height, red, green, blue, alpha, depth, stencil, false);
    return;
  }
  lexorm_web_fullscreen(fullscreen ? 1 : 0);
  _drawn = false;
}

int ZuWebGame::WindowFullscreen() { return lexorm_web_fullscreen(-1); }

ZuGlfwVideoMode* ZuWebGame::GetGlfwDesktopMode() {
  ZuGlfwVideoMode* mode = new ZuGlfwVideoMode;
  lexorm_web_screen_size(&mode->width, &mode->height);
  mode->red = mode->green = mode->blue = 8;
  return mode;
}

ZuDisplayMode* ZuWebGame::GetDesktopMode() {
  ZuDisplayMode* mode = new ZuDisplayMode;
  lexorm_web_screen_size(&mode->width, &mode->height);
  return mode;
}

Array<ZuDisplayMode*> ZuWebGame::GetDisplayModes() {
  Array<ZuDisplayMode*> modes(1);
  gc_assign(modes[0], GetDesktopMode());
  return modes;
}

// ============================================================================
// [SECTION] Events
// ============================================================================

void ZuWebGame::OnKey(int key, int action) {
  Entry([=] { ZuGlfwGame::OnKey(key, action); });
}
void ZuWebGame::OnChar(int character, int action) {
  Entry([=] { ZuGlfwGame::OnChar(character, action); });
}
void ZuWebGame::OnMouseButton(int button, int action) {
  Entry([=] { ZuGlfwGame::OnMouseButton(button, action); });
}
void ZuWebGame::OnMousePos(int x, int y) {
  Entry([=] { ZuGlfwGame::OnMousePos(x, y); });
}
int ZuWebGame::OnWindowClose() {
  Entry([this] { ZuGlfwGame::OnWindowClose(); });
  return 0;
}

// ============================================================================
// [SECTION] Start-up
// ============================================================================

int ZuWebGame::Main(int argc, char** argv) {
  if (!glfw2().Init()) {
    std::puts("glfwInit failed");
    return -1;
  }
  ZuWebGame* game = new ZuWebGame;
  zu_set_exit_handler(ThrowEnd);
  game->Entry([=] {
    try {
      zu_std_main(argc, argv);
    } catch (ThrowableObject* ex) {
      game->Die(ex);
    }
  });
  if (!game->_ended && game->Delegate()) game->Run();
  return 0;
}

int main(int argc, char** argv) { return ZuWebGame::Main(argc, argv); }
