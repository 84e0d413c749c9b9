// tests/host/window_test.cpp — the desktop host with a real window under X: the window itself,
// keys and mouse from xdotool, focus, the close request, re-opening; the program's start-up.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <algorithm>
#include <chrono>
#include <thread>

#include "host/desktop_game.h"
#include "tests/support/recording_delegate.h"
#include "tests/support/subprocess.h"

namespace {

ProcessResult Xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "/usr/bin/xdotool");
  return RunProcess(args, "", false, 10);
}

// Asks the window to close, as a window manager's close button does.
void SendCloseRequest(unsigned long window) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &e);
  XFlush(d);
  XCloseDisplay(d);
}

class Window : public ::testing::Test {
protected:
  static ZuGlfwGame* host;
  static std::vector<std::string> log;
  static unsigned long window;

  static void SetUpTestSuite() {
    ASSERT_TRUE(glfw2().Init()) << "no display";
    host = new ZuGlfwGame;
    host->SetDelegate(new RecordingDelegate(&log));
    host->SetSwapInterval(0);
    host->SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
    host->StartGame();
    window = FindWindow();
  }
  static void TearDownTestSuite() { glfw2().Terminate(); }

  static unsigned long FindWindow() {
    ProcessResult r = Xdotool({"search", "--sync", "--onlyvisible", "--name", "^Tessel$"});
    return std::stoul(r.out); // stops at the newline
  }

  void SetUp() override {
    Pump([] { return false; }, 100); // settle what is pending
    log.clear();
  }

  // Runs the host's event step until `done` or the time runs out.
  static bool Pump(const std::function<bool()>& done, int ms = 3000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      if (!host->Suspended())
        host->UpdateEvents(); // suspended, it would block
      else
        glfw2().PollEvents();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
  }
  static bool Logged(const std::string& entry) {
    return std::find(log.begin(), log.end(), entry) != log.end();
  }
  static std::vector<std::string> Keys() {
    std::vector<std::string> keys;
    for (const auto& e : log)
      if (e.rfind("key", 0) == 0) keys.push_back(e);
    return keys;
  }
};

ZuGlfwGame* Window::host;
std::vector<std::string> Window::log;
unsigned long Window::window;

TEST_F(Window, OpensAt640By480TitledTessel) {
  EXPECT_EQ((std::vector<int>{host->GetDeviceWidth(), host->GetDeviceHeight()}),
            (std::vector<int>{640, 480}));
  ProcessResult geometry = Xdotool({"getwindowgeometry", std::to_string(window)});
  EXPECT_NE(geometry.out.find("640x480"), std::string::npos) << geometry.out;
  EXPECT_TRUE(glfw2().GetWindowParam(GLFW2_ACTIVE));
  EXPECT_EQ(host->GetDesktopMode()->width, 1280);
  EXPECT_GE(host->GetDisplayModes().Length(), 1);
}

TEST_F(Window, KeysArriveWithTheirCodes) {
  Xdotool({"key", "Left"});
  ASSERT_TRUE(Pump([] { return Logged("key 2 37"); }));
  EXPECT_EQ(Keys(), (std::vector<std::string>{"key 1 37", "key 3 65573", "key 2 37"}));

  log.clear();
  Xdotool({"key", "a"});
  ASSERT_TRUE(Pump([] { return Logged("key 2 65"); }));
  EXPECT_EQ(Keys(), (std::vector<std::string>{"key 1 65", "key 3 97", "key 2 65"}));
}

TEST_F(Window, MouseButtonsCarryThePointerPosition) {
  Xdotool({"mousemove", "--window", std::to_string(window), "50", "60", "click", "1"});
  ASSERT_TRUE(Pump([] { return Logged("mouse 5 0 50,60"); }));
  EXPECT_TRUE(Logged("mouse 4 0 50,60"));
  EXPECT_TRUE(Logged("mouse 6 -1 50,60"));
}

TEST_F(Window, LosingFocusSuspendsAndRegainingItResumes) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  std::string root = std::to_string(DefaultRootWindow(d));
  XCloseDisplay(d);
  Xdotool({"windowfocus", root}); // as when the player clicks another program

  ASSERT_TRUE(Pump([] { return host->Suspended(); }));
  EXPECT_TRUE(Logged("suspend"));
  // While suspended the host blocks until an event arrives: regaining focus is one. A
  // pointer move later wakes it should that event have been missed.
  Xdotool({"windowfocus", std::to_string(window)});
  std::thread waker([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    Xdotool({"mousemove", "--window", std::to_string(window), "5", "5"});
  });
  host->UpdateEvents();
  waker.join();
  EXPECT_FALSE(host->Suspended());
  EXPECT_TRUE(Logged("resume"));
}

TEST_F(Window, TheCloseRequestIsTheCloseKeyAndTheWindowStays) {
  SendCloseRequest(window);
  ASSERT_TRUE(Pump([] { return Logged("key 2 432"); }));
  EXPECT_EQ(Keys(), (std::vector<std::string>{"key 1 432", "key 2 432"}));
  EXPECT_TRUE(glfw2().GetWindowParam(GLFW2_OPENED));
}

TEST_F(Window, ReopeningGivesANewContextAndKeepsInputWorking) {
  int seq = glfwGraphicsSeq;
  host->SetDeviceWindow(320, 240, 0);
  EXPECT_EQ(glfwGraphicsSeq, seq + 1);
  EXPECT_EQ(host->GetDeviceWidth(), 320);
  window = FindWindow();
  Xdotool({"windowfocus", std::to_string(window)});
  Pump([] { return false; }, 200);
  log.clear();
  Xdotool({"key", "b"});
  ASSERT_TRUE(Pump([] { return Logged("key 2 66"); }));
  EXPECT_TRUE(Logged("key 3 98"));
  host->SetDeviceWindow(640, 480, 0);
  window = FindWindow();
}

TEST(Program, ReportsAMissingDisplay) {
  ProcessResult no_display = RunProcess({"/usr/bin/env", "-u", "DISPLAY", LEXORM_PROGRAM});
  EXPECT_EQ(no_display.out, "glfwInit failed\n");
  EXPECT_EQ(no_display.exit_code, 255);
}

} // namespace
