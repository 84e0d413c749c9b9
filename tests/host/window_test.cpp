// tests/host/window_test.cpp — a real window under X: keys, a click and a held key from xdotool, re-opening.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
#include <algorithm>
#include <thread>

#include "host/desktop_game.h"
#include "tests/support/fake_window_api.h"
#include "tests/support/subprocess.h"

namespace {

using Strings = std::vector<std::string>;
Strings log;

std::string Xdotool(Strings args) {
  args.insert(args.begin(), "/usr/bin/xdotool");
  std::string out = RunProcess(args, false, 10).out;
  return out.substr(0, out.find('\n'));
}
std::string Window() { return Xdotool({"search", "--sync", "--onlyvisible", "--name", "^Tessel$"}); }
int Count(const std::string& entry) { return static_cast<int>(std::count(log.begin(), log.end(), entry)); }
bool Pump(ZuGlfwGame& host, const std::string& entry, int times = 1) {
  for (int i = 0; i < 600 && Count(entry) < times; ++i) {
    host.UpdateEvents();
    host.UpdateGame(); // a tap's release waits for an update
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return Count(entry) >= times;
}

TEST(Window, KeysAndHeldKeys) {
  ASSERT_TRUE(glfw2().Init()) << "no display";
  glfwGetError(nullptr), glfw2().SwapInterval(1); // no window yet: nothing is asked of GLFW
  EXPECT_EQ(glfwGetError(nullptr), GLFW_NO_ERROR);
  ZuGlfwGame host;
  host.SetDelegate(new RecordingDelegate(&log));
  host.SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
  host.StartGame();
  Window(); // mapped
  Xdotool(
      {"key", "Left", "a", "Delete", "F12", "KP_Subtract", "grave", "Tab", "Escape", "KP_0", "KP_9", "Home"});
  ASSERT_TRUE(Pump(host, "key 2 36"));
  Strings presses; // key downs and characters
  std::copy_if(log.begin(), log.end(), std::back_inserter(presses),
               [](auto& e) { return e.rfind("key", 0) == 0 && e[4] != '2'; });
  EXPECT_EQ(presses, (Strings{"key 1 37",  "key 3 65573", "key 1 65",   "key 3 97",  "key 1 46", "key 3 127",
                              "key 1 123", "key 1 109",   "key 3 45",   "key 1 192", "key 3 96", "key 1 9",
                              "key 3 9",   "key 1 27",    "key 3 27",   "key 1 96",  "key 3 48", "key 1 105",
                              "key 3 57",  "key 1 36",    "key 3 65572"}));

  // A click in the window: the press, then the release, where the pointer is.
  Xdotool({"mousemove", "--window", Window(), "100", "60", "click", "1"});
  ASSERT_TRUE(Pump(host, "mouse 5 0 100,60"));
  Strings clicks;
  std::copy_if(log.begin(), log.end(), std::back_inserter(clicks),
               [](auto& e) { return e.rfind("mouse 4", 0) == 0 || e.rfind("mouse 5", 0) == 0; });
  EXPECT_EQ(clicks, (Strings{"mouse 4 0 100,60", "mouse 5 0 100,60"}));

  // A held key repeats; re-opening releases it, and the new window takes keys.
  Xdotool({"keydown", "b"});
  EXPECT_TRUE(Pump(host, "key 1 66", 2));
  host.SetDeviceWindow(320, 240, 0);
  Xdotool({"keyup", "b"});
  EXPECT_EQ(log.back(), "key 2 66");
  Xdotool({"windowfocus", "--sync", Window()});
  Xdotool({"key", "c"});
  EXPECT_TRUE(Pump(host, "key 3 99"));

  glfw2().Terminate();
}

} // namespace
