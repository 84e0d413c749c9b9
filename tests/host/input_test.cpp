// tests/host/input_test.cpp — key translation, characters, mouse and close events, game pads.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "host/desktop_game.h"
#include "tests/support/fake_window_api.h"
#include "tests/support/recording_delegate.h"

namespace {

TEST(Keys, TranslationTable) {
  std::map<int, int> expected = {
      {32, 32},   {34, 222},  {39, 222},  {44, 188},  {45, 189},  {46, 190},  {47, 191},
      {59, 186},  {61, 187},  {91, 219},  {92, 220},  {93, 221},  {96, 192},  {126, 192},
      {257, 27},  {258, 112}, {269, 123}, {283, 38},  {284, 40},  {285, 37},  {286, 39},
      {287, 16},  {288, 16},  {289, 17},  {290, 17},  {293, 9},   {294, 13},  {295, 8},
      {296, 45},  {297, 46},  {298, 33},  {299, 34},  {300, 36},  {301, 35},  {302, 96},
      {311, 105}, {312, 111}, {313, 106}, {314, 109}, {315, 107}, {316, 110},
  };
  for (int c = '0'; c <= '9'; ++c) expected[c] = c;
  for (int c = 'A'; c <= 'Z'; ++c) expected[c] = c;
  for (int i = 0; i < 12; ++i) expected[258 + i] = 112 + i; // F1..F12; F13..F25 give 0
  for (int i = 1; i < 9; ++i) expected[302 + i] = 96 + i;
  for (int k = -5; k < 400; ++k) {
    auto it = expected.find(k);
    EXPECT_EQ(ZuGlfwGame::TransKey(k), it == expected.end() ? 0 : it->second) << "key " << k;
  }
}

TEST(Keys, CharactersSentWithKeys) {
  for (int k = -1; k < 440; ++k) {
    bool navigation = (k >= 33 && k <= 40) || k == 45; // 65536 + the key
    int want = (k == 8 || k == 9 || k == 13 || k == 27) ? k : k == 46 ? 127 : navigation ? 65536 + k : 0;
    EXPECT_EQ(ZuGlfwGame::KeyToChar(k), want) << k;
  }
}

class Events : public ::testing::Test {
protected:
  ScopedFakeGlfw2 glfw;
  std::vector<std::string> log;
  ZuGlfwGame host;
  void SetUp() override {
    host.SetDelegate(new RecordingDelegate(&log));
    host.SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
    host.StartGame();
    log.clear();
  }
  Glfw2Events& window() { return *glfw.fake.events; }
};

TEST_F(Events, KeysCharactersAndIgnoredKeys) {
  window().OnKey(GLFW2_KEY_LEFT, GLFW2_PRESS);
  window().OnKey(GLFW2_KEY_LEFT, GLFW2_RELEASE);
  window().OnKey('A', GLFW2_PRESS);
  window().OnChar('a', GLFW2_PRESS);
  window().OnChar('b', GLFW2_RELEASE); // characters only on press
  window().OnKey(GLFW2_KEY_LALT, GLFW2_PRESS);
  window().OnKey(GLFW2_KEY_KP_ENTER, GLFW2_PRESS);
  window().OnKey(GLFW2_KEY_F1, GLFW2_PRESS);
  window().OnKey(GLFW2_KEY_DEL, GLFW2_PRESS);
  window().OnChar(0x20AC, GLFW2_PRESS);
  EXPECT_EQ(log, (std::vector<std::string>{"key 1 37", "key 3 65573", "key 2 37", "key 1 65", "key 3 97",
                                           "key 1 112", "key 1 46", "key 3 127", "key 3 8364"}));
}

TEST_F(Events, MouseButtonsAndMotion) {
  glfw.fake.mouse_x = 120;
  glfw.fake.mouse_y = 45;
  window().OnMouseButton(0, GLFW2_PRESS);
  window().OnMousePos(130, 50);
  window().OnMouseButton(0, GLFW2_RELEASE);
  window().OnMouseButton(2, GLFW2_PRESS);
  window().OnMouseButton(3, GLFW2_PRESS); // beyond the middle button: ignored
  EXPECT_EQ(log, (std::vector<std::string>{"mouse 4 0 120,45", "mouse 6 -1 130,50", "mouse 5 0 120,45",
                                           "mouse 4 2 120,45"}));
}

// Game pads, through the real layer with a pad source of the test's own.

struct Pad {
  std::vector<float> axes; // as the system reports them (Y down)
  std::vector<unsigned char> buttons;
};

class FakePads : public Glfw2JoystickSource {
public:
  std::map<int, Pad> pads;
  bool Present(int joy) override { return pads.count(joy) > 0; }
  int Axes(int joy, float* axes, int max) override { return Copy(pads[joy].axes, axes, max); }
  int Buttons(int joy, unsigned char* buttons, int max) override {
    return Copy(pads[joy].buttons, buttons, max);
  }
  template <class T> static int Copy(const std::vector<T>& from, T* to, int max) {
    int n = std::min<int>(max, static_cast<int>(from.size()));
    std::copy_n(from.begin(), n, to);
    return n;
  }
};

class Pads : public ::testing::Test {
protected:
  FakePads source;
  ZuGlfwGame host;
  Array<float> x{2}, y{2}, z{2};
  Array<bool> buttons{32};
  void SetUp() override { glfw2_set_joystick_source(&source); }
  void TearDown() override { glfw2_set_joystick_source(nullptr); }
  bool Poll(int port) { return host.PollJoystick(port, x, y, z, buttons); }
  // The two sticks as x0, y0, z0, x1, y1, z1 (Y up), and the outputs that are down.
  std::vector<float> Sticks() { return {x[0], y[0], z[0], x[1], y[1], z[1]}; }
  std::vector<int> Down() {
    std::vector<int> down;
    for (int i = 0; i < 32; ++i)
      if (buttons[i]) down.push_back(i);
    return down;
  }
};

TEST_F(Pads, FourteenButtonsAndFiveAxesUseLayoutA) {
  Pad pad;
  pad.axes = {0.25f, 0.5f, -0.75f, 0.125f, 1.0f};
  pad.buttons.assign(14, 0);
  pad.buttons[0] = pad.buttons[7] = pad.buttons[10] = pad.buttons[13] = 1;
  source.pads[0] = pad;
  ASSERT_TRUE(Poll(0));
  // Odd axes arrive pointing down; the second stick is axis 4, -axis 3 and -axis 2.
  EXPECT_EQ(Sticks(), (std::vector<float>{0.25f, -0.5f, -0.75f, 1.0f, 0.125f, 0.75f}));
  // Outputs 0..7 are buttons 0..7, 8..11 the last four (10..13), 12 and 13 buttons 8 and 9.
  EXPECT_EQ(Down(), (std::vector<int>{0, 7, 8, 11}));
}

TEST_F(Pads, OtherPadsUseLayoutB) {
  Pad pad;
  pad.axes = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  pad.buttons.assign(14, 0); // fourteen buttons, but six axes
  pad.buttons[1] = 1;        // output 0
  pad.buttons[6] = 1;        // the analogue output 2
  pad.buttons[10] = 1;       // outputs 8 (14 - 4) and 12
  source.pads[3] = pad;
  ASSERT_TRUE(Poll(0));
  // The triggers are buttons 6 and 7; the second stick axis 2 and -axis 3.
  EXPECT_EQ(Sticks(), (std::vector<float>{0.1f, -0.2f, 1.0f, 0.3f, 0.4f, 0.0f}));
  EXPECT_EQ(Down(), (std::vector<int>{0, 8, 12}));
}

TEST_F(Pads, PortsAreRebuiltOnlyWhenPortZeroIsPolled) {
  Pad small;
  small.axes = {0.5f};
  small.buttons = {1};
  source.pads[2] = small;
  source.pads[5] = small;
  EXPECT_TRUE(Poll(0));
  EXPECT_EQ((std::vector<int>{pjoys[0], pjoys[1], pjoys[2]}), (std::vector<int>{2, 5, -1}));
  EXPECT_TRUE(Poll(1));
  x[0] = 42;
  EXPECT_FALSE(Poll(2));
  EXPECT_EQ(x[0], 42); // untouched for an absent pad

  source.pads.erase(2);
  EXPECT_TRUE(Poll(1)); // the table still names joystick 5 for port 1
  EXPECT_TRUE(Poll(0)); // rebuilt: 5 is now port 0
  EXPECT_EQ(pjoys[0], 5);
  for (int port : {1, 4, -1}) EXPECT_FALSE(Poll(port)) << port;
}

} // namespace
