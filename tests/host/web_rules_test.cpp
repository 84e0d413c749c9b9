// tests/host/web_rules_test.cpp — the browser host's rules that live in shared code, run on the
// desktop: due updates per display frame, the program's end thrown past the guarded calls, no
// close key while the window is replaced, the full-screen state, and standard-mapping pads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "host/desktop_game.h"
#include "host/standard_pads.h"
#include "runtime/errors.h"
#include "tests/host/started_host.h"

namespace {

using Strings = std::vector<std::string>;

class WebRules : public StartedHost<ZuGlfwGame> {
protected:
  // The updates of each display frame over `seconds`, frames `frame` apart from time 100.
  std::vector<int> Frames(double frame, double seconds, double jitter = 0) {
    std::vector<int> counts;
    for (int k = 0; k * frame < seconds; ++k) {
      const int before = delegate->updates;
      // Spread over -jitter..jitter, the first frame the latest: the schedule starts from it.
      const double wobble = jitter * ((k * 7919 + 12) % 13 - 6) / 6.0;
      host.RunDueUpdates(100 + k * frame + wobble);
      counts.push_back(delegate->updates - before);
    }
    return counts;
  }
};

// At 60 updates a second, whatever the display's rate: 300 updates in 5 s (one either side for
// where the last frame falls), each frame within its share rounded down and up (the first
// frame starts the schedule with one). A 60 Hz display
// whose frames come up to 2 ms early or late still gets one update every frame.
TEST_F(WebRules, DisplayFramesRunTheUpdatesDueOnTheClock) {
  struct Case {
    const char* display;
    double frame, jitter;
    int least, most; // updates in one frame
  } const cases[] = {{"30 Hz", 1.0 / 30, 0, 1, 2},
                     {"60 Hz", 1.0 / 60, 0, 1, 1},
                     {"75 Hz", 1.0 / 75, 0, 0, 1},
                     {"120 Hz", 1.0 / 120, 0, 0, 1},
                     {"144 Hz", 1.0 / 144, 0, 0, 1},
                     {"60 Hz +-2 ms", 1.0 / 60, 0.002, 1, 1},
                     {"60 Hz +-6 ms", 1.0 / 60, 0.006, 0, 2},
                     {"120 Hz +-2 ms", 1.0 / 120, 0.002, 0, 2}};
  for (const Case& c : cases) {
    host.SetUpdateRate(60);
    delegate->updates = 0;
    const std::vector<int> counts = Frames(c.frame, 5.0, c.jitter);
    int total = 0, least = 99, most = 0;
    for (int n : counts) total += n, least = std::min(least, n), most = std::max(most, n);
    EXPECT_NEAR(total, 300, 1) << c.display;
    EXPECT_GE(least, c.least) << c.display;
    EXPECT_LE(most, c.most) << c.display;
  }
}

// After a second without frames (a page in the background) four run, then one a frame again;
// without a rate each frame runs one; an update that changes the rate ends the catch-up.
TEST_F(WebRules, AFrameFarBehindRunsFourAndARateChangeEndsTheCatchUp) {
  host.SetUpdateRate(60);
  std::vector<int> counts;
  for (double t : {100.0, 100.0 + 1 / 60.0, 101.0, 101.0 + 1 / 60.0, 101.0 + 2 / 60.0}) {
    const int before = delegate->updates;
    host.RunDueUpdates(t);
    counts.push_back(delegate->updates - before);
  }
  EXPECT_EQ(counts, (std::vector<int>{1, 1, 4, 1, 1}));
  host.SetUpdateRate(0);
  EXPECT_EQ(Frames(1.0 / 144, 0.1), std::vector<int>(15, 1));
  host.SetUpdateRate(60);
  host.RunDueUpdates(200);
  delegate->on_update = [&] { host.SetUpdateRate(30); };
  const int before = delegate->updates;
  host.RunDueUpdates(201); // far behind, but the first update changes the rate
  EXPECT_EQ(delegate->updates - before, 1);
  EXPECT_EQ(host.NextUpdate(), 0) << "the new rate's schedule starts at the next frame";
}

// ---------------------------------------------------------------------------------------------
// The program's end, where the process must live on (the browser's page)

struct Ended {
  int status;
};
[[noreturn]] void ThrowEnded(int status) { throw Ended{status}; }

class ProgramEnd : public WebRules {
protected:
  void SetUp() override {
    WebRules::SetUp();
    zu_set_exit_handler(ThrowEnded);
  }
  void TearDown() override { zu_set_exit_handler(nullptr); }
  // The status the call ended with, or 99 when it returned.
  template <class Call> int EndOf(Call call) {
    try {
      call();
    } catch (const Ended& e) {
      return e.status;
    }
    return 99;
  }
};

TEST_F(ProgramEnd, TheEndPassesTheGuardedCallsAndTheNextCallStillCollects) {
  delegate->on_update = [&] { zuError(String()); };
  EXPECT_EQ(EndOf([&] { host.UpdateGame(); }), 0);
  // Nested: an update whose key event ends the program.
  struct Quitter : RecordingDelegate {
    using RecordingDelegate::RecordingDelegate;
    void KeyEvent(int, int) override { zuError(String()); }
  };
  Quitter* quitter = new Quitter(&log);
  quitter->on_update = [&] { host.KeyEvent(1, 27); };
  host.SetDelegate(quitter);
  EXPECT_EQ(EndOf([&] { host.UpdateGame(); }), 0);
  // Had the ending left a guarded call counted, no call would end with a collection step again.
  quitter->on_update = [] { gc_ext_malloced(gc_sweep_threshold + 1); };
  host.UpdateGame();
  EXPECT_EQ(gc_ext_new_bytes, 0) << "the outermost call collected";
}

TEST_F(ProgramEnd, AnUncaughtExceptionAndADebugStopWithoutInputEndWithMinusOne) {
  delegate->on_update = [] { throw new ThrowableObject; };
  EXPECT_EQ(EndOf([&] { host.UpdateGame(); }), -1);
  // Standard input at its end (the browser's): the stop reads nothing and ends the program.
  std::FILE* saved = std::freopen("/dev/null", "r", stdin);
  ASSERT_NE(saved, nullptr);
  delegate->on_update = [] { zuError(String("broken")); };
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = EndOf([&] { host.UpdateGame(); });
  const std::string out = testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, -1);
  EXPECT_NE(out.find("Quokka Runtime Error : broken"), std::string::npos) << out;
}

// ---------------------------------------------------------------------------------------------
// The window

// A layer that reports a close as its window goes, as emscripten's GLFW does.
struct ClosingFake : FakeGlfw2 {
  void CloseWindow() override {
    if (open && events) events->OnWindowClose();
    FakeGlfw2::CloseWindow();
  }
};

// The window reports the full screen it was opened with.
TEST(WindowRules, ReplacingTheWindowNeverSendsTheCloseKeyButTheCloseButtonDoes) {
  ClosingFake fake;
  glfw2_install(&fake);
  Strings log;
  ZuGlfwGame host;
  host.SetDelegate(new RecordingDelegate(&log));
  host.SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
  host.StartGame();
  host.SetGlfwWindow(1280, 1024, 8, 8, 8, 0, 0, 0, true);
  EXPECT_EQ(host.WindowFullscreen(), 1);
  host.SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
  EXPECT_EQ(host.WindowFullscreen(), 0);
  EXPECT_EQ(log, Strings{"start"});
  EXPECT_EQ(fake.events->OnWindowClose(), 0) << "the host keeps the window";
  EXPECT_EQ(log, (Strings{"start", "key 1 432", "key 2 432"}));
  glfw2_install(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Standard-mapping pads through the real window layer and the host's pad outputs: 0 A, 1 B, 2 X,
// 3 Y, 4 and 5 the shoulders, 6 Back, 7 Start, 8 left, 9 up, 10 right, 11 down, 12 and 13 the
// stick buttons; sticks x, y (up positive) and z (the triggers).

class StandardPadsTest : public ::testing::Test {
protected:
  StandardPads pads;
  void SetUp() override { glfw2_set_joystick_source(&pads); }
  void TearDown() override { glfw2_set_joystick_source(nullptr); }
  StandardPadSample& Pad() {
    StandardPadSample& p = pads.pads[0];
    p.connected = p.standard = true;
    p.numAxes = 4;
    p.numButtons = 17;
    return p;
  }
  // The outputs held while only standard button `b` is pressed.
  std::vector<int> Held(int b) {
    StandardPadSample& p = Pad();
    for (bool& pressed : p.buttons) pressed = false;
    p.buttons[b] = true;
    Poll();
    std::vector<int> held;
    for (int i = 0; i < 32; ++i)
      if (buttons[i]) held.push_back(i);
    return held;
  }
  bool Poll() { return ZuGlfwGame().PollJoystick(0, x, y, z, buttons); }
  Array<float> x{2}, y{2}, z{2};
  Array<bool> buttons{32};
};

TEST_F(StandardPadsTest, EveryButtonMeansWhatItMeansOnTheDesktop) {
  const std::pair<int, std::vector<int>> cases[] = {
      {0, {0}},  {1, {1}},   {2, {2}},   {3, {3}},   {4, {4}},   {5, {5}}, {8, {6}}, {9, {7}}, {14, {8}},
      {12, {9}}, {15, {10}}, {13, {11}}, {10, {12}}, {11, {13}}, {6, {}},  {7, {}},  {16, {}}};
  for (const auto& [standard, outputs] : cases) EXPECT_EQ(Held(standard), outputs) << "button " << standard;
}

// Sticks: x right, y up positive, the triggers the z axes. A pad of another mapping passes as it
// comes (14 buttons and 5 axes: the first layout, button 0 is A); an absent one is no pad.
TEST_F(StandardPadsTest, SticksAndTriggersThenOtherMappingsAndAbsentPads) {
  StandardPadSample& p = Pad();
  p.axes[0] = 0.5f, p.axes[1] = -0.25f, p.axes[2] = -0.75f; // right, a quarter up; right stick left
  p.buttons[6] = true;                                      // the left trigger
  ASSERT_TRUE(Poll());
  EXPECT_FLOAT_EQ(x[0], 0.5f);
  EXPECT_FLOAT_EQ(y[0], 0.25f);
  EXPECT_FLOAT_EQ(x[1], -0.75f);
  EXPECT_FLOAT_EQ(z[0], 1.0f);
  EXPECT_FLOAT_EQ(z[1], 0.0f);
  p.standard = false;
  p.numButtons = 14, p.numAxes = 5;
  for (bool& pressed : p.buttons) pressed = false;
  p.buttons[0] = true;
  ASSERT_TRUE(Poll());
  EXPECT_TRUE(buttons[0]);
  p.connected = false;
  EXPECT_FALSE(Poll());
}

} // namespace
