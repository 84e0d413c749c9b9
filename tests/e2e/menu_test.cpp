// tests/e2e/menu_test.cpp — the main menu, the options box, full screen and the pause menu of the
// real lexorm program, driven through its window with xdotool under a window manager (jwm, started
// for each test when the display has none). With LEXORM_SCREENSHOTS naming a folder the tests also
// leave small pictures of the menu, a game and the pause menu there.
// Depends on: program.h (the end-to-end harness), X11, jwm.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "program.h"

using namespace e2e;

namespace {

// ============================================================================
// [SECTION] The window manager
// ============================================================================

// Whether some client redirects the root window's structure requests: a window manager runs.
bool WindowManagerRunning() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XWindowAttributes a;
  const bool running = XGetWindowAttributes(d, DefaultRootWindow(d), &a) &&
                       (a.all_event_masks & SubstructureRedirectMask) != 0;
  XCloseDisplay(d);
  return running;
}

// A stopped window manager leaves its properties on the root window, among them the check
// window it has taken with it; the windowing library of the next program on this display
// trips over that window (and aborts). The display is made bare again.
void ClearWindowManagerTraces() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return;
  int n = 0;
  Atom* atoms = XListProperties(d, DefaultRootWindow(d), &n);
  for (int i = 0; i < n; ++i) {
    char* name = XGetAtomName(d, atoms[i]);
    if (name && std::strncmp(name, "_NET_", 5) == 0) XDeleteProperty(d, DefaultRootWindow(d), atoms[i]);
    if (name) XFree(name);
  }
  if (atoms) XFree(atoms);
  XCloseDisplay(d);
}

// The desktop's size: what full screen switches to.
std::pair<int, int> ScreenSize() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return {0, 0};
  std::pair<int, int> size{DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
  XCloseDisplay(d);
  return size;
}

// Each test runs under jwm with click-to-focus, started against the current display; on a display
// that has a window manager already (a developer's desktop) jwm cannot start and the test runs
// under that one.
class Screens : public ::testing::Test {
protected:
  void SetUp() override {
    if (WindowManagerRunning()) return;
    char name[] = "/tmp/lexorm-jwm-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    conf_ = name;
    std::ofstream(conf_) << "<JWM><FocusModel>click</FocusModel></JWM>\n";
    wm_ = fork();
    if (wm_ == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execlp("jwm", "jwm", "-f", conf_.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end;) {
      if (WindowManagerRunning()) return;
      if (waitpid(wm_, nullptr, WNOHANG) == wm_) {
        wm_ = -1; // ended already
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "jwm did not start: running without a window manager\n");
    StopWindowManager();
  }
  void TearDown() override {
    StopWindowManager();
    if (!conf_.empty()) std::remove(conf_.c_str());
  }

private:
  pid_t wm_ = -1;
  std::string conf_;

  void StopWindowManager() {
    if (wm_ <= 0) return;
    kill(wm_, SIGTERM);
    waitpid(wm_, nullptr, 0);
    wm_ = -1;
    ClearWindowManagerTraces();
  }
};

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

bool Orange(int r, int g, int b) { return r > 150 && g > 60 && g < 170 && b < 90 && r > g + 40; } // gears
bool Green(int r, int g, int b) { return g > r + 50 && g > b + 50; }
bool Brown(int r, int g, int b) { return r > 110 && r < 190 && g > 45 && g < 120 && b < 60 && r > g + 40; }
bool Yellow(int r, int g, int b) { return r > 200 && g > 200 && b < 150; }

// The menu at rest: its intro is over and the options gear sits on the wheel's hub at (38, 416).
bool MenuAtRest(const Frame& f) { return !LoadingScreen(f) && f.Count(6, 384, 70, 448, Orange) > 800; }

// The options box has slid all the way up: its brown panel reaches the top of the window.
bool OptionsOpen(const Frame& f) {
  const int s = f.h / 480; // whole window pixels to a virtual one: 2 at 1280 x 1024
  return f.Count(200 * s, 0, 480 * s, 20 * s, Brown) > 5000 * s * s;
}

// The board in a window of any size: tile faces in the cream of 49 tiles at that scale (a 640 x 480
// window shows about 74,000 such pixels; the menu's logo tiles and the pause menu far fewer).
bool BoardShown(const Frame& f) {
  const double scale = f.h / 480.0;
  return f.Count(0, 0, f.w, f.h, Cream) > 60000 * scale * scale;
}

// The pause menu: darkened corners, "PAUSED" in white around (416, 240), the resume icon at
// (64, 196) in its yellowish ring.
bool PauseMenu(const Frame& f) {
  return f.Count(0, 0, 20, 20, Dark) == 400 && f.Count(620, 0, 640, 20, Dark) == 400 &&
         f.Count(0, 460, 20, 480, Dark) == 400 && f.Count(330, 220, 510, 260, White) > 400 &&
         f.Count(44, 176, 84, 216, White) > 300 && f.Count(24, 156, 104, 236, Yellow) > 300;
}

// A valid state text with every setting at 0 but the sound mode (1), and one game of `score` in
// the 60-second tables, top and last ten.
std::string StateWithOneMinuteGame(int score) {
  std::string text = "0|0|0|0|0|1";
  for (int i = 6; i < 25; ++i) text += "|0";
  text += "|5";                             // settings checksum: 5 x 1
  for (int i = 0; i < 9; ++i) text += "|0"; // badge words and their checksum
  for (int g = 0; g < 8; ++g) {
    const int first = g == 1 ? score : 0;
    text += "|" + std::to_string(first) + "|" + std::to_string(first);
    for (int k = 1; k < 10; ++k) text += "|0|0";
    text += "|" + std::to_string(g == 1 ? 4 * first + (g + 3) * first : 0);
  }
  for (int i = 0; i < 100; ++i) text += "||0";
  return text + "|";
}

// Field indices of the saved state: the 30- and 60-second score groups, ten (top, last) pairs each.
constexpr size_t kThirtyTop = 35, kThirtyLast = 36, kSixtyTop = 56, kSixtyLast = 57;

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

TEST_F(Screens, ThirtySecondGameChosenWithTheKeysEntersTheThirtySecondTables) {
  Program p("", TwoLetterWords());
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  p.Hold("Up"); // from 60 seconds to 30
  p.Hold("space");
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; }, 5000)) << "no board";
  const auto started = Clock::now();

  p.Drag({CellCentre(0, 6), CellCentre(1, 6)});
  p.Drag({CellCentre(5, 0), CellCentre(6, 1)});
  EXPECT_TRUE(p.Wait([&] {
    const std::string out = p.Output();
    return out.find("0.0,6.0\n1.0,6.0\n") != std::string::npos &&
           out.find("5.0,0.0\n6.0,1.0\n") != std::string::npos;
  })) << p.Output();

  ASSERT_TRUE(p.WaitFrame(Darkened, 45000)) << "no game-over overlay";
  const auto took = Clock::now() - started;
  EXPECT_GT(took, std::chrono::seconds(28));
  EXPECT_LT(took, std::chrono::seconds(40)) << "not a 30-second game";
  ASSERT_TRUE(p.Wait([&] { return p.StateSaved(); }, 5000)) << "the score was not saved";
  const std::vector<std::string> fields = StateFields(p.StateFile());
  ASSERT_GT(fields.size(), kSixtyLast);
  EXPECT_GT(std::atoi(fields[kThirtyTop].c_str()), 0) << fields[kThirtyTop];
  EXPECT_EQ(fields[kThirtyLast], fields[kThirtyTop]);
  EXPECT_EQ(fields[kSixtyTop], "0");
  EXPECT_EQ(fields[kSixtyLast], "0");
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
