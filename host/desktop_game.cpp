// host/desktop_game.cpp — ZuGlfwGame: opening the window, the main loop, display modes, time.
// Depends on: desktop_game.h, window_api.h, runtime.
#include "desktop_game.h"

#include <atomic>

int glfwGraphicsSeq;
ZuGlfwGame* ZuGlfwGame::_glfwGame;

ZuGlfwGame::ZuGlfwGame() { _glfwGame = this; }

int ZuGlfwGame::Millisecs() { return static_cast<int>(glfw2().GetTime() * 1000.0); }

void ZuGlfwGame::SetUpdateRate(int hz) {
  _updateRate = hz;
  if (hz != 0) _updatePeriod = 1.0 / hz;
  _nextUpdate = 0;
}

void ZuGlfwGame::SetSwapInterval(int interval) {
  _swapInterval = interval;
  if (interval >= 0) glfw2().SwapInterval(interval);
}

int ZuGlfwGame::GetDeviceWidth() {
  int w, h;
  glfw2().GetWindowSize(&w, &h);
  return w;
}

int ZuGlfwGame::GetDeviceHeight() {
  int w, h;
  glfw2().GetWindowSize(&w, &h);
  return h;
}

void ZuGlfwGame::SetDeviceWindow(int width, int height, int flags) {
  SetGlfwWindow(width, height, 8, 8, 8, 0, 0, 0, (flags & 1) != 0);
}

// ============================================================================
// [SECTION] Display modes
// ============================================================================

ZuDisplayMode* ZuGlfwGame::GetDesktopMode() {
  Glfw2VidMode m;
  glfw2().GetDesktopMode(&m);
  ZuDisplayMode* mode = new ZuDisplayMode;
  mode->width = m.Width;
  mode->height = m.Height;
  return mode;
}

Array<ZuDisplayMode*> ZuGlfwGame::GetDisplayModes() {
  static Glfw2VidMode modes[1024];
  int n = glfw2().GetVideoModes(modes, 1024);
  Array<ZuDisplayMode*> out(n);
  for (int i = 0; i < n; ++i) {
    ZuDisplayMode* mode = new ZuDisplayMode;
    mode->width = modes[i].Width;
    mode->height = modes[i].Height;
    gc_assign(out[i], mode);
  }
  return out;
}

static ZuGlfwVideoMode* VideoMode(const Glfw2VidMode& m) {
  ZuGlfwVideoMode* mode = new ZuGlfwVideoMode;
  mode->width = m.Width;
  mode->height = m.Height;
  mode->red = m.RedBits;
  mode->green = m.GreenBits;
  mode->blue = m.BlueBits;
  return mode;
}

ZuGlfwVideoMode* ZuGlfwGame::GetGlfwDesktopMode() {
  Glfw2VidMode m;
  glfw2().GetDesktopMode(&m);
  return VideoMode(m);
}

Array<ZuGlfwVideoMode*> ZuGlfwGame::GetGlfwVideoModes() {
  static Glfw2VidMode modes[1024];
  int n = glfw2().GetVideoModes(modes, 1024);
  Array<ZuGlfwVideoMode*> out(n);
  for (int i = 0; i < n; ++i) gc_assign(out[i], VideoMode(modes[i]));
  return out;
}

// ============================================================================
// [SECTION] The window
// ============================================================================

void ZuGlfwGame::SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha, int depth,
                               int stencil, bool fullscreen) {
  Glfw2& g = glfw2();
  DeliverWaitingReleases(); // a tap waiting for an update ends with this window
  // Keys held now would never see their release in the new window.
  for (int k = 0; k <= GLFW2_KEY_LAST; ++k) {
    int key = TransKey(k);
    if (key && g.GetKey(k) == GLFW2_PRESS) KeyEvent(2, key);
  }
  // So would mouse buttons: a release that comes while the window is replaced is lost.
  for (int button = 0; button <= 2; ++button)
    if (_buttonsDown & 1 << button) OnMouseButton(button, GLFW2_RELEASE);

  Glfw2VidMode desktop;
  g.GetDesktopMode(&desktop);
  _replacingWindow = true; // some windowing layers report a close as the window goes
  g.CloseWindow();
  _replacingWindow = false;
  g.OpenWindowHint(GLFW2_REFRESH_RATE, 60);
  g.OpenWindowHint(GLFW2_WINDOW_NO_RESIZE, 0);
  int opened = g.OpenWindow(width, height, red, green, blue, alpha, depth, stencil,
                            fullscreen ? GLFW2_FULLSCREEN : GLFW2_WINDOW);
  ++glfwGraphicsSeq;
  if (!opened) {
    // Without a window there is no game: say so rather than end quietly.
    zuPrint(String("Could not open the game window"));
    g.Terminate();
    zu_exit(-1);
  }
  _fullscreen = fullscreen;
  if (!fullscreen) {
    g.SetWindowPos((desktop.Width - width) / 2, (desktop.Height - height) / 2);
    g.SetWindowTitle("Tessel");
  }
  if (_swapInterval >= 0) g.SwapInterval(_swapInterval);
  g.Enable(GLFW2_KEY_REPEAT);
  g.Disable(GLFW2_AUTO_POLL_EVENTS);
  g.SetEvents(this);
}

// ============================================================================
// [SECTION] The main loop
// ============================================================================

void ZuGlfwGame::Run() {
  SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
  StartGame();
  while (glfw2().GetWindowParam(GLFW2_OPENED)) LoopOnce();
}

namespace {
std::atomic<bool> g_closeRequested{false};
std::atomic<bool> g_closeTaken{false}; // the loop has seen a request and passed it on
} // namespace

void ZuGlfwGame::RequestClose() {
  g_closeRequested = true;
  glfw2().PostEmptyEvent(); // a suspended loop waits for events
}

bool ZuGlfwGame::CloseTaken() { return g_closeTaken; }

void ZuGlfwGame::UpdateEvents() {
  Glfw2& g = glfw2();
  if (_suspended)
    g.WaitEvents();
  else
    g.PollEvents();
  if (g_closeRequested.exchange(false)) {
    g_closeTaken = true;
    OnWindowClose();
  }
  bool active = g.GetWindowParam(GLFW2_ACTIVE) != 0;
  g.GetWindowParam(GLFW2_ICONIFIED);
  if (!active && !_suspended) {
    SuspendGame();
    _nextUpdate = 0;
  } else if (active && _suspended) {
    ResumeGame();
    _nextUpdate = 0;
  }
}

void ZuGlfwGame::LoopOnce() {
  Glfw2& g = glfw2();
  RenderGame();
  g.SwapBuffers();

  if (_nextUpdate != 0) {
    double wait = _nextUpdate - g.GetTime();
    if (wait > 0) g.Sleep(wait);
  }

  UpdateEvents();
  if (_suspended) return;

  if (_updateRate == 0) {
    UpdateGame();
    return;
  }
  if (_nextUpdate == 0) _nextUpdate = g.GetTime();
  for (int i = 0; i < 4; ++i) {
    UpdateGame();
    if (_nextUpdate == 0) return; // the update changed the rate
    _nextUpdate += _updatePeriod;
    if (_nextUpdate > g.GetTime()) return;
  }
  _nextUpdate = 0; // too far behind: start the schedule again from now
}

void ZuGlfwGame::RunDueUpdates(double now) {
  if (_updateRate == 0) {
    UpdateGame();
    return;
  }
  if (_nextUpdate == 0) _nextUpdate = now;
  // A frame a little early still takes the update: frame times jitter around the period.
  const double early = _updatePeriod / 4;
  for (int i = 0; i < 4; ++i) {
    if (_nextUpdate - early > now) return;
    UpdateGame();
    if (_nextUpdate == 0) return; // the update changed the rate
    _nextUpdate += _updatePeriod;
  }
  if (_nextUpdate - early <= now) _nextUpdate = 0; // too far behind: start again from now
}
