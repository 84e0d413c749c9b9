// tests/e2e/robot_test.cpp — a scripted player of the real lexorm program under a window manager:
// the loading screen and the menu, each game length chosen on the wheel with keys and with the
// mouse, words made with the mouse and with the keys (cursor and select, select held while the
// cursor moves, complete, cancel), a whole 30-second game to its end with the sound recorded by
// OpenAL Soft's wave writer, and the pause menu with the options box, full screen, resume and
// quit. Pictures of each scenario's key moments go to robot-shots/<test>/ in the build folder.
// Depends on: program.h (the end-to-end harness and its window-manager fixture), OpenAL Soft's
// wave back end (through the program), jwm, xdotool.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "program.h"
#include "robot_support.h"

using namespace e2e;

namespace {

using Ms = std::chrono::milliseconds;

void Sleep(int ms) { std::this_thread::sleep_for(Ms(ms)); }

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// ============================================================================
// [SECTION] What the robot reads from the window (640 x 480)
// ============================================================================

// The caption under the menu's wheel names the chosen length: "Half a Minute." over "Gotta be
// Quick!" (30 s), "Just a Minute." alone (60 s), "Two whole Minutes." over "Go for a Highscore."
// (120 s). 0, 1 or 2 for 30, 60 or 120 seconds; -1 when it is none of them.
int CaptionChoice(const Frame& f) {
  if (f.w != 640) return -1;
  const int first = f.Count(240, 426, 460, 442, White), second = f.Count(240, 445, 460, 459, White),
            wide = f.Count(392, 426, 440, 442, White);
  if (first < 150) return -1;
  if (second < 20 && wide < 10) return 1;
  if (second > 150) return wide > 30 ? 2 : (wide < 10 ? 0 : -1);
  return -1;
}

const char* const kLengths[] = {"30 seconds", "60 seconds", "120 seconds"};
const char* const kShortLengths[] = {"30s", "60s", "120s"};

// The digits of the score line at the top left of a game, in their green.
bool ScoreGreen(int r, int g, int b) { return g > 180 && r < 170 && b < 170 && g > r + 60; }

std::vector<bool> ScoreInk(const Frame& f) { return f.Ink(40, 10, 190, 44, ScoreGreen); }

// Pixels that differ between two score lines: two changed digits make well over 100; a star
// drifting behind the digits a few.
constexpr int kScoreChanged = 40, kScoreSame = 20;

// The word being formed, in yellow right of the score: "6:DS" while two tiles are taken, "0:"
// when there is none. Two letters add 50 pixels or more.
int WordInk(const Frame& f) { return f.Count(196, 18, 340, 46, Yellow); }
constexpr int kLettersShown = 40, kNoLetters = 15;

// Glyphs of the menu's text stand apart: the number of runs of columns with ink in them between
// x0 and x1, over the 13 or 14 rows of a line from `top`.
int Glyphs(const Frame& f, int x0, int x1, int top, int rows, bool (*ink)(int, int, int)) {
  int n = 0;
  bool before = false;
  for (int x = x0; x < x1; ++x) {
    bool any = false;
    for (int y = top; y < top + rows && !any; ++y) {
      const unsigned p = f.At(x, y);
      any = ink(p >> 16 & 255, p >> 8 & 255, p & 255);
    }
    n += any && !before;
    before = any;
  }
  return n;
}

// The score panel's lists stand right-aligned at the window's right edge, 10.5 pixels a digit:
// the number of digits of a line (0 when the line is empty).
bool PanelInk(int r, int g, int b) { return r > 150 && g > 150 && b < 140; }
int PanelDigits(const Frame& f, int top) { return Glyphs(f, 520, 640, top, 14, PanelInk); }
constexpr int kTopFirstLine = 76, kLastFirstLine = 276;

// The words under the wheel: the word from x = 260 and its score from x = 320, in a font whose
// glyphs differ in width. `top` is the line's top: 259 for the longest word, 299 for the best.
struct WordLine {
  int letters = 0, digits = 0;
};
WordLine ReadWordLine(const Frame& f, int top) {
  return {Glyphs(f, 255, 318, top, 13, White), Glyphs(f, 318, 420, top, 13, White)};
}
constexpr int kLongestLine = 259, kBestLine = 299;

// Waits until two frames 60 ms apart differ in few pixels of the rectangle: the wheel has
// stopped turning.
bool WaitStill(Program& p, int x0, int y0, int x1, int y1, int ms = 3000) {
  for (auto end = Clock::now() + Ms(ms); Clock::now() < end;) {
    const Frame a = p.Grab();
    Sleep(60);
    const Frame b = p.Grab();
    if (a.w != 640 || b.w != 640) continue;
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += a.At(x, y) != b.At(x, y);
    if (n < 150) return true;
  }
  return false;
}

// Where wheel item k stands at rest while item `sel` is chosen (the hub at (38, 416)).
Cell WheelItem(int k, int sel) {
  const double a = 32.0 * k + 48 - 32.0 * sel, off = std::fabs(a - 45);
  const double r = 116 + (off <= 45 ? (45 - off) * 1.5 : 0), rad = a * M_PI / 180;
  return {static_cast<int>(std::lround(38 + r * std::sin(rad))),
          static_cast<int>(std::lround(416 - r * std::cos(rad)))};
}

bool FullBoard(const Frame& f) { return TilesInPlace(f) == 49; }

// The menu after a 30-second game, the game-over overlay gone from over its caption.
bool MenuBack(const Frame& f) { return MenuAtRest(f) && !Darkened(f) && CaptionChoice(f) == 0; }

int Digits(long long n) { return n < 10 ? 1 : 1 + Digits(n / 10); }

// ============================================================================
// [SECTION] The robot
// ============================================================================

class Robot : public UnderWindowManager {
protected:
  fs::path shots;

  void SetUp() override {
    UnderWindowManager::SetUp();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    shots = fs::path(LEXORM_SHOTS) / info->name();
    std::error_code ec;
    fs::remove_all(shots, ec);
    fs::create_directories(shots);
  }

  void TearDown() override {
    if (HasFailure()) {
      for (auto& p : programs_) {
        if (p->Running()) Shot(*p, "at-failure");
        std::printf("---- the last lines of the program's output (%s), unused chain entries left out:\n",
                    p->dir.c_str());
        std::istringstream out(p->Output());
        std::vector<std::string> lines;
        for (std::string line; std::getline(out, line);)
          if (line != "-1.0,-1.0") lines.push_back(line);
        for (size_t i = lines.size() > 40 ? lines.size() - 40 : 0; i < lines.size(); ++i)
          std::printf("%s\n", lines[i].c_str());
      }
      if (recording_) recording_->SaveTo(shots / "sound.wav");
      std::printf("---- screenshots: %s\n", shots.c_str());
    }
    programs_.clear();
    recording_.reset();
    UnderWindowManager::TearDown();
  }

  Program& Start(Launch launch, bool record = false) {
    if (record) {
      recording_ = std::make_unique<Recording>();
      for (const auto& [name, value] : recording_->Env()) launch.env[name] = value;
    }
    programs_.push_back(std::make_unique<Program>(launch));
    return *programs_.back();
  }
  Recording& Sound() { return *recording_; }

  // The window as it is now, as NN-name.png (a full-screen window at half size).
  void Shot(Program& p, const std::string& name) {
    const Frame f = p.Grab();
    char number[16];
    std::snprintf(number, sizeof number, "%02d-", ++shotCount_);
    if (f.w > 0) f.SavePng(shots / (number + name + ".png"), f.w > 640 ? 2 : 1);
  }

  // The program up, through the loading screen to the menu at rest.
  void ReachMenu(Program& p) {
    ASSERT_NE(p.window, 0u) << "no window: " << p.Output();
    ASSERT_TRUE(p.WaitFrame(LoadingScreen, 4000)) << "no loading screen";
    Shot(p, "loading");
    ASSERT_TRUE(p.WaitFrame(Loaded)) << "the loading screen stayed";
    ASSERT_TRUE(p.WaitFrame(MenuAtRest)) << "the menu did not come to rest";
    ASSERT_TRUE(p.Wait([&] { return p.Output().find("Highscores Loaded\n") != std::string::npos; }))
        << p.Output();
  }

  // A game length chosen with a held key: the caption follows.
  void Choose(Program& p, const char* key, int expected) {
    p.Hold(key);
    EXPECT_TRUE(p.WaitFrame([&](const Frame& f) { return CaptionChoice(f) == expected; }, 3000))
        << key << " did not choose " << kLengths[expected] << "; the caption reads "
        << CaptionChoice(p.Grab());
    EXPECT_TRUE(WaitStill(p, 0, 240, 240, 480)) << "the wheel kept turning";
  }

  // A game started with the confirm key: whether its board came, and the moment of the press.
  bool Confirm(Program& p, Clock::time_point* pressed = nullptr) {
    p.KeyDown("space");
    if (pressed) *pressed = Clock::now();
    Sleep(100);
    p.KeyUp("space");
    return p.WaitFrame(FullBoard, 5000);
  }

  // Waits for the program to print its n-th chain and returns it.
  Chain NthChain(Program& p, size_t n) {
    p.Wait([&] { return Chains(p.Output()).size() >= n; }, 3000);
    const std::vector<Chain> chains = Chains(p.Output());
    return chains.size() >= n ? chains[n - 1] : Chain{};
  }

  // A held key seen by the game's updates; the moment it went down.
  Clock::time_point Press(Program& p, const char* key) {
    p.KeyDown(key);
    const auto pressed = Clock::now();
    Sleep(100);
    p.KeyUp(key);
    return pressed;
  }

private:
  std::vector<std::unique_ptr<Program>> programs_;
  std::unique_ptr<Recording> recording_;
  int shotCount_ = 0;
};

// ============================================================================
// [SECTION] Scenarios
// ============================================================================

// The loading screen, then the menu with its scores loaded; the wheel turned to each length
// with Up and Down, then by tapping its items; a tap on the chosen item starts a game.
TEST_F(Robot, ChoosesEachGameLengthWithTheKeysAndTheMouse) {
  Program& p = Start({});
  ReachMenu(p);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return CaptionChoice(f) == 1; }, 3000))
      << "the menu does not start at 60 seconds; the caption reads " << CaptionChoice(p.Grab());
  Shot(p, "menu-60");

  Choose(p, "Up", 0);
  Shot(p, "keys-30");
  Choose(p, "Down", 1);
  Choose(p, "Down", 2);
  Shot(p, "keys-120");
  Choose(p, "Up", 1);

  // Taps: from 60 to 30, from 30 to 120 (past 60), from 120 to 60.
  const int taps[][2] = {{1, 0}, {0, 2}, {2, 1}};
  for (const auto& tap : taps) {
    const auto [x, y] = WheelItem(tap[1], tap[0]);
    p.Click(x, y);
    EXPECT_TRUE(p.WaitFrame([&](const Frame& f) { return CaptionChoice(f) == tap[1]; }, 3000))
        << "a tap at (" << x << ", " << y << ") did not choose " << kLengths[tap[1]] << "; the caption reads "
        << CaptionChoice(p.Grab());
    EXPECT_TRUE(WaitStill(p, 0, 240, 240, 480)) << "the wheel kept turning";
    Shot(p, std::string("tap-") + kShortLengths[tap[1]]);
  }

  // The chosen item, tapped, starts a game.
  const auto [x, y] = WheelItem(1, 1);
  p.Click(x, y);
  EXPECT_TRUE(p.WaitFrame(FullBoard, 5000)) << "a tap on the chosen item started no game";
  Shot(p, "game");
  EXPECT_TRUE(p.Running()) << p.Output();
}

// A 30-second game chosen with the keys and played to its end with the sound recorded: a word
// dragged with the mouse; a three-letter word with the cursor, select and complete; one with
// select held while the cursor moves; a chain cancelled. The countdown ticks; the score enters
// the 30-second tables, saved and shown in the menu's panel, and the best and longest words
// stand under the wheel.
TEST_F(Robot, PlaysAThirtySecondGameToTheEndWithTheMouseAndTheKeys) {
  Launch launch;
  launch.words = AllShortWords();
  Program& p = Start(launch, true);
  ReachMenu(p);
  if (HasFatalFailure()) return;
  const Frame menu = p.Grab();
  ASSERT_EQ(PanelDigits(menu, kTopFirstLine), 1) << "the top ten do not start at 0";
  Choose(p, "Up", 0);
  Clock::time_point started;
  ASSERT_TRUE(Confirm(p, &started)) << "no board";
  Shot(p, "board");
  std::vector<std::pair<std::string, Clock::time_point>> heard, quietAfter; // moments to check
  std::vector<std::pair<std::string, Clock::time_point>> chimes;            // scored words

  // A: a drag with the mouse over two tiles of the bottom row.
  const auto noScore = ScoreInk(p.Grab());
  const int noWord = WordInk(p.Grab());
  const Cell a1 = CellCentre(0, 6), a2 = CellCentre(1, 6);
  p.MouseDown(a1.first, a1.second);
  heard.push_back({"the first tile picked up with the mouse", Clock::now()});
  Sleep(100);
  p.MouseMove(a2.first, a2.second);
  Sleep(100);
  p.MouseUp();
  EXPECT_EQ(NthChain(p, 1), (Chain{{0, 6}, {1, 6}})) << "the dragged word: " << Printed(p);
  EXPECT_TRUE(
      p.WaitFrame([&](const Frame& f) { return InkDiffer(ScoreInk(f), noScore) > kScoreChanged; }, 3000))
      << "the score did not change after the dragged word";
  Shot(p, "mouse-word");
  Sleep(1300); // the word's chime ends

  // B: the cursor stands on the last tile touched, (1, 6): select it, Up, select, Up, select,
  // complete. A pause after each step keeps each sound apart from the next.
  const auto afterA = ScoreInk(p.Grab());
  heard.push_back({"a tile selected with the keys", Press(p, "space")});
  quietAfter.push_back(heard.back());
  Sleep(900);
  Press(p, "Up");
  heard.push_back({"a second tile selected with the keys", Press(p, "space")});
  quietAfter.push_back(heard.back());
  Sleep(900);
  Press(p, "Up");
  heard.push_back({"a third tile selected with the keys", Press(p, "space")});
  EXPECT_TRUE(p.WaitFrame(
      [&](const Frame& f) { return TilesInPlace(f) == 46 && WordInk(f) > noWord + kLettersShown; }, 2000))
      << "three tiles are not shown taken with their word: " << TilesInPlace(p.Grab()) << " tiles in place";
  Shot(p, "keys-three-taken");
  Sleep(800);
  chimes.push_back({"the word completed with X", Press(p, "x")});
  EXPECT_EQ(NthChain(p, 2), (Chain{{1, 6}, {1, 5}, {1, 4}})) << "the keyboard word: " << Printed(p);
  EXPECT_TRUE(
      p.WaitFrame([&](const Frame& f) { return InkDiffer(ScoreInk(f), afterA) > kScoreChanged; }, 3000))
      << "the score did not change after the keyboard word";
  Shot(p, "keys-word");
  Sleep(1300);

  // C: select held while the cursor moves right twice; letting go ends the word.
  p.KeyDown("space");
  heard.push_back({"the first tile of a held-select chain", Clock::now()});
  Sleep(150);
  Press(p, "Right");
  Sleep(100);
  Press(p, "Right");
  Sleep(150);
  p.KeyUp("space");
  EXPECT_EQ(NthChain(p, 3), (Chain{{1, 4}, {2, 4}, {3, 4}})) << "the held-select word: " << Printed(p);
  Shot(p, "held-select-word");
  Sleep(1300);

  // D: two tiles taken, then cancelled: no word, no score, the tiles free again.
  heard.push_back({"a tile selected before a cancel", Press(p, "space")});
  Press(p, "Left");
  Press(p, "space");
  EXPECT_TRUE(p.WaitFrame(
      [&](const Frame& f) { return TilesInPlace(f) == 47 && WordInk(f) > noWord + kLettersShown; }, 2000))
      << "two tiles are not shown taken: " << TilesInPlace(p.Grab()) << " tiles in place";
  const auto beforeCancel = ScoreInk(p.Grab());
  Shot(p, "before-cancel");
  Sleep(900);
  heard.push_back({"the cancel", Press(p, "c")});
  quietAfter.push_back(heard.back()); // a short buzz, not a scored word's chime
  EXPECT_TRUE(p.WaitFrame(
      [&](const Frame& f) { return TilesInPlace(f) == 49 && WordInk(f) < noWord + kNoLetters; }, 2000))
      << "the cancelled tiles were not freed: " << TilesInPlace(p.Grab()) << " tiles in place";
  Sleep(300);
  EXPECT_LT(InkDiffer(ScoreInk(p.Grab()), beforeCancel), kScoreSame) << "the cancel changed the score";
  Shot(p, "cancelled");

  // The countdown, the game-over overlay, the menu.
  ASSERT_TRUE(p.WaitFrame(Darkened, 45000)) << "no game-over overlay";
  const double took = Seconds(Clock::now() - started);
  Shot(p, "game-over");
  EXPECT_GT(took, 30.0) << "not a 30-second game";
  EXPECT_LT(took, 36.0) << "not a 30-second game";
  EXPECT_EQ(Chains(p.Output()).size(), 3u) << "a chain printed besides the three words: " << p.Output();

  // The saved tables and words.
  ASSERT_TRUE(p.Wait([&] {
    const auto f = StateFields(p.StateFile());
    return f.size() > kThirtyTop && f[kThirtyTop] != "0";
  })) << "no score saved in the 30-second top ten";
  const std::string text = ReadFile(p.StateFile());
  EXPECT_EQ(StateProblems(text), "") << text;
  const std::vector<std::string> f = SplitState(text);
  ASSERT_EQ(f.size(), kStateFields) << text;
  const long long total = std::atoll(f[kThirtyTop].c_str());
  EXPECT_EQ(f[kThirtyLast], f[kThirtyTop]) << "the last ten do not start with the game's score";
  EXPECT_EQ(f[kThirtyTop + 2], "0") << "more than one game in the top ten";
  EXPECT_EQ(f[kSixtyTop], "0");
  EXPECT_EQ(f[kSixtyLast], "0");
  const std::string best = f[kWordPairs], longest = f[kWordPairs + 2];
  const long long bestScore = std::atoll(f[kWordPairs + 1].c_str()),
                  longestScore = std::atoll(f[kWordPairs + 3].c_str());
  // The longest word is the first of three letters (B); the best is the highest of the three.
  EXPECT_EQ(longest.size(), 3u) << "longest word " << longest;
  EXPECT_EQ(longestScore, WordScore(longest)) << "longest word " << longest;
  EXPECT_EQ(bestScore, WordScore(best)) << "best word " << best;
  EXPECT_GE(bestScore, longestScore);
  EXPECT_GE(total, bestScore + 2) << "three words scored less than the best one and another";
  EXPECT_LE(total, 3 * bestScore) << "three words scored more than three times the best one";

  // The menu shows them: the first lines of the top and last ten, the words under the wheel.
  ASSERT_TRUE(p.WaitFrame(MenuBack)) << "no menu";
  EXPECT_TRUE(p.WaitFrame([&](const Frame& f) {
    return PanelDigits(f, kTopFirstLine) == Digits(total) &&
           PanelDigits(f, kLastFirstLine) == Digits(total) && ReadWordLine(f, kLongestLine).letters == 3 &&
           ReadWordLine(f, kBestLine).letters == static_cast<int>(best.size());
  })) << "the menu does not show the score "
      << total << " (" << Digits(total) << " digits): top " << PanelDigits(p.Grab(), kTopFirstLine)
      << ", last " << PanelDigits(p.Grab(), kLastFirstLine) << " digits; longest word "
      << ReadWordLine(p.Grab(), kLongestLine).letters << " letters, best "
      << ReadWordLine(p.Grab(), kBestLine).letters;
  const Frame after = p.Grab();
  EXPECT_EQ(ReadWordLine(after, kLongestLine).digits, Digits(longestScore));
  EXPECT_EQ(ReadWordLine(after, kBestLine).digits, Digits(bestScore));
  Shot(p, "menu-after");

  // The sound: heard at each pickup, scored word, cancel and countdown tick; silent in between.
  // Every measurement goes to sound.txt beside the screenshots.
  Recording& sound = Sound();
  ASSERT_NEAR(sound.Length(), sound.Elapsed(), 0.5) << "the recording does not run in real time";
  std::ofstream log(shots / "sound.txt");
  auto expect = [&](bool loud, const std::string& what, double from, double to) {
    const double level = sound.Loudest(from, to);
    log << (loud ? "heard " : "quiet ") << what << " [" << from << " s, " << to << " s]: " << level << "\n";
    if (loud)
      EXPECT_GT(level, kHeard) << "nothing heard: " << what << " [" << from << " s, " << to << " s]";
    else
      EXPECT_LT(level, kQuiet) << "sound where none should be: " << what << " [" << from << " s, " << to
                               << " s]";
  };
  for (const auto& [what, when] : heard) expect(true, what, sound.At(when) - 0.12, sound.At(when) + 0.35);
  for (const auto& [what, when] : quietAfter)
    expect(false, "after " + what, sound.At(when) + 0.65, sound.At(when) + 0.85);
  for (const auto& [what, when] : chimes) {
    expect(true, what, sound.At(when) - 0.12, sound.At(when) + 0.35);
    expect(true, "the chime of " + what, sound.At(when) + 0.45, sound.At(when) + 0.65);
  }
  // The game ends 31 s after it starts (a second of grace): ticks with 4, 3, 2 and 1 seconds on
  // the clock, the last sound as it reaches 0, nothing between them nor in the quiet before.
  const double start = sound.At(started);
  expect(false, "the quiet before the countdown", start + 20, start + 25.7);
  for (int left = 4; left >= 0; --left) {
    const double tick = start + 30 - left;
    const std::string name = "the countdown at " + std::to_string(left) + " s left";
    expect(true, name, tick - 0.12, tick + 0.35);
    expect(false, "after " + name, tick + 0.45, tick + 0.85);
  }
  EXPECT_TRUE(p.Running()) << p.Output();
}

// A 30-second game paused after a word; from the pause menu the options box: the sound mode
// stepped, full screen and back, the box closed (saving); the game resumed takes words again
// and its clock has stood still while it was paused. A second game is quit from the pause menu:
// its score enters the last ten before the first one's.
TEST_F(Robot, PausesForTheOptionsAndFullScreenThenResumesAndQuits) {
  Launch launch;
  launch.words = AllShortWords();
  Program& p = Start(launch);
  ReachMenu(p);
  if (HasFatalFailure()) return;
  Choose(p, "Up", 0);
  Clock::time_point started;
  ASSERT_TRUE(Confirm(p, &started)) << "no board";
  p.Drag({CellCentre(0, 6), CellCentre(1, 6)});
  EXPECT_EQ(NthChain(p, 1), (Chain{{0, 6}, {1, 6}})) << Printed(p);

  const auto paused = Press(p, "Escape");
  ASSERT_TRUE(p.WaitFrame(PauseMenu)) << "no pause menu";
  Shot(p, "paused");
  p.Click(64, 296); // the gear, slid in with the other buttons
  ASSERT_TRUE(p.WaitFrame(OptionsOpen)) << "no options box over the pause menu";
  ASSERT_GT(SoundRowTail(p.Grab()), 50) << "the sound row does not read \"SFX + Music\"";
  Shot(p, "options");
  p.Click(300, 140);
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return OptionsOpen(f) && SoundRowTail(f) < 10; }, 3000))
      << "the sound row did not step to \"SFX\"";
  Shot(p, "sound-sfx");

  // The row switches the window as it is pressed. A release that comes while the window is
  // being replaced is lost: the game then takes the button for held, and the box ignores taps
  // and Escape until the next click. Each step notes that fault, and a click on no row lets go
  // of the button, so that the rest can be seen.
  const std::string lostRelease =
      "the game took the mouse button for still held after a switch between full screen and the "
      "window (the click's release came while the window was being replaced), and ignored ";
  const auto screen = ScreenSize();
  const double scale = screen.second / 480.0;
  auto at = [&](int w, int v) { return w == 640 ? v : static_cast<int>(v * scale); };
  for (const int w : {screen.first, 640}) {
    const char* const where = w == 640 ? "in the window" : "at full screen";
    const int from = w == 640 ? screen.first : 640;
    auto switched = [&](const Frame& f) { return f.w == w && LoadingScreen(f); };
    p.Click(at(from, 300), at(from, 220)); // "Fullscreen", then "Windowed"
    if (!p.WaitFrame(switched, 4000)) {
      ADD_FAILURE() << lostRelease << "a tap on the \"" << (w == 640 ? "Windowed" : "Fullscreen") << "\" row";
      p.Click(at(from, 300), at(from, 220));
      EXPECT_TRUE(p.WaitFrame(switched, 4000)) << "no loading screen " << where << ": " << p.Windows();
    }
    ASSERT_TRUE(p.WaitFrame([&](const Frame& f) {
      return f.w == w && !LoadingScreen(f) && OptionsOpen(f) && SoundRowTail(f) < 10;
    })) << "the options box, sound row \"SFX\", did not come back "
        << where << ": " << p.Windows();
    Shot(p, w == 640 ? "windowed" : "full-screen");
  }

  auto soundSaved = [&] {
    const std::vector<std::string> f = StateFields(p.StateFile());
    return f.size() > kSoundMode && f[kSoundMode] == "2";
  };
  p.Hold("Escape"); // closes the box, which saves
  if (!p.Wait(soundSaved, 3000)) {
    p.Click(320, 440);
    p.Hold("Escape");
    EXPECT_TRUE(p.Wait(soundSaved)) << "Escape did not close the options box and save the sound mode (2)";
    ADD_FAILURE() << lostRelease << "Escape in the options box";
  }
  // The box takes every key while it slides out: 30 updates, the last 10 below the window's
  // edge, where no pixel shows them.
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) {
    return PauseMenu(f) && f.Count(200, 440, 400, 480, Brown) == 0;
  })) << "the pause menu did not come back from the options";
  Sleep(300);
  Shot(p, "paused-again");
  const auto resumed = Press(p, "Escape");
  ASSERT_TRUE(p.WaitFrame(FullBoard)) << "the board did not come back";
  p.Drag({CellCentre(5, 0), CellCentre(6, 1)});
  EXPECT_EQ(NthChain(p, 2), (Chain{{5, 0}, {6, 1}})) << "no word after resuming: " << Printed(p);
  Shot(p, "resumed-word");

  // The game lasts 31 seconds of play (a second of grace), the pause not counted.
  ASSERT_TRUE(p.WaitFrame(Darkened, 60000)) << "no game-over overlay";
  const double took = Seconds(Clock::now() - started), pause = Seconds(resumed - paused);
  char timing[160];
  std::snprintf(timing, sizeof timing, "the game ended %.1f s after it began, %.1f s of which it was paused",
                took, pause);
  EXPECT_GT(took - pause, 30.0) << "the game's clock ran on while the game was paused: " << timing;
  EXPECT_LT(took - pause, 36.0) << timing;
  ASSERT_TRUE(p.WaitFrame(MenuBack)) << "no menu";
  ASSERT_TRUE(p.Wait([&] {
    const std::vector<std::string> f = StateFields(p.StateFile());
    return f.size() > kThirtyTop && f[kThirtyTop] != "0";
  })) << "the game was not recorded";
  const std::string first = StateFields(p.StateFile())[kThirtyLast];

  // A second game: a word, the pause menu, Up to "quit", confirm.
  ASSERT_TRUE(Confirm(p)) << "no board for the second game";
  p.Drag({CellCentre(0, 6), CellCentre(1, 6)});
  EXPECT_EQ(NthChain(p, 3), (Chain{{0, 6}, {1, 6}})) << Printed(p);
  Press(p, "Escape");
  ASSERT_TRUE(p.WaitFrame(PauseMenu)) << "no pause menu in the second game";
  Press(p, "Up");
  Press(p, "Return");
  EXPECT_TRUE(p.WaitFrame(Darkened, 3000)) << "no game-over overlay after quitting";
  Shot(p, "quit");
  EXPECT_TRUE(p.WaitFrame(MenuBack)) << "no menu after quitting";
  EXPECT_TRUE(p.Wait([&] {
    const std::vector<std::string> f = StateFields(p.StateFile());
    return f.size() > kThirtyLast + 2 && f[kThirtyLast + 2] == first && f[kThirtyLast] != "0";
  })) << "the quit game's score is not the newest of the last ten before the first game's "
      << first << ": " << ReadFile(p.StateFile());
  EXPECT_EQ(StateProblems(ReadFile(p.StateFile())), "");
  Shot(p, "menu-after");
  EXPECT_TRUE(p.Running()) << p.Output();
}

} // namespace
