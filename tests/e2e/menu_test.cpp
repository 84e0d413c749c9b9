// tests/e2e/menu_test.cpp — the main menu, the options box, full screen and the pause menu of the
// real lexorm program, driven through its window with xdotool under a window manager (jwm, started
// for each test when the display has none). With LEXORM_SCREENSHOTS naming a folder the tests also
// leave small pictures of the menu, a game and the pause menu there. A whole 30-second game is
// played by the robot (robot_test.cpp).
// Depends on: program.h (the end-to-end harness and its window-manager fixture), jwm.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "program.h"

using namespace e2e;

namespace {

class Screens : public UnderWindowManager {};

// ============================================================================
// [SECTION] What the tests look for
// ============================================================================

// With LEXORM_SCREENSHOTS set, the frame shrunk to 320 x 240 goes into that folder.
void Screenshot(const Frame& f, const char* name) {
  const char* folder = std::getenv("LEXORM_SCREENSHOTS");
  if (!folder || !*folder) return;
  fs::create_directories(folder);
  EXPECT_TRUE(f.SavePng(fs::path(folder) / name, f.w / 320)) << name;
}

// A valid state text with one game of `score` in the 60-second tables, top and last ten.
std::string StateWithOneMinuteGame(int score) {
  SavedState state;
  state.top[1][0] = state.last[1][0] = score;
  return state.Text();
}

// ============================================================================
// [SECTION] Checks
// ============================================================================

TEST_F(Screens, ShowsTheScorePanelThePlayButtonAndTheLogo) {
  Program p;
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  ASSERT_TRUE(p.WaitFrame(MenuAtRest)) << "the menu did not come to rest";
  const Frame f = p.Grab();
  Screenshot(f, "menu.png");
  // The panel darkens the backdrop from x = 503 on: the same rows left of it are lighter.
  auto light = [&](int x0, int x1) {
    long sum = 0;
    for (int y = 10; y < 50; ++y)
      for (int x = x0; x < x1; ++x)
        sum += (f.At(x, y) >> 16 & 255) + (f.At(x, y) >> 8 & 255) + (f.At(x, y) & 255);
    return sum / (40 * (x1 - x0));
  };
  EXPECT_LT(light(510, 640), light(440, 495) * 7 / 10) << "no dark score panel";
  EXPECT_GT(f.Count(545, 405, 600, 460, Green), 500) << "no play button";
  EXPECT_GT(f.Count(160, 55, 490, 135, Cream), 3000) << "no logo";
}

TEST_F(Screens, AClickOnThePlayButtonStartsAGame) {
  Program p;
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  EXPECT_EQ(TilesInPlace(p.Grab()), 0);
  p.Click(570, 432);
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; }, 5000)) << "no board";
  if (std::getenv("LEXORM_SCREENSHOTS")) { // a picture in the middle of a word
    p.MouseDown(CellCentre(2, 3).first, CellCentre(2, 3).second);
    p.MouseMove(CellCentre(3, 3).first, CellCentre(3, 3).second);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    p.MouseMove(CellCentre(3, 4).first, CellCentre(3, 4).second);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Screenshot(p.Grab(), "game.png");
    p.MouseUp();
  }
  EXPECT_TRUE(p.Running()) << p.Output();
}

TEST_F(Screens, TheOptionsBoxStepsTheSoundModeAndSavesOnClosing) {
  Program p;
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  ASSERT_TRUE(p.WaitFrame(MenuAtRest)) << "the menu did not come to rest";
  p.Click(38, 416);
  ASSERT_TRUE(p.WaitFrame(OptionsOpen)) << "no options box";
  p.Click(300, 140); // the sound row: SFX + Music, then SFX
  p.Hold("Escape");
  ASSERT_TRUE(p.Wait([&] {
    const std::vector<std::string> fields = StateFields(p.StateFile());
    return fields.size() > 25 && fields[5] == "2";
  })) << "sound mode not saved as 2";
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return MenuAtRest(f) && !OptionsOpen(f); }))
      << "the box stayed";
  EXPECT_TRUE(p.Running()) << "Escape closing the box also ended the program: " << p.Output();
}

TEST_F(Screens, F11SwitchesAGameToFullScreenAndBack) {
  const auto screen = ScreenSize();
  Program p;
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  p.Hold("space");
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; }, 5000)) << "no board";

  p.Key("F11");
  EXPECT_TRUE(p.WaitFrame([&](const Frame& f) { return f.w == screen.first && LoadingScreen(f); }, 4000))
      << "no loading screen at full screen: " << p.Windows();
  ASSERT_TRUE(p.WaitFrame([&](const Frame& f) {
    return f.w == screen.first && !LoadingScreen(f) && BoardShown(f);
  })) << "the game did not carry on at full screen: "
      << p.Windows();
  EXPECT_EQ(p.WindowSize(), screen) << p.Windows();

  p.Key("F11");
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return f.w == 640 && LoadingScreen(f); }, 4000))
      << "no loading screen in the window: " << p.Windows();
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) {
    return f.w == 640 && !LoadingScreen(f) && TilesInPlace(f) == 49;
  })) << "the game did not carry on in the window: "
      << p.Windows();
  EXPECT_EQ(p.WindowSize(), std::make_pair(640, 480)) << p.Windows();
  EXPECT_TRUE(p.Running()) << p.Output();
}

TEST_F(Screens, TheOptionsBoxSwitchesToFullScreenAndBack) {
  const auto screen = ScreenSize();
  Program p;
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  p.Hold("Left"); // the focus moves from the wheel to the gear
  p.Hold("space");
  ASSERT_TRUE(p.WaitFrame(OptionsOpen)) << "no options box";

  p.Click(300, 220); // "Fullscreen"
  EXPECT_TRUE(p.WaitFrame([&](const Frame& f) { return f.w == screen.first && LoadingScreen(f); }, 4000))
      << "no loading screen at full screen: " << p.Windows();
  ASSERT_TRUE(p.WaitFrame([&](const Frame& f) {
    return f.w == screen.first && !LoadingScreen(f) && OptionsOpen(f);
  })) << "the options box did not come back at full screen: "
      << p.Windows();
  EXPECT_EQ(p.WindowSize(), screen) << p.Windows();

  // The virtual screen fills the height: the row is at the same place in virtual units.
  const double scale = screen.second / 480.0;
  p.Click(static_cast<int>(300 * scale), static_cast<int>(220 * scale)); // "Windowed"
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return f.w == 640 && LoadingScreen(f); }, 4000))
      << "no loading screen in the window: " << p.Windows();
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return f.w == 640 && !LoadingScreen(f) && OptionsOpen(f); }))
      << "the options box did not come back in the window: " << p.Windows();
  EXPECT_EQ(p.WindowSize(), std::make_pair(640, 480)) << p.Windows();
  EXPECT_TRUE(p.Running()) << p.Output();
}

TEST_F(Screens, PauseResumeAndQuitAGame) {
  Program p(StateWithOneMinuteGame(7));
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  p.Hold("space");
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; }, 5000)) << "no board";

  p.Hold("Escape");
  ASSERT_TRUE(p.WaitFrame(PauseMenu)) << "no pause menu";
  Screenshot(p.Grab(), "pause.png");
  p.Hold("Escape");
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; }))
      << "the board did not come back";

  p.Hold("Escape");
  ASSERT_TRUE(p.WaitFrame(PauseMenu)) << "no pause menu the second time";
  p.Hold("Up"); // from resume to quit
  p.Hold("Return");
  ASSERT_TRUE(p.WaitFrame(Darkened, 3000)) << "no game-over overlay";
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return MenuAtRest(f) && !Darkened(f); })) << "no menu";
  // The quit game's score of 0 is the newest of the last ten, in front of the 7 loaded; the top
  // ten keep the 7 first.
  EXPECT_TRUE(p.Wait([&] {
    const std::vector<std::string> f = StateFields(p.StateFile());
    return f.size() > kSixtyLast + 2 && f[kSixtyLast] == "0" && f[kSixtyLast + 2] == "7";
  })) << "the quit game was not recorded";
  const std::vector<std::string> fields = StateFields(p.StateFile());
  ASSERT_GT(fields.size(), kSixtyLast + 2);
  EXPECT_EQ(fields[kSixtyTop], "7");
  EXPECT_EQ(fields[kThirtyTop], "0");
  EXPECT_TRUE(p.Running()) << p.Output();
}

} // namespace
