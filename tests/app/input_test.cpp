// tests/app/input_test.cpp — the input module through its event entry points, the random
// generator and the math helpers.
#include <gtest/gtest.h>

#include <vector>

#include "app/input.h"
#include "app/random.h"
#include "host/game.h"

namespace {

// A host whose pads are set by the test.
class PadHost : public ZuGame {
public:
  std::vector<std::vector<bool>> pads; // buttons per present pad, ports from 0
  int polls = 0;
  // Every present pad pushes its first stick and its second trigger.
  bool PollJoystick(int port, Array<float> x, Array<float> y, Array<float> z, Array<bool> buttons) override {
    ++polls;
    if (port >= static_cast<int>(pads.size())) return false;
    for (int b = 0; b < 32; ++b) buttons[b] = b < static_cast<int>(pads[port].size()) && pads[port][b];
    x[0] = 0.5f + port;
    y[0] = -0.5f - port;
    z[1] = 1;
    return true;
  }
};

class Input : public ::testing::Test {
protected:
  PadHost host;
  c_InputDevice* in = (new c_InputDevice)->m_new();
  void SetUp() override { zu_input_SetInputDevice(in); }
  void TearDown() override { zu_input_device = nullptr; }
  void Update() { // what the game sees: state during its update, then the end of the update
    in->p_EndUpdate();
    in->p_BeginUpdate();
  }
};

TEST_F(Input, HitsAndDownsWithinOneUpdate) {
  in->p_BeginUpdate();
  in->p_KeyEvent(1, 65);
  in->p_KeyEvent(2, 65);
  EXPECT_EQ(zu_input_KeyHit(65), 1);
  EXPECT_FALSE(zu_input_KeyDown(65));

  for (int i = 0; i < 3; ++i) in->p_KeyEvent(1, 66); // auto-repeat
  EXPECT_EQ(zu_input_KeyHit(66), 1);
  in->p_KeyEvent(2, 66);
  in->p_KeyEvent(1, 66); // pressed again: a second hit
  EXPECT_EQ(zu_input_KeyHit(66), 2);

  Update();
  EXPECT_EQ(zu_input_KeyHit(65) + zu_input_KeyHit(66), 0);
  EXPECT_TRUE(zu_input_KeyDown(66)); // held across updates

  for (int k = 0; k < 40; ++k) in->p_KeyEvent(1, 100 + k);
  int hits = 0, downs = 0;
  for (int k = 0; k < 40; ++k) {
    hits += zu_input_KeyHit(100 + k);
    downs += zu_input_KeyDown(100 + k);
  }
  EXPECT_EQ(hits, 33); // the hit queue holds 33; downs are not queued
  EXPECT_EQ(downs, 40);
  // The end of the update clears exactly what it queued.
  in->m__keyHit[300] = 5; // not queued: stays
  Update();
  for (int k = 0; k < 40; ++k) EXPECT_EQ(zu_input_KeyHit(100 + k), 0);
  EXPECT_EQ(in->m__keyHit[300], 5);

  for (int code : {0, 512, -1, 100000}) {
    in->p_KeyEvent(1, code); // ignored, no crash
    EXPECT_FALSE(zu_input_KeyDown(code));
    EXPECT_EQ(zu_input_KeyHit(code), 0);
  }
}

TEST_F(Input, CharactersQueueUpToThirtyTwo) {
  for (int c = 0; c < 40; ++c) in->p_KeyEvent(3, 'a' + c);
  for (int c = 0; c < 32; ++c) EXPECT_EQ(zu_input_GetChar(), 'a' + c);
  EXPECT_EQ(zu_input_GetChar(), 0);
  Update();
  EXPECT_EQ(zu_input_GetChar(), 0);
  in->p_KeyEvent(3, 65536 + 37);
  EXPECT_EQ(zu_input_GetChar(), 65536 + 37);
}

TEST_F(Input, MouseMirrorsTouchZero) {
  in->p_MouseEvent(4, 0, 10, 20);
  EXPECT_EQ(zu_input_MouseHit(0), 1);
  EXPECT_EQ(zu_input_KeyHit(384), 1); // the left button is code 384, touch 0's
  EXPECT_EQ(zu_input_TouchX(0), 10);
  EXPECT_EQ(zu_input_MouseY(), 20);
  Update();
  in->p_MouseEvent(6, -1, 30, 40);
  EXPECT_TRUE(zu_input_TouchDown(0));
  EXPECT_EQ(zu_input_TouchY(0), 40);
  in->p_MouseEvent(5, 0, 30, 40);
  EXPECT_FALSE(zu_input_MouseDown(0));

  in->p_TouchEvent(7, 0, 5, 6); // a touch presses the mouse too
  EXPECT_TRUE(zu_input_MouseDown(0));
  EXPECT_EQ(zu_input_MouseX(), 5);
  in->p_TouchEvent(7, 3, 7, 8);
  EXPECT_TRUE(zu_input_TouchDown(3));
  EXPECT_EQ(zu_input_MouseX(), 5); // other touches leave the pointer
  in->p_TouchEvent(7, 40, 1, 1);   // no such touch: ignored
  EXPECT_EQ(zu_input_TouchX(32) + zu_input_TouchX(-1), 0);
  EXPECT_FALSE(zu_input_TouchDown(-400));
  in->p_MouseEvent(4, 2, 0, 0);
  EXPECT_TRUE(zu_input_KeyDown(3)); // middle button is code 3
  EXPECT_FALSE(zu_input_MouseDown(511));

  in->p_MotionEvent(10, 0, 0.1f, 0.2f, 0.3f);
  in->p_MotionEvent(9, 0, 9, 9, 9); // not an accelerometer event
  EXPECT_EQ((std::vector<float>{zu_input_AccelX(), zu_input_AccelY()}), (std::vector<float>{0.1f, 0.2f}));
}

TEST_F(Input, PadsArePolledUntilTheFirstAbsentOne) {
  host.pads = {{true, false, true}};
  in->p_BeginUpdate();
  EXPECT_EQ(host.polls, 2); // pad 0, then pad 1 absent: stop
  EXPECT_TRUE(zu_input_JoyDown(0, 0));
  EXPECT_EQ(zu_input_JoyHit(2, 0), 1);
  EXPECT_TRUE(zu_input_KeyDown(256 + 2));
  EXPECT_FLOAT_EQ(zu_input_JoyX(0, 0), 0.5f);
  EXPECT_FALSE(zu_input_JoyDown(0, 1));

  in->p_EndUpdate();
  host.pads = {{false, false, true}};
  in->p_BeginUpdate();
  EXPECT_FALSE(zu_input_JoyDown(0, 0)); // up without a release
  EXPECT_EQ(zu_input_JoyHit(2, 0), 0);  // still held: no new hit

  // Negative buttons or units read nothing, not another key's state.
  in->p_KeyEvent(1, 65);
  EXPECT_FALSE(zu_input_JoyDown(-191, 0)); // 256 - 191 would be code 65
  EXPECT_EQ(zu_input_JoyHit(-191, 0), 0);
  EXPECT_FALSE(zu_input_JoyDown(2, -1));
  in->p_TouchEvent(7, 0, 1, 1);         // touch 0 is code 384 ...
  EXPECT_FALSE(zu_input_JoyDown(0, 4)); // ... which pad 4's button 0 would read
  in->p_KeyEvent(1, 256 + 32 + 2);      // pad 1's button 2 ...
  EXPECT_TRUE(zu_input_JoyDown(2, 1));
  EXPECT_FALSE(zu_input_JoyDown(32 + 2, 0)); // ... is not pad 0's button 34
  EXPECT_EQ(zu_input_JoyX(5, 0) + zu_input_JoyY(0, 9), 0);
}

TEST_F(Input, UnpluggedPadsReadReleasedAndCentred) {
  // Present pads fill the first ports; each holds button 1 with its stick and trigger pushed.
  auto expect_pads = [&](int present) {
    for (int unit = 0; unit < 2; ++unit) {
      bool here = unit < present;
      EXPECT_EQ(in->p_KeyDown(256 + 32 * unit + 1), here) << "unit " << unit;
      EXPECT_EQ(in->p_JoyX(0, unit), here ? 0.5f + unit : 0) << "unit " << unit;
      EXPECT_EQ(in->p_JoyY(0, unit), here ? -0.5f - unit : 0) << "unit " << unit;
      EXPECT_EQ(in->p_JoyZ(1, unit), here ? 1 : 0) << "unit " << unit;
    }
  };
  host.pads = {{false, true}, {false, true}};
  Update();
  expect_pads(2);
  host.pads.pop_back(); // pad 1 goes with its button held: pad 0 stays as it is
  Update();
  expect_pads(1);
  host.pads.clear();
  Update();
  expect_pads(0);
}

TEST(Random, TheGeneratorAndItsForms) {
  zu_random_Seed = 1234;
  float r = zu_random_Rnd();
  EXPECT_EQ(static_cast<unsigned>(zu_random_Seed), 3067928073u);
  EXPECT_NEAR(r, 0.7143077, 1e-6); // the top 24 bits of the new seed

  zu_random_Seed = 1234;
  EXPECT_FLOAT_EQ(zu_random_Rnd2(10, 20), 10 + 10 * r);
  zu_random_Seed = 1234;
  EXPECT_FLOAT_EQ(zu_random_Rnd3(4), 4 * r);
  zu_random_Seed = -1; // wraps through the unsigned range
  float s = zu_random_Rnd();
  EXPECT_TRUE(s >= 0.0f && s < 1.0f) << s;

  EXPECT_EQ(zu_math_Abs(-3), 3);
  EXPECT_FLOAT_EQ(zu_math_Max2(1.0f, -1.0f), 1.0f);
}

} // namespace
