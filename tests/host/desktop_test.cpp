// tests/host/desktop_test.cpp — the host on a fake window layer: loop, focus, re-opening, keys, pads, guards.
#include <gtest/gtest.h>

#include <map>

#include "host/desktop_game.h"
#include "tests/host/started_host.h"

namespace {

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

struct LoopingHost : ZuGlfwGame {
  using ZuGlfwGame::LoopOnce;
};

class Desktop : public StartedHost<LoopingHost> {
protected:
  FakeGlfw2& fake = glfw.fake;
  int Turn() { return host.LoopOnce(), delegate->updates - std::exchange(seen, delegate->updates); }
  int seen = 0; // updates as of the last turn
};

// At 64 Hz (period p, exact in binary): each turn's updates and sleeps. At most four updates catch
// up, then the schedule restarts; one due now runs; a wait of 0 is no sleep; rate 0: one a frame.
TEST_F(Desktop, UpdatesCatchUpAtMostFourAtATimeAndFastFramesSleep) {
  const double p = 1.0 / 64;
  const std::tuple<int, double, Ints, std::vector<double>> cases[] = {
      {64, 0, {1, 1, 1, 1}, {p, p, p}},   {64, p, {1, 1, 1}, {}},   {64, 1.5 * p, {1, 1, 2, 1, 2}, {}},
      {64, 4.5 * p, {1, 4, 4, 1, 4}, {}}, {0, 0.25, {1, 1, 1}, {}}, {64, 10 * p, {1, 4, 1, 4}, {}}};
  for (auto& [rate, frame, want, sleeps] : cases) {
    fake.now = 100, fake.sleeps.clear();
    host.SetUpdateRate(rate);
    delegate->on_render = [&, frame = frame] { fake.now += frame; };
    Ints updates;
    while (updates.size() < want.size()) updates.push_back(Turn());
    EXPECT_EQ(updates, want) << rate << " Hz, frames of " << frame / p << " p";
    EXPECT_EQ(fake.sleeps, sleeps) << frame / p;
  }
  // An update that changes the rate ends the turn's catch-up; the next turn starts the new schedule.
  int n = 0;
  delegate->on_update = [&] {
    if (++n == 2) host.SetUpdateRate(30);
  };
  EXPECT_EQ((Ints{Turn(), Turn(), Turn()}), (Ints{1, 1, 1}));
  EXPECT_NEAR(host.NextUpdate() - fake.now, 1.0 / 30, 1e-9);
}

// Unfocused: renders, waits for events, no updates. The close button or a session's end (once) is the
// close key. Run opens 640 x 480 and loops until the window closes; no window ends the program.
TEST_F(Desktop, LosingFocusSuspendsAndTheCloseRequestIsTheCloseKey) {
  host.SetUpdateRate(60);
  Turn();
  fake.active = false;
  int waits = fake.waits, polls = fake.polls;
  EXPECT_EQ((Ints{Turn(), Turn(), Turn(), host.Suspended()}), (Ints{0, 0, 0, 1}));
  EXPECT_EQ((Ints{fake.waits - waits, fake.polls - polls, host.NextUpdate() == 0}), (Ints{2, 1, 1}));
  ZuGlfwGame::RequestClose();
  for (int i = 0; i < 2; ++i) host.UpdateEvents();
  EXPECT_EQ(fake.events->OnWindowClose(), 0);
  fake.active = true, fake.now += 60;
  EXPECT_EQ((Ints{Turn(), host.Suspended()}), (Ints{1, 0}));
  EXPECT_EQ(log, (Strings{"render", "update", "render", "suspend", "render", "render", "key 1 432",
                          "key 2 432", "key 1 432", "key 2 432", "render", "resume", "update"}));
  fake.calls.clear();
  delegate->on_render = [&] { fake.open = delegate->renders < 7; };
  host.Run();
  EXPECT_EQ(delegate->renders, 7);
  EXPECT_EQ(fake.calls,
            (Strings{"close", "open 640x480 window", "pos 320,272", "title Tessel", "swap interval 1"}));
  fake.open_fails = true;
  EXPECT_EXIT(host.Run(), ::testing::ExitedWithCode(255), "");
}

// Keys and buttons held when the window is replaced are released, and so is a click still waiting
// for an update (button 1); a window is centred; flag 1: full screen.
TEST_F(Desktop, ReopeningReleasesWhatIsHeldAndCentresTheWindow) {
  fake.calls.clear();
  fake.pressed = {'A', 283 /* up */, 291 /* left alt: no key code */};
  fake.mouse_x = 120, fake.mouse_y = 45;
  for (int button : {-1, 0, 1, 2, 3}) fake.events->OnMouseButton(button, GLFW2_PRESS); // 0..2 only
  fake.events->OnMouseButton(1, GLFW2_RELEASE), fake.events->OnMousePos(130, 50);
  fake.events->OnChar('b', GLFW2_RELEASE); // characters only on press
  fake.events->OnChar(0x20AC, GLFW2_PRESS);
  int seq = glfwGraphicsSeq;
  host.SetSwapInterval(-1);
  host.SetDeviceWindow(800, 600, 2);
  EXPECT_EQ(log, (Strings{"mouse 4 0 120,45", "mouse 4 1 120,45", "mouse 4 2 120,45", "mouse 6 -1 130,50",
                          "key 3 8364", "mouse 5 1 120,45", "key 2 65", "key 2 38", "mouse 5 0 120,45",
                          "mouse 5 2 120,45"}));
  EXPECT_EQ(fake.calls, (Strings{"close", "open 800x600 window", "pos 240,212", "title Tessel"}));
  EXPECT_EQ((Ints{glfwGraphicsSeq - seq, host.GetDeviceWidth(), host.GetDeviceHeight()}),
            (Ints{1, 800, 600}));
  fake.calls.clear(), log.clear();
  host.SetSwapInterval(0);
  host.SetDeviceWindow(1280, 1024, 1);
  EXPECT_EQ(fake.calls,
            (Strings{"swap interval 0", "close", "open 1280x1024 fullscreen", "swap interval 0"}));
  EXPECT_EQ(log, (Strings{"key 2 65", "key 2 38"})); // the buttons were released
}

// A key or button let go before any update saw it pressed is let go after the next update (or
// as the game is suspended): the game reads most controls as held. A second press before that
// update lets the first go at once, so both count.
TEST_F(Desktop, ATapBetweenTwoUpdatesIsHeldForOneUpdate) {
  host.SetUpdateRate(0);
  fake.events->OnKey('A', GLFW2_PRESS), fake.events->OnKey('A', GLFW2_RELEASE);
  fake.events->OnMouseButton(0, GLFW2_PRESS), fake.events->OnMouseButton(0, GLFW2_RELEASE);
  host.UpdateGame();
  host.UpdateGame();
  EXPECT_EQ(log, (Strings{"key 1 65", "mouse 4 0 0,0", "update", "key 2 65", "mouse 5 0 0,0", "update"}));
  log.clear();
  fake.events->OnKey('A', GLFW2_PRESS), fake.events->OnKey('A', GLFW2_RELEASE);
  fake.events->OnKey('A', GLFW2_PRESS), fake.events->OnKey('A', GLFW2_RELEASE);
  host.UpdateGame();
  EXPECT_EQ(log, (Strings{"key 1 65", "key 2 65", "key 1 65", "update", "key 2 65"}));
  log.clear();
  host.UpdateGame();
  fake.events->OnKey('A', GLFW2_PRESS), host.UpdateGame(), fake.events->OnKey('A', GLFW2_RELEASE);
  EXPECT_EQ(log, (Strings{"update", "key 1 65", "update", "key 2 65"})) << "a held key is let go at once";
  log.clear();
  fake.events->OnKey('A', GLFW2_PRESS), fake.events->OnKey('A', GLFW2_RELEASE);
  host.SuspendGame();
  EXPECT_EQ(log, (Strings{"key 1 65", "key 2 65", "suspend"}));
}

// Classic key numbers (special keys from 257) to key codes: a row for each kind of key and each
// end of a range (the window test presses more through X); the characters sent with a key press.
TEST(Keys, TranslationAndCharacters) {
  const int keys[][2] = {{-1, 0},    {31, 0},    {32, 32},   {33, 0},   {34, 222},  {39, 222},  {44, 188},
                         {47, 191},  {'0', '0'}, {'9', '9'}, {59, 186}, {61, 187},  {64, 0},    {'A', 'A'},
                         {'Z', 'Z'}, {91, 219},  {93, 221},  {97, 0},   {126, 192}, {256, 0},   {257, 27},
                         {258, 112}, {269, 123}, {270, 0},   {283, 38}, {286, 39},  {287, 16},  {290, 17},
                         {294, 13},  {295, 8},   {298, 33},  {301, 35}, {302, 96},  {311, 105}, {312, 111},
                         {313, 106}, {315, 107}, {316, 110}, {317, 0},  {399, 0}};
  for (auto& k : keys) EXPECT_EQ(ZuGlfwGame::TransKey(k[0]), k[1]) << "key " << k[0];
  const int chars[][2] = {{7, 0},   {8, 8},      {9, 9},      {10, 0},     {13, 13},
                          {27, 27}, {32, 0},     {33, 65569}, {40, 65576}, {41, 0},
                          {44, 0},  {45, 65581}, {46, 127},   {47, 0},     {65, 0}};
  for (auto& c : chars) EXPECT_EQ(ZuGlfwGame::KeyToChar(c[0]), c[1]) << "code " << c[0];
}

// Game pads through the real layer, from a pad source of the test's own: axes (Y down), buttons.
struct Pads : Glfw2JoystickSource {
  std::map<int, std::pair<std::vector<float>, std::vector<unsigned char>>> pads;
  Pads() { glfw2_set_joystick_source(this); }
  ~Pads() { glfw2_set_joystick_source(nullptr); }
  bool Present(int joy) override { return pads.count(joy) > 0; }
  int Axes(int joy, float* to, int max) override { return Copy(pads[joy].first, to, max); }
  int Buttons(int joy, unsigned char* to, int max) override { return Copy(pads[joy].second, to, max); }
  template <class T> static int Copy(const std::vector<T>& from, T* to, int max) {
    return static_cast<int>(std::copy_n(from.begin(), std::min<int>(max, from.size()), to) - to);
  }
  // The sticks x0, y0, z0, x1, y1, z1 (Y up), then 100 + each output that is down; {} for no pad.
  std::vector<float> Poll(int port) {
    Array<float> x(2), y(2), z(2);
    Array<bool> b(32);
    x[0] = 42;
    if (!ZuGlfwGame().PollJoystick(port, x, y, z, b))
      return std::vector<float>(x[0] != 42, x[0]); // untouched
    std::vector<float> out = {x[0], y[0], z[0], x[1], y[1], z[1]};
    for (int i = 0; i < 32; ++i)
      if (b[i]) out.push_back(100 + i);
    return out;
  }
};

// 14 buttons and 5 axes: layout A, any other pad layout B. Ports 0..3 take the pads present in order.
TEST(Pads, TwoLayoutsAndFourPorts) {
  Pads p;
  using F = std::vector<float>;
  p.pads[0] = {{0.25f, 0.5f, -0.75f, 0.125f, 1.0f}, {1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 0, 0, 1}};
  EXPECT_EQ(p.Poll(0), (F{0.25f, -0.5f, -0.75f, 1.0f, 0.125f, 0.75f, 100, 107, 108, 111, 112}));
  p.pads[0] = {{0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}, {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}}; // six axes
  EXPECT_EQ(p.Poll(0), (F{0.1f, -0.2f, 1.0f, 0.3f, 0.4f, 0.0f, 100, 108, 112}));
  p.pads[0] = {{0.5f, 0.5f, 0.5f, 0.5f, 0.5f}, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}}; // thirteen buttons
  EXPECT_EQ(p.Poll(0), (F{0.5f, -0.5f, 0.0f, 0.5f, 0.5f, 1.0f}));
  Array<float> x(2), y(2), z(1); // arrays too short for both sticks are left alone
  Array<bool> b(32);
  EXPECT_TRUE(ZuGlfwGame().PollJoystick(0, x, y, z, b)) << "the pad is there";
  EXPECT_EQ(x[0], 0) << "its stick left alone";
  // Ports are rebuilt when port 0 is polled; with one button, outputs 2 and 11 are button 0.
  p.pads.clear();
  p.pads[2] = p.pads[15] = p.pads[16] = {{0.5f}, {1}};
  EXPECT_EQ(p.Poll(0), (F{0.5f, 0, 0, 0, 0, 0, 102, 111}));
  EXPECT_EQ((Ints{pjoys[0], pjoys[1], pjoys[2], pjoys[3]}), (Ints{2, 15, -1, -1}));
  EXPECT_EQ(p.Poll(2), F{});
  p.pads.erase(2);
  EXPECT_EQ(p.Poll(1).size(), 8u); // the table still names joystick 15 for port 1
  EXPECT_EQ((Ints{static_cast<int>(p.Poll(0).size()), pjoys[0]}), (Ints{8, 15})); // rebuilt
  for (int port : {1, 4, -1}) EXPECT_EQ(p.Poll(port), F{}) << port;
}

// Nothing before the start; no updates while suspended; an uncaught exception ends the program.
TEST(GuardedCalls, WhatReachesTheDelegateInEachState) {
  Strings log;
  ZuGame host;
  RecordingDelegate* delegate = new RecordingDelegate(&log);
  host.SetDelegate(delegate);
  auto all = [&] {
    host.UpdateGame(), host.RenderGame(), host.KeyEvent(1, 65), host.MouseEvent(4, 0, 1, 2);
    host.TouchEvent(7, 1, 0, 0), host.MotionEvent(8, 2, 0, 0, 0), host.DiscardGraphics();
  };
  host.SuspendGame(), host.ResumeGame(), all();
  host.StartGame(), host.StartGame(), host.ResumeGame(), host.SuspendGame(), host.SuspendGame(), all();
  host.ResumeGame(), host.ResumeGame(), all();
  EXPECT_EQ(log, (Strings{"start", "suspend", "render", "key 1 65", "mouse 4 0 1,2", "touch 7 1",
                          "motion 8 2", "discard", "resume", "update", "render", "key 1 65", "mouse 4 0 1,2",
                          "touch 7 1", "motion 8 2", "discard"}));
  // Only the outermost call ends with a collection step (which takes the pending bytes).
  int inner = 0;
  delegate->on_update = [&] {
    gc_ext_malloced(gc_sweep_threshold + 1), host.KeyEvent(1, 66), inner = gc_ext_new_bytes;
  };
  host.UpdateGame();
  EXPECT_EQ((Ints{inner > gc_sweep_threshold, gc_ext_new_bytes}), (Ints{1, 0}));
  delegate->on_update = [] { throw new ThrowableObject; };
  EXPECT_EXIT(host.UpdateGame(), ::testing::ExitedWithCode(255), "");
}

} // namespace
