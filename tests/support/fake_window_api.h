// tests/support/fake_window_api.h — a windowing layer without a window and a recording delegate.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/game.h"
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
  Glfw2Events* events = nullptr;
  int polls = 0, waits = 0;

  int Init() override { return 1; }
  void Terminate() override { calls.push_back("terminate"); }
  double GetTime() override { return now; }
  void Sleep(double s) override { sleeps.push_back(s), now += s > 0 ? s : 0; }
  void OpenWindowHint(int, int) override {}
  int OpenWindow(int w, int h, int, int, int, int, int, int, int mode) override {
    calls.push_back("open " + std::to_string(w) + "x" + std::to_string(h) +
                    (mode == GLFW2_FULLSCREEN ? " fullscreen" : " window"));
    if (open_fails) return 0;
    return open = true, width = w, height = h, 1;
  }
  void CloseWindow() override {
    if (open) calls.push_back("close");
    open = false;
  }
  void SetWindowTitle(const char* t) override { calls.push_back(std::string("title ") + t); }
  void SetWindowPos(int x, int y) override {
    calls.push_back("pos " + std::to_string(x) + "," + std::to_string(y));
  }
  void GetWindowSize(int* w, int* h) override { *w = open ? width : 0, *h = open ? height : 0; }
  int GetWindowParam(int p) override {
    return p == GLFW2_OPENED ? open : p == GLFW2_ACTIVE ? open && active : 0;
  }
  void SwapBuffers() override {}
  void SwapInterval(int n) override { calls.push_back("swap interval " + std::to_string(n)); }
  void PollEvents() override { ++polls; }
  void WaitEvents() override { ++waits; }
  void Enable(int) override {}
  void Disable(int) override {}
  void SetEvents(Glfw2Events* e) override { events = e; }
  int GetKey(int key) override { return pressed.count(key) ? GLFW2_PRESS : GLFW2_RELEASE; }
  void GetMousePos(int* x, int* y) override { *x = mouse_x, *y = mouse_y; }
  void GetDesktopMode(Glfw2VidMode* m) override { *m = {1280, 1024, 8, 8, 8}; }
  int GetVideoModes(Glfw2VidMode*, int) override { return 0; }
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

// Notes each call as "update", "key 1 65", "mouse 4 0 10,20", ...
class RecordingDelegate : public ZuGameDelegate {
public:
  std::vector<std::string>* log; // shared with the test, so calls from elsewhere interleave
  std::function<void()> on_update, on_render;
  int updates = 0, renders = 0;

  explicit RecordingDelegate(std::vector<std::string>* shared) : log(shared) {}

  void StartGame() override { log->push_back("start"); }
  void SuspendGame() override { log->push_back("suspend"); }
  void ResumeGame() override { log->push_back("resume"); }
  void UpdateGame() override { ++updates, Note("update", on_update); }
  void RenderGame() override { ++renders, Note("render", on_render); }
  void KeyEvent(int event, int data) override { log->push_back("key " + Pair(event, data)); }
  void MouseEvent(int event, int data, float x, float y) override {
    log->push_back("mouse " + Pair(event, data) + " " + std::to_string(int(x)) + "," +
                   std::to_string(int(y)));
  }
  void TouchEvent(int event, int data, float, float) override {
    log->push_back("touch " + Pair(event, data));
  }
  void MotionEvent(int event, int data, float, float, float) override {
    log->push_back("motion " + Pair(event, data));
  }
  void DiscardGraphics() override { log->push_back("discard"); }

private:
  static std::string Pair(int a, int b) { return std::to_string(a) + " " + std::to_string(b); }
  void Note(const char* what, const std::function<void()>& then) {
    log->push_back(what);
    if (then) then();
  }
};
