// tests/host/started_host.h — a fixture: a host started on the fake window layer (640 x 480,
// windowed) with a recording delegate, its log cleared after the start.
// Depends on: host/desktop_game.h, tests/support/fake_window_api.h, GoogleTest.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/desktop_game.h"
#include "tests/support/fake_window_api.h"

template <class Host> class StartedHost : public ::testing::Test {
protected:
  ScopedFakeGlfw2 glfw;
  std::vector<std::string> log;
  Host host;
  RecordingDelegate* delegate = new RecordingDelegate(&log);
  void SetUp() override {
    host.SetDelegate(delegate);
    host.SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
    host.StartGame();
    log.clear();
  }
};
