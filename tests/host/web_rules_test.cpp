// tests/host/web_rules_test.cpp — the browser host's rules that live in shared code, run on the
// desktop: due updates per display frame, the program's end thrown past the guarded calls, no
// close key while the window is replaced, the full-screen state, and standard-mapping pads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "host/desktop_game.h"
#include "host/standard_pads.h"
#include "runtime/errors.h"
#include "tests/host/started_host.h"
#include "tests/support/runtime_output.h"

namespace {

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

class WebRules : public StartedHost<ZuGlfwGame> {
protected:
  // The updates run by each display frame, at the times given.
  Ints Run(const std::vector<double>& times) {
    Ints counts;
    for (double t : times) {
      const int before = delegate->updates;
      host.RunDueUpdates(t);
      counts.push_back(delegate->updates - before);
    }
    return counts;
  }
  // Frames `frame` apart from time 100 over `seconds`, spread over -jitter..jitter, the first the
  // latest: the schedule starts from it.
  static std::vector<double> Frames(double frame, double seconds, double jitter = 0) {
    std::vector<double> times;
    for (int k = 0; k * frame < seconds; ++k)
      times.push_back(100 + k * frame + jitter * ((k * 7919 + 12) % 13 - 6) / 6.0);
    return times;
  }
};

// At 60 updates a second, whatever the display's rate: 300 updates in 5 s (one either side for
// where the last frame falls), each frame within its share rounded down and up (the first frame
// starts the schedule with one). A 60 Hz display whose frames come up to 2 ms early or late still
// gets one update every frame.
TEST_F(WebRules, DisplayFramesRunTheUpdatesDueOnTheClock) {
  // The display, its frame and jitter, the fewest and most updates in one frame.
  const std::tuple<const char*, double, double, int, int> cases[] = {
      {"30 Hz", 1.0 / 30, 0, 1, 2},
      {"60 Hz", 1.0 / 60, 0, 1, 1},
      {"75 Hz", 1.0 / 75, 0, 0, 1},
      {"120 Hz", 1.0 / 120, 0, 0, 1},
      {"144 Hz", 1.0 / 144, 0, 0, 1},
      {"60 Hz +-2 ms", 1.0 / 60, 0.002, 1, 1},
      {"60 Hz +-6 ms", 1.0 / 60, 0.006, 0, 2},
      {"120 Hz +-2 ms", 1.0 / 120, 0.002, 0, 2}};
  for (const auto& [display, frame, jitter, least, most] : cases) {
    host.SetUpdateRate(60);
    const Ints counts = Run(Frames(frame, 5.0, jitter));
    EXPECT_NEAR(std::accumulate(counts.begin(), counts.end(), 0), 300, 1) << display;
    EXPECT_GE(*std::min_element(counts.begin(), counts.end()), least) << display;
    EXPECT_LE(*std::max_element(counts.begin(), counts.end()), most) << display;
  }
}

// After a second without frames (a page in the background) four run, then one a frame again;
// without a rate each frame runs one; an update that changes the rate ends the catch-up.
TEST_F(WebRules, AFrameFarBehindRunsFourAndARateChangeEndsTheCatchUp) {
  host.SetUpdateRate(60);
  EXPECT_EQ(Run({100, 100 + 1 / 60.0, 101, 101 + 1 / 60.0, 101 + 2 / 60.0}), (Ints{1, 1, 4, 1, 1}));
  host.SetUpdateRate(0);
  EXPECT_EQ(Run(Frames(1.0 / 144, 0.1)), Ints(15, 1));
  host.SetUpdateRate(60);
  host.RunDueUpdates(200);
  delegate->on_update = [&] { host.SetUpdateRate(30); };
  EXPECT_EQ(Run({201}), Ints{1}) << "far behind, but the first update changes the rate";
  EXPECT_EQ(host.NextUpdate(), 0) << "the new rate's schedule starts at the next frame";
}

struct Ended {
  int status;
};
[[noreturn]] void ThrowEnded(int status) { throw Ended{status}; }

// With an exit handler that throws (the page's), the end passes the guarded calls, nested ones too,
// and leaves none counted: the next outermost call still ends with a collection step. An uncaught
// exception ends with -1, and so does a debug stop with standard input at its end (the browser's).
TEST_F(WebRules, TheProgramsEndPassesTheGuardedCallsWithItsStatus) {
  ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); // for the debug stop, last
  zu_set_exit_handler(ThrowEnded);
  auto endOf = [&] { // the status the update ended with, or 99 when it returned
    try {
      host.UpdateGame();
    } catch (const Ended& e) {
      return e.status;
    }
    return 99;
  };
  delegate->on_update = [&] { zuError(String()); };
  EXPECT_EQ(endOf(), 0) << "an update that ends the program";
  struct Quitter : RecordingDelegate {
    using RecordingDelegate::RecordingDelegate;
    void KeyEvent(int, int) override { zuError(String()); }
  };
  Quitter* quitter = new Quitter(&log);
  quitter->on_update = [&] { host.KeyEvent(1, 27); };
  host.SetDelegate(quitter);
  EXPECT_EQ(endOf(), 0) << "an update whose key event ends the program";
  quitter->on_update = [] { gc_ext_malloced(gc_sweep_threshold + 1); };
  host.UpdateGame();
  EXPECT_EQ(gc_ext_new_bytes, 0) << "the outermost call collected";
  quitter->on_update = [] { throw new ThrowableObject; };
  EXPECT_EQ(endOf(), -1) << "an uncaught exception";
  quitter->on_update = [] { zuError(String("broken")); };
  testing::internal::CaptureStderr(); // the debug stop's prompt
  int status = 0;
  const std::string out = StdoutOf([&] { status = endOf(); });
  testing::internal::GetCapturedStderr();
  zu_set_exit_handler(nullptr);
  EXPECT_EQ(status, -1) << "a debug stop without input";
  EXPECT_NE(out.find("Quokka Runtime Error : broken"), std::string::npos) << out;
}

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

// Standard-mapping pads through the real window layer and the host's pad outputs: 0 A, 1 B, 2 X,
// 3 Y, 4 and 5 the shoulders, 6 Back, 7 Start, 8 left, 9 up, 10 right, 11 down, 12 and 13 the
// stick buttons; sticks x right, y up positive, the triggers the z axes. A pad of another mapping
// passes as it comes (14 buttons and 5 axes: the first layout, button 0 is A); an absent one is
// no pad.
TEST(StandardPadsTest, ButtonsSticksAndTriggersMeanWhatTheyMeanOnTheDesktop) {
  struct Installed : StandardPads {
    Installed() { glfw2_set_joystick_source(this); }
    ~Installed() { glfw2_set_joystick_source(nullptr); }
  } pads;
  StandardPadSample& p = pads.pads[0];
  p.connected = p.standard = true;
  p.numAxes = 4, p.numButtons = 17;
  Array<float> x{2}, y{2}, z{2};
  Array<bool> buttons{32};
  auto poll = [&] { return ZuGlfwGame().PollJoystick(0, x, y, z, buttons); };
  const std::pair<int, std::vector<int>> cases[] = {
      // a standard button, the outputs it holds
      {0, {0}},  {1, {1}},   {2, {2}},   {3, {3}},   {4, {4}},   {5, {5}}, {8, {6}}, {9, {7}}, {14, {8}},
      {12, {9}}, {15, {10}}, {13, {11}}, {10, {12}}, {11, {13}}, {6, {}},  {7, {}},  {16, {}}};
  for (const auto& [standard, outputs] : cases) {
    std::fill(std::begin(p.buttons), std::end(p.buttons), false);
    p.buttons[standard] = true;
    poll();
    std::vector<int> held;
    for (int i = 0; i < 32; ++i)
      if (buttons[i]) held.push_back(i);
    EXPECT_EQ(held, outputs) << "button " << standard;
  }
  p.axes[0] = 0.5f, p.axes[1] = -0.25f, p.axes[2] = -0.75f; // right, a quarter up; right stick left
  p.buttons[6] = true;                                      // the left trigger
  ASSERT_TRUE(poll());
  EXPECT_FLOAT_EQ(x[0], 0.5f);
  EXPECT_FLOAT_EQ(y[0], 0.25f);
  EXPECT_FLOAT_EQ(x[1], -0.75f);
  EXPECT_FLOAT_EQ(z[0], 1.0f);
  EXPECT_FLOAT_EQ(z[1], 0.0f);
  p.standard = false;
  p.numButtons = 14, p.numAxes = 5;
  std::fill(std::begin(p.buttons), std::end(p.buttons), false);
  p.buttons[0] = true;
  ASSERT_TRUE(poll());
  EXPECT_TRUE(buttons[0]) << "another mapping's button 0";
  p.connected = false;
  EXPECT_FALSE(poll()) << "an absent pad";
}

} // namespace
