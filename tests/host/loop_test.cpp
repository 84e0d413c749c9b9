// tests/host/loop_test.cpp — the host's main loop on a fake clock: catch-up, rate 0, rate
// changes, focus, re-opened windows, guarded calls and their collection steps.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/desktop_game.h"
#include "tests/support/fake_window_api.h"
#include "tests/support/recording_delegate.h"

namespace {

class TestHost : public ZuGlfwGame {
public:
  using ZuGlfwGame::LoopOnce;
};

class Loop : public ::testing::Test {
protected:
  ScopedFakeGlfw2 glfw;
  FakeGlfw2& fake = glfw.fake;
  std::vector<std::string> log;
  TestHost host;
  RecordingDelegate* delegate = new RecordingDelegate(&log);

  void SetUp() override {
    host.SetDelegate(delegate);
    host.SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
    host.StartGame();
    log.clear();
  }
  // Runs one turn and returns how many updates it ran.
  int Turn() {
    int before = delegate->updates;
    host.LoopOnce();
    return delegate->updates - before;
  }
  int Count(const std::string& what) { return static_cast<int>(std::count(log.begin(), log.end(), what)); }
};

TEST_F(Loop, SlowFramesRunFourUpdatesThenDropTheBacklog) {
  host.SetUpdateRate(60);
  delegate->on_render = [&] { fake.now += 0.100; }; // every frame takes 100 ms
  EXPECT_EQ(Turn(), 1);                             // the schedule starts now
  EXPECT_EQ(Turn(), 4);
  EXPECT_EQ(host.NextUpdate(), 0); // behind by more than four: the schedule restarts
  EXPECT_EQ(Turn(), 1);            // ... from now, so game time falls behind wall time
  EXPECT_EQ(Turn(), 4);
  EXPECT_TRUE(fake.sleeps.empty());
}

TEST_F(Loop, FastFramesSleepUntilTheNextUpdate) {
  host.SetUpdateRate(50);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Turn(), 1);
  ASSERT_EQ(fake.sleeps.size(), 3u);
  for (double s : fake.sleeps) EXPECT_NEAR(s, 0.02, 1e-9);
  // Frames of 30 ms: the update falls behind, and every other frame two updates catch up.
  delegate->on_render = [&] { fake.now += 0.030; };
  size_t sleeps = fake.sleeps.size();
  EXPECT_EQ(Turn(), 1);
  EXPECT_EQ(Turn(), 2);
  EXPECT_EQ(fake.sleeps.size(), sleeps);
}

TEST_F(Loop, RateZeroRunsOneUpdatePerFrameWithoutSleeping) {
  host.SetUpdateRate(0);
  delegate->on_render = [&] { fake.now += 0.25; };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Turn(), 1);
  EXPECT_EQ(delegate->renders, 3);
  EXPECT_TRUE(fake.sleeps.empty());
}

TEST_F(Loop, ARateChangeInsideAnUpdateEndsTheCatchUp) {
  host.SetUpdateRate(60);
  delegate->on_render = [&] { fake.now += 0.100; };
  Turn();
  int n = 0;
  delegate->on_update = [&] {
    if (++n == 2) host.SetUpdateRate(30);
  };
  EXPECT_EQ(Turn(), 2);
  EXPECT_EQ(host.NextUpdate(), 0);
  delegate->on_update = nullptr;
  EXPECT_EQ(Turn(), 1); // a new schedule at the new rate
  EXPECT_NEAR(host.NextUpdate() - fake.now, 1.0 / 30, 1e-9);
}

TEST_F(Loop, LosingFocusSuspendsUpdatesButNotRendering) {
  host.SetUpdateRate(60);
  Turn();
  fake.active = false;
  Turn();
  EXPECT_TRUE(host.Suspended());
  EXPECT_EQ(Count("suspend"), 1);
  log.clear();
  int waits = fake.waits;
  EXPECT_EQ(Turn(), 0);
  EXPECT_EQ(Turn(), 0);
  EXPECT_EQ(Count("render"), 2);
  EXPECT_EQ(fake.waits, waits + 2); // waits for events instead of polling
  EXPECT_EQ(host.NextUpdate(), 0);

  fake.active = true;
  fake.now += 60; // a minute away is not caught up
  EXPECT_EQ(Turn(), 1);
  EXPECT_FALSE(host.Suspended());
  EXPECT_EQ(Count("resume"), 1);
}

TEST_F(Loop, ReopeningReleasesHeldKeysAndCentresTheWindow) {
  fake.calls.clear();
  fake.pressed = {'A', GLFW2_KEY_LEFT, GLFW2_KEY_LALT /* no key code: not reported */};
  fake.events->OnMouseButton(0, GLFW2_PRESS); // the left button too: its release would be lost
  log.clear();
  int seq = glfwGraphicsSeq;
  fake.on_poll = nullptr;
  host.SetSwapInterval(-1);
  host.SetDeviceWindow(800, 600, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"key 2 65", "key 2 37", "mouse 5 0 0,0"}));
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"close", "open 800x600 window", "pos 240,212", "title Tessel"}));
  EXPECT_EQ(glfwGraphicsSeq, seq + 1);
  EXPECT_EQ(host.GetDeviceWidth(), 800);

  fake.calls.clear();
  host.SetSwapInterval(1);
  host.SetDeviceWindow(1280, 1024, 1);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"swap interval 1", "close", "open 1280x1024 fullscreen",
                                                  "swap interval 1"}));
}

// Held only by a local variable of the update; counts its destruction, since a swept
// object's address can be handed out again.
class Marked : public Object {
public:
  static inline int destroyed = 0;
  int marker = 0x5eed;
  ~Marked() override { ++destroyed; }
};

class Garbage : public Object {
public:
  char bytes[4096];
};

TEST_F(Loop, ReopeningInsideAnUpdateLeavesTheCollectionStepToTheUpdate) {
  Marked* kept = nullptr;
  int destroyed_before = Marked::destroyed;
  delegate->on_update = [&] {
    kept = new Marked;
    // Past the sweep threshold: any collection step from here on sweeps.
    for (size_t n = 0; n <= gc_sweep_threshold / sizeof(Garbage); ++n) new Garbage;
    fake.pressed = {'A'};
    host.SetDeviceWindow(800, 600, 0); // releases 'A' through a guarded call inside this one
    new Garbage;                       // takes memory back from whatever was swept
    ASSERT_TRUE(gc_is_live_object(kept));
    ASSERT_EQ(Marked::destroyed, destroyed_before);
    EXPECT_EQ(kept->marker, 0x5eed);
  };
  host.UpdateGame();
  EXPECT_EQ(Count("key 2 65"), 1);
  EXPECT_FALSE(gc_is_live_object(kept)); // the update's own step swept it
}

TEST_F(Loop, TheCloseRequestBecomesTheCloseKeyAndRunEndsWhenTheWindowCloses) {
  EXPECT_EQ(fake.events->OnWindowClose(), 0); // the window stays
  EXPECT_EQ(log, (std::vector<std::string>{"key 1 432", "key 2 432"}));
  // A session ending (a signal's watcher thread) asks for the same, once, even while suspended.
  log.clear();
  fake.active = false;
  host.UpdateEvents();
  ZuGlfwGame::RequestClose();
  host.UpdateEvents();
  host.UpdateEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"suspend", "key 1 432", "key 2 432"}));
  fake.active = true;
  int frames = 0;
  delegate->on_render = [&] {
    if (++frames == 3) fake.open = false;
  };
  host.Run();
  EXPECT_EQ(frames, 3);
}

TEST(LoopFailures, AWindowThatCannotOpenIsReported) {
  EXPECT_EXIT(
      {
        ScopedFakeGlfw2 glfw;
        glfw.fake.open_fails = true;
        ZuGlfwGame host;
        host.Run();
      },
      ::testing::ExitedWithCode(255), "");
}

TEST(GuardedCalls, NothingReachesTheDelegateBeforeStartAndSuspendIsOnce) {
  ScopedFakeGlfw2 glfw;
  std::vector<std::string> log;
  ZuGame host;
  host.SetDelegate(new RecordingDelegate(&log));
  host.KeyEvent(1, 65);
  host.MouseEvent(4, 0, 1, 2);
  host.RenderGame();
  host.UpdateGame();
  host.SuspendGame();
  EXPECT_TRUE(log.empty());
  for (int twice = 0; twice < 2; ++twice) host.StartGame();
  for (int twice = 0; twice < 2; ++twice) host.SuspendGame();
  host.UpdateGame(); // no updates while suspended ...
  host.RenderGame(); // ... but renders and input still arrive
  host.TouchEvent(7, 1, 0, 0);
  for (int twice = 0; twice < 2; ++twice) host.ResumeGame();
  EXPECT_EQ(log, (std::vector<std::string>{"start", "suspend", "render", "touch 7 1", "resume"}));
}

TEST(GuardedCalls, TheDelegateSurvivesCollectionsAsARoot) {
  std::vector<std::string> log;
  ZuGame host;
  RecordingDelegate* d = new RecordingDelegate(&log);
  host.SetDelegate(d);
  host.StartGame();
  for (int i = 0; i < 3; ++i) {
    gc_ext_malloced(gc_sweep_threshold + 1);
    host.UpdateGame(); // the step after the call sweeps
  }
  gc_flush_free_list();
  EXPECT_TRUE(gc_is_live_object(d));
  EXPECT_EQ(d->updates, 3);
}

class Thrower : public ZuGameDelegate {
public:
  void UpdateGame() override { throw new ThrowableObject; }
};

TEST(GuardedCalls, AnUncaughtExceptionEndsTheProgram) {
  ZuGame host;
  host.SetDelegate(new Thrower);
  host.StartGame();
  EXPECT_EXIT(host.UpdateGame(), ::testing::ExitedWithCode(255), "");
}

} // namespace
