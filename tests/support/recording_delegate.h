// tests/support/recording_delegate.h — a host delegate that writes down every call it gets.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/game.h"

class RecordingDelegate : public ZuGameDelegate {
public:
  std::vector<std::string>* log; // shared with the test, so calls from elsewhere interleave
  std::function<void()> on_update, on_render;
  int updates = 0, renders = 0;

  explicit RecordingDelegate(std::vector<std::string>* shared) : log(shared) {}

  void StartGame() override { log->push_back("start"); }
  void SuspendGame() override { log->push_back("suspend"); }
  void ResumeGame() override { log->push_back("resume"); }
  void UpdateGame() override {
    ++updates;
    log->push_back("update");
    if (on_update) on_update();
  }
  void RenderGame() override {
    ++renders;
    log->push_back("render");
    if (on_render) on_render();
  }
  void KeyEvent(int event, int data) override {
    log->push_back("key " + std::to_string(event) + " " + std::to_string(data));
  }
  void MouseEvent(int event, int data, float x, float y) override {
    log->push_back("mouse " + std::to_string(event) + " " + std::to_string(data) + " " +
                   std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)));
  }
  void TouchEvent(int event, int data, float, float) override {
    log->push_back("touch " + std::to_string(event) + " " + std::to_string(data));
  }
  void MotionEvent(int event, int data, float, float, float) override {
    log->push_back("motion " + std::to_string(event) + " " + std::to_string(data));
  }
  void DiscardGraphics() override { log->push_back("discard"); }
};
