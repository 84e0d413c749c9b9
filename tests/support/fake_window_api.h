// tests/support/fake_window_api.h — a windowing layer without a window: a clock that moves only
// when told, recorded calls, keys and focus set by the test, and hooks for event polling.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/window_api.h"

class FakeGlfw2 : public Glfw2 {
public:
  double now = 100.0;
  std::vector<double> sleeps;
  std::vector<std::string> calls; // "open 640x480 window", "close", "pos 320,272", "title Tessel", ...
  bool open = false, active = true, open_fails = false;
  std::set<int> pressed; // classic key numbers held down
  int mouse_x = 0, mouse_y = 0;
  int width = 0, height = 0;
  Glfw2VidMode desktop{1280, 1024, 8, 8, 8};
  std::vector<Glfw2VidMode> modes;
  Glfw2Events* events = nullptr;
  std::function<void()> on_poll; // runs inside PollEvents and WaitEvents
  int polls = 0, waits = 0, swaps = 0;

  int Init() override { return 1; }
  void Terminate() override { calls.push_back("terminate"); }
  double GetTime() override { return now; }
  void Sleep(double s) override {
    sleeps.push_back(s);
    if (s > 0) now += s;
  }
  void OpenWindowHint(int, int) override {}
  int OpenWindow(int w, int h, int, int, int, int, int, int, int mode) override {
    calls.push_back("open " + std::to_string(w) + "x" + std::to_string(h) +
                    (mode == GLFW2_FULLSCREEN ? " fullscreen" : " window"));
    if (open_fails) return 0;
    open = true;
    width = w;
    height = h;
    return 1;
  }
  void CloseWindow() override {
    if (open) calls.push_back("close");
    open = false;
  }
  void SetWindowTitle(const char* t) override { calls.push_back(std::string("title ") + t); }
  void SetWindowPos(int x, int y) override {
    calls.push_back("pos " + std::to_string(x) + "," + std::to_string(y));
  }
  void GetWindowSize(int* w, int* h) override {
    *w = open ? width : 0;
    *h = open ? height : 0;
  }
  int GetWindowParam(int p) override {
    if (p == GLFW2_OPENED) return open;
    if (p == GLFW2_ACTIVE) return open && active;
    return 0;
  }
  void SwapBuffers() override { ++swaps; }
  void SwapInterval(int n) override { calls.push_back("swap interval " + std::to_string(n)); }
  void PollEvents() override {
    ++polls;
    if (on_poll) on_poll();
  }
  void WaitEvents() override {
    ++waits;
    if (on_poll) on_poll();
  }
  void Enable(int) override {}
  void Disable(int) override {}
  void SetEvents(Glfw2Events* e) override { events = e; }
  int GetKey(int key) override { return pressed.count(key) ? GLFW2_PRESS : GLFW2_RELEASE; }
  void GetMousePos(int* x, int* y) override {
    *x = mouse_x;
    *y = mouse_y;
  }
  void GetDesktopMode(Glfw2VidMode* m) override { *m = desktop; }
  int GetVideoModes(Glfw2VidMode* list, int max) override {
    int n = 0;
    for (; n < static_cast<int>(modes.size()) && n < max; ++n) list[n] = modes[n];
    return n;
  }
  int GetJoystickParam(int, int) override { return 0; }
  int GetJoystickPos(int, float*, int) override { return 0; }
  int GetJoystickButtons(int, unsigned char*, int) override { return 0; }
};

// Installs the fake for one test and restores the real layer afterwards.
struct ScopedFakeGlfw2 {
  FakeGlfw2 fake;
  ScopedFakeGlfw2() { glfw2_install(&fake); }
  ~ScopedFakeGlfw2() { glfw2_install(nullptr); }
};
