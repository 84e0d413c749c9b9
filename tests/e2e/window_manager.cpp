// tests/e2e/window_manager.cpp — the window manager of the window tests: jwm started for a test
// and stopped after it, the display made bare again, and the screen's size.
// Depends on: program.h, X11, jwm.
#include "program.h"

#include <X11/Xlib.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

bool WindowManagerRunning() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XWindowAttributes a;
  const bool running = XGetWindowAttributes(d, DefaultRootWindow(d), &a) &&
                       (a.all_event_masks & SubstructureRedirectMask) != 0;
  XCloseDisplay(d);
  return running;
}

// A stopped window manager leaves its properties on the root window, among them the check
// window it has taken with it; the windowing library of the next program on this display
// trips over that window (and aborts). The display is made bare again.
void ClearWindowManagerTraces() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return;
  int n = 0;
  Atom* atoms = XListProperties(d, DefaultRootWindow(d), &n);
  for (int i = 0; i < n; ++i) {
    char* name = XGetAtomName(d, atoms[i]);
    if (name && std::strncmp(name, "_NET_", 5) == 0) XDeleteProperty(d, DefaultRootWindow(d), atoms[i]);
    if (name) XFree(name);
  }
  if (atoms) XFree(atoms);
  XCloseDisplay(d);
}

std::pair<int, int> ScreenSize() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return {0, 0};
  std::pair<int, int> size{DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
  XCloseDisplay(d);
  return size;
}

void UnderWindowManager::SetUp() {
  if (WindowManagerRunning()) return;
  char name[] = "/tmp/lexorm-jwm-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  conf_ = name;
  std::ofstream(conf_) << "<JWM><FocusModel>click</FocusModel></JWM>\n";
  wm_ = fork();
  if (wm_ == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execlp("jwm", "jwm", "-f", conf_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end;) {
    if (WindowManagerRunning()) return;
    if (waitpid(wm_, nullptr, WNOHANG) == wm_) {
      wm_ = -1; // ended already
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::fprintf(stderr, "jwm did not start: running without a window manager\n");
  StopWindowManager();
}

void UnderWindowManager::TearDown() {
  StopWindowManager();
  if (!conf_.empty()) std::remove(conf_.c_str());
}

void UnderWindowManager::StopWindowManager() {
  if (wm_ <= 0) return;
  kill(wm_, SIGTERM);
  waitpid(wm_, nullptr, 0);
  wm_ = -1;
  ClearWindowManagerTraces();
}

} // namespace e2e
