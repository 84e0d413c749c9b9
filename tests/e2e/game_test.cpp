// tests/e2e/game_test.cpp — the real lexorm program under X, with the data from the build: its
// log lines, the loading screen's pixels, the debug line, reloading after a resize, saving on
// focus loss and on F4, a garbage state file, damaged data files, and a whole game played with the mouse.
// Each test runs the program in its own temporary folder and drives it with xdotool; pixels are read back
// from the window (Xlib). Depends on: program.h (the end-to-end harness), X11.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "program.h"

using namespace e2e;

namespace {

// ============================================================================
// [SECTION] Checks
// ============================================================================

TEST(Game, StartsWithTheLoadingScreenThenLoads) {
  Program p;
  ASSERT_NE(p.window, 0u) << p.Output();
  EXPECT_TRUE(p.WaitFrame(LoadingScreen, 4000)) << "no loading screen seen";
  EXPECT_TRUE(p.WaitFrame(Loaded)) << "loading did not finish";
  std::string out = p.Output();
  EXPECT_NE(out.find("opening openal device"), std::string::npos) << out;
  EXPECT_NE(out.find("Highscores Loaded"), std::string::npos) << out;
  EXPECT_EQ(out.find("not found"), std::string::npos) << out; // data folder and word list found
  EXPECT_TRUE(p.Running());
}

TEST(Game, F1ShowsTheDebugLine) {
  Program p;
  ASSERT_NE(p.window, 0u);
  ASSERT_TRUE(p.WaitLoaded());
  auto debugLine = [](const Frame& f) { return f.Count(10, f.h - 24, 220, f.h, White); };
  EXPECT_EQ(debugLine(p.Grab()), 0);
  p.Key("F1");
  EXPECT_TRUE(p.WaitFrame([&](const Frame& f) { return debugLine(f) > 20; }));
  p.Key("F1");
  EXPECT_TRUE(p.WaitFrame([&](const Frame& f) { return debugLine(f) == 0; }));
}

TEST(Game, ResizingReloadsAndComesBack) {
  Program p;
  ASSERT_NE(p.window, 0u);
  ASSERT_TRUE(p.WaitLoaded());
  Xdotool({"windowsize", std::to_string(p.window), "800", "600"});
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return f.w == 800 && LoadingScreen(f); }, 4000));
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return f.w == 800 && Loaded(f); }));
  EXPECT_TRUE(p.Running()) << p.Output();
}

TEST(Game, FocusLossSuspendsAndSaves) {
  Program p;
  ASSERT_NE(p.window, 0u);
  ASSERT_TRUE(p.WaitLoaded());
  EXPECT_FALSE(p.StateSaved());
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  std::string root = std::to_string(DefaultRootWindow(d));
  XCloseDisplay(d);
  Xdotool({"windowfocus", root});
  EXPECT_TRUE(p.Wait([&] { return p.StateSaved(); }));
  EXPECT_TRUE(p.Running());
}

TEST(Game, F4EndsWithStatusZeroAndSaves) {
  Program p;
  ASSERT_NE(p.window, 0u);
  ASSERT_TRUE(p.WaitLoaded());
  ASSERT_FALSE(p.StateSaved());
  p.Key("F4");
  ASSERT_TRUE(p.Wait([&] { return !p.Running(); }));
  EXPECT_EQ(p.status, 0) << p.Output();
  EXPECT_TRUE(p.StateSaved());
}

TEST(Game, GarbageStateFileDoesNotStopTheGame) {
  std::string garbage = "\x01\xff\xfe garbage ;;;; 99999999999999999999 ";
  for (int i = 0; i < 200; ++i) garbage += static_cast<char>((i * 37) & 0xff);
  Program p(garbage);
  ASSERT_NE(p.window, 0u) << p.Output();
  EXPECT_TRUE(p.WaitLoaded()) << p.Output();
  EXPECT_TRUE(p.Running()) << p.Output();
  p.Key("F4");
  ASSERT_TRUE(p.Wait([&] { return !p.Running(); }));
  EXPECT_EQ(p.status, 0) << p.Output();
}

// One damaged data file at a time: the program starts, reaches the menu, names the file on one
// line and goes on; F4 saves and ends with status 0. The music is only wanted in a game, when
// the options box turns it on: sound mode 1, then 2 (no music), then 3 (music).
TEST(Game, ADamagedDataFileIsNamedOnceAndTheGameGoesOn) {
  const fs::path built = BuiltData();
  std::string garbage;
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 37 + 11) & 0xff);
  std::string wav;
  std::ifstream(built / "sfx" / "099.wav", std::ios::binary) >> std::noskipws >> wav;
  struct Case {
    const char* file;
    std::string bytes;
    const char *before, *after; // the line around the file's path
  };
  const Case cases[] = {
      {"logo-hd.png", garbage, "LoadImageData: cannot decode ", ": not a PNG file"}, // 640 wide: the -hd set
      {"sfx/099.wav", std::string(wav.data(), 60), "LoadAudioData: cannot decode ", ""},
      {"Lexorm.txt", garbage, "Word list not loaded (not a word list): ", ""},
      {"sfx/-1.ogg", garbage, "LoadAudioData: cannot decode ", ""},
  };
  for (const Case& c : cases) {
    Program p("", "", {{c.file, c.bytes}});
    ASSERT_NE(p.window, 0u) << c.file << p.Output();
    ASSERT_TRUE(p.WaitLoaded()) << c.file << p.Output();
    if (std::string(c.file) == "sfx/-1.ogg") {
      p.Hold("space"); // a game
      ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; }, 5000));
      p.Hold("Escape");
      std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the pause menu slides in
      p.Click(64, 296);                                            // its options gear
      std::this_thread::sleep_for(std::chrono::milliseconds(700)); // the box rises
      p.Click(300, 140);                                           // the sound row, twice
      p.Click(300, 140);
    }
    const std::string line = c.before + (p.dir / "data" / c.file).string() + c.after + "\n";
    EXPECT_TRUE(p.Wait([&] { return p.Output().find(line) != std::string::npos; }, 4000))
        << c.file << p.Output();
    const std::string out = p.Output();
    EXPECT_EQ(out.find(c.file), out.rfind(c.file)) << "named more than once: " << out;
    EXPECT_TRUE(p.Running()) << c.file;
    p.Key("F4");
    ASSERT_TRUE(p.Wait([&] { return !p.Running(); }));
    EXPECT_EQ(p.status, 0) << c.file << p.Output();
    EXPECT_TRUE(p.StateSaved()) << c.file;
  }
}

TEST(Game, AWholeGamePlayedWithTheMouseEntersTheScoreTables) {
  Program p("", TwoLetterWords());
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  p.Hold("space"); // the confirm control starts a game of 60 seconds
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; }, 5000)) << "no board";
  const auto started = Clock::now();

  // Any two neighbouring tiles are a word; two words, in case one pair were two blanks.
  p.Drag({CellCentre(0, 6), CellCentre(1, 6)});
  p.Drag({CellCentre(5, 0), CellCentre(6, 1)});
  EXPECT_TRUE(p.Wait([&] {
    const std::string out = p.Output();
    return out.find("0.0,6.0\n1.0,6.0\n") != std::string::npos &&
           out.find("5.0,0.0\n6.0,1.0\n") != std::string::npos;
  })) << p.Output();

  ASSERT_TRUE(p.WaitFrame(Darkened, 70000)) << "no game-over overlay";
  EXPECT_GT(Clock::now() - started, std::chrono::seconds(58));
  ASSERT_TRUE(p.Wait([&] { return p.StateSaved(); }, 5000)) << "the score was not saved";
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return !Darkened(f) && TilesInPlace(f) == 0; })) << "no menu";
  // The 60-second tables: top ten from field 56 and last ten from field 57, in pairs.
  const std::vector<std::string> fields = StateFields(p.dir / ".quokkastate");
  ASSERT_GT(fields.size(), 76u);
  EXPECT_GT(std::atoi(fields[56].c_str()), 0) << fields[56];
  EXPECT_EQ(fields[57], fields[56]);
  EXPECT_TRUE(p.Running()) << p.Output();
}

} // namespace
