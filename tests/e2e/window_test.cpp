// tests/e2e/window_test.cpp — the real program under jwm: menu, options, full screen, scripted games.
#include "program.h"

using namespace e2e;

namespace {

class Window : public UnderWindowManager {};
// The caption under the wheel: "Half a Minute." over "Gotta be Quick!" (0, 30 s), "Just a
// Minute." alone (1), "Two whole Minutes." over "Go for a Highscore." (2); -1 for none of them.
int CaptionChoice(const Frame& f) {
  if (f.w != 640 || f.Count(240, 426, 460, 442, White) < 150) return -1;
  const int second = f.Count(240, 445, 460, 459, White), wide = f.Count(392, 426, 440, 442, White);
  if (second < 20 && wide < 10) return 1;
  return second > 150 && wide > 30 ? 2 : second > 150 && wide < 10 ? 0 : -1;
}
// Runs of columns with ink over `rows` rows from `top`: the glyphs of a line of text.
// Runs of inked columns; with `advance` (the font's, in pixels), a run wider than one letter is as
// many letters as it spans: neighbours such as "UW" can touch in the small font.
int Glyphs(const Frame& f, int x0, int x1, int top, int rows, Colour ink, int advance = 0) {
  int n = 0, run = 0;
  auto end = [&] { n += run == 0 ? 0 : advance > 0 ? (run + advance - 1) / advance : 1, run = 0; };
  for (int x = x0; x < x1; ++x) {
    if (f.Count(x, top, x + 1, top + rows, ink) > 0)
      ++run;
    else
      end();
  }
  end();
  return n;
}
bool PanelInk(int r, int g, int b) { return r > 150 && g > 150 && b < 140; }
// Digits of the first line of the score panel's top ten (76) or last ten (276).
int PanelDigits(const Frame& f, int top) { return Glyphs(f, 520, 640, top, 14, PanelInk); }
// Letters of the longest (259) or best (299) word under the wheel.
int WordLetters(const Frame& f, int top) { return Glyphs(f, 255, 318, top, 13, White, 7); }
int Digits(int n) { return n < 10 ? 1 : 1 + Digits(n / 10); }
bool ScoreGreen(int r, int g, int b) { return g > 180 && r < 170 && b < 170 && g > r + 60; }
int ScoreDiffer(const Frame& a, const Frame& b) { return a.Differ(b, 40, 10, 190, 44, ScoreGreen); }
// One digit of the score turning into another changes at least 32 of those pixels ("0" into "6"
// or "9" at twice the font's size): more than 24 is a new score, fewer than 16 the same one.
bool NewScore(const Frame& a, const Frame& b) { return ScoreDiffer(a, b) > 24; }
bool SameScore(const Frame& a, const Frame& b) { return ScoreDiffer(a, b) < 16; }
int WordInk(const Frame& f) { return f.Count(196, 18, 340, 46, Yellow); } // "6:DS" in yellow
bool MenuBack(const Frame& f) { return MenuAtRest(f) && !Darkened(f) && CaptionChoice(f) == 0; }

// A copy of the program in a folder whose name is not UTF-8 ("caf" and the Latin-1 byte E9) finds
// the data beside it: no file is missing, the menu shows, a game starts on the board; F4 ends it.
TEST_F(Window, AProgramInAFolderNamedInLatin1FindsItsData) {
  TempDir top("latin1");
  const fs::path folder = top.path / "caf\xE9";
  ASSERT_TRUE(fs::create_directory(folder));
  Program p(Launch{AllShortWords(), {}, folder});
  ASSERT_TRUE(p.WaitMenu()) << p.Output();
  p.Key("space");
  EXPECT_TRUE(p.WaitFrame(FullBoard)) << "no board";
  const std::string out = p.Output();
  EXPECT_EQ(out.find("not found"), std::string::npos) << out;
  EXPECT_EQ(out.find("cannot"), std::string::npos) << out;
  p.Key("F4");
  ASSERT_TRUE(p.Exited()) << out;
  EXPECT_EQ(p.status, 0);
}

TEST_F(Window, MenuWheelDebugLineOptionsAndFullScreen) {
  Program p;
  ASSERT_TRUE(p.WaitMenu()) << p.Output();
  const Frame f = p.Grab();
  // The play button, the logo's tiles, the wheel at 60 seconds; Up and Down turn it.
  EXPECT_GT(f.Count(545, 405, 600, 460, Green), 500) << "no play button";
  EXPECT_GT(f.Count(160, 55, 490, 135, Cream), 3000) << "no logo";
  EXPECT_EQ(CaptionChoice(f), 1) << "the wheel does not start at 60 seconds";
  for (const auto& [key, choice] :
       std::vector<std::pair<const char*, int>>{{"Up", 0}, {"Down", 1}, {"Down", 2}, {"Up", 1}}) {
    p.Key(key);
    EXPECT_TRUE(p.WaitFrame([&](const Frame& g) { return CaptionChoice(g) == choice; }, 3000))
        << key << " " << choice;
    Sleep(700); // the wheel turns
  }
  // F1 shows the debug line at the bottom left, and hides it.
  const Frame plain = p.Grab();
  p.Key("F1");
  EXPECT_TRUE(p.WaitFrame([&](const Frame& g) { return g.Differ(plain, 10, 456, 220, 480, White) > 40; }))
      << "no debug line";
  p.Key("F1");
  EXPECT_TRUE(p.WaitFrame([&](const Frame& g) { return g.Differ(plain, 10, 456, 220, 480, White) < 10; }))
      << "it stayed";
  // The gear opens the options box; its sound row steps from "SFX + Music" to "SFX".
  p.Click(38, 416);
  ASSERT_TRUE(p.WaitFrame(OptionsOpen)) << "no options box";
  EXPECT_GT(SoundRowTail(p.Grab()), 50) << "the sound row does not read \"SFX + Music\"";
  p.Click(300, 140);
  EXPECT_TRUE(p.WaitFrame([](const Frame& g) { return SoundRowTail(g) < 10; }, 3000)) << "no step";
  // "Fullscreen", then "Windowed" at the same virtual place: a new window of that size, loaded
  // again, the box back, still "SFX".
  const auto screen = ScreenSize();
  for (const auto& [w, h, scale] :
       {std::tuple{screen.first, screen.second, 1.0}, {640, 480, screen.second / 480.0}}) {
    p.Click(static_cast<int>(300 * scale), static_cast<int>(220 * scale));
    EXPECT_TRUE(p.WaitSize(w, h)) << "the window is " << p.Size().first << " x " << p.Size().second;
    EXPECT_TRUE(p.WaitFrame([&](const Frame& g) {
      return g.w == w && g.h == h && !LoadingScreen(g) && OptionsOpen(g) && SoundRowTail(g) < 10;
    })) << "the box did not come back at "
        << w << ": " << p.Grab().w;
  }
  p.Key("Escape"); // closes the box, which saves
  EXPECT_TRUE(p.Wait([&] {
    const auto s = StateFields(p.StateFile());
    return s.size() == kStateFields && s[kSoundMode] == "2";
  })) << "the sound mode was not saved as 2: "
      << ReadFile(p.StateFile());
  EXPECT_EQ(StateProblems(ReadFile(p.StateFile())), "");
  EXPECT_TRUE(p.WaitFrame([](const Frame& g) { return MenuAtRest(g) && !OptionsOpen(g); }))
      << "the box stayed";
}
// A 30-second game: a word dragged with the mouse (A), three tiles taken with the keys and
// completed with X (B), two taken and cancelled with C; full screen and back; a pause. Then a
// second game, started with the play button: a word with select held while the cursor moves,
// quit from the pause menu.
TEST_F(Window, AScriptedPlayerPlaysAGameToItsEndAndQuitsAnother) {
  Program p(Launch{AllShortWords(), {}, {}});
  ASSERT_TRUE(p.WaitMenu()) << p.Output();
  EXPECT_EQ(PanelDigits(p.Grab(), 76), 1) << "the top ten do not start at 0";
  p.Key("Up");
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return CaptionChoice(f) == 0; }, 3000));
  Sleep(700);
  const auto started = p.Key("space");
  ASSERT_TRUE(p.WaitFrame(FullBoard, 5000)) << "no board";
  auto chain = [&](size_t n) {
    p.Wait([&] { return Chains(p.Output()).size() >= n; }, 3000);
    const auto chains = Chains(p.Output());
    return chains.size() >= n ? chains[n - 1] : Chain{};
  };
  auto scoreChanged = [&](const Frame& before) {
    return p.WaitFrame([&](const Frame& f) { return NewScore(f, before); }, 3000);
  };
  const Frame board = p.Grab();
  p.Drag({CellCentre(0, 6), CellCentre(1, 6)});
  EXPECT_EQ(chain(1), (Chain{{0, 6}, {1, 6}}));
  EXPECT_TRUE(scoreChanged(board)) << "the score did not change after the dragged word";
  // The cursor stands on the last tile taken, (1, 6). The board refilled, the shown score has
  // caught up with the score.
  EXPECT_TRUE(p.WaitFrame(FullBoard, 5000)) << "the board did not refill";
  const Frame afterA = p.Grab();
  for (const char* key : {"space", "Up", "space", "Up", "space"}) p.Key(key);
  EXPECT_TRUE(p.WaitFrame(
      [&](const Frame& f) { return TilesInPlace(f) == 46 && WordInk(f) > WordInk(board) + 40; }, 2000))
      << TilesInPlace(p.Grab()) << " tiles in place";
  p.Key("x");
  EXPECT_EQ(chain(2), (Chain{{1, 6}, {1, 5}, {1, 4}}));
  EXPECT_TRUE(scoreChanged(afterA)) << "the score did not change after the keyboard word";
  for (const char* key : {"space", "Left", "space"}) p.Key(key);
  EXPECT_TRUE(p.WaitFrame(
      [&](const Frame& f) { return TilesInPlace(f) == 47 && WordInk(f) > WordInk(board) + 40; }, 2000))
      << TilesInPlace(p.Grab()) << " tiles in place";
  const Frame beforeCancel = p.Grab();
  p.Key("c");
  EXPECT_TRUE(p.WaitFrame(
      [&](const Frame& f) { return TilesInPlace(f) == 49 && WordInk(f) < WordInk(board) + 15; }, 2000))
      << "the cancelled tiles were not freed";
  Sleep(300);
  EXPECT_TRUE(SameScore(p.Grab(), beforeCancel)) << "the cancel changed the score";
  // F11: full screen and back, each a new window loaded again; the game carries on.
  for (const auto& [w, h] : {ScreenSize(), {640, 480}}) {
    p.Key("F11");
    EXPECT_TRUE(p.WaitSize(w, h)) << "the window is " << p.Size().first << " x " << p.Size().second;
    ASSERT_TRUE(p.WaitFrame([&](const Frame& f) { return f.h == h && !LoadingScreen(f) && BoardShown(f); }))
        << "the game did not carry on at " << w << ": " << p.Grab().w;
  }
  // Paused until more than the whole game's time has passed since it started: the clock does
  // not count the pause, so the game carries on after it (a tile is taken and let go again).
  p.Key("Escape");
  ASSERT_TRUE(p.WaitFrame(PauseMenu)) << "no pause menu";
  while (Clock::now() < started + std::chrono::seconds(32)) Sleep(100);
  EXPECT_TRUE(PauseMenu(p.Grab())) << "the pause menu went by itself";
  p.Key("Escape");
  ASSERT_TRUE(p.WaitFrame(FullBoard)) << "the board did not come back in the window";
  p.Key("space");
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 48 && !Darkened(f); }))
      << "the game did not carry on after the pause: " << TilesInPlace(p.Grab()) << " tiles in place";
  p.Key("c");
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; })) << "the tile stayed taken";
  ASSERT_TRUE(p.WaitFrame(Darkened, 45000)) << "no game-over overlay";
  EXPECT_EQ(Chains(p.Output()).size(), 2u) << "a chain printed besides the two words";
  // Saved: the score first in the 30-second top and last ten and in no table of another game
  // length (so the game was a 30-second one); the best and the longest word with their own
  // scores, only among the 30-second words. A (2 letters) is the best unless B scored more.
  ASSERT_TRUE(p.WaitFrame(MenuBack)) << "no menu";
  auto s = StateFields(p.StateFile());
  ASSERT_EQ(s.size(), kStateFields) << ReadFile(p.StateFile());
  EXPECT_EQ(StateProblems(ReadFile(p.StateFile())), "");
  const int total = std::stoi(s[kThirtyTop]), bestScore = std::stoi(s[kWordPairs + 1]);
  const std::string best = s[kWordPairs], longest = s[kWordPairs + 2];
  EXPECT_GT(total, 0);
  EXPECT_EQ(s[kThirtyLast], s[kThirtyTop]) << "the first of the 30-second last ten";
  EXPECT_EQ(s[kThirtyTop + 2], "0") << "the second of the 30-second top ten";
  EXPECT_EQ(s[kThirtyLast + 2], "0") << "the second of the 30-second last ten";
  for (const size_t group : {1, 2}) // the 60- and 120-second tables
    for (size_t k = 0; k < 10; ++k) {
      const size_t top = kThirtyTop + 21 * group + 2 * k, last = kThirtyLast + 21 * group + 2 * k;
      EXPECT_EQ(s[top], "0") << "entry " << k << " of the top ten of group " << group;
      EXPECT_EQ(s[last], "0") << "entry " << k << " of the last ten of group " << group;
    }
  for (size_t pair = 2; pair < 6; ++pair) { // the 60- and 120-second best and longest words
    EXPECT_EQ(s[kWordPairs + 2 * pair], "") << "the word of pair " << pair;
    EXPECT_EQ(s[kWordPairs + 2 * pair + 1], "0") << "the score of pair " << pair;
  }
  EXPECT_EQ(longest.size(), 3u);
  EXPECT_EQ(s[kWordPairs + 3], std::to_string(WordScore(longest)));
  EXPECT_EQ(bestScore, WordScore(best));
  if (best.size() == 2)
    EXPECT_EQ(total, bestScore + WordScore(longest));
  else
    EXPECT_TRUE(best == longest && total >= bestScore && total < 2 * bestScore) << total << " " << best;
  // The menu shows them: waited for together, then each judged on the last frame seen.
  Frame menu;
  p.WaitFrame([&](const Frame& f) {
    menu = f;
    return PanelDigits(f, 76) == Digits(total) && PanelDigits(f, 276) == Digits(total) &&
           WordLetters(f, 259) == 3 && WordLetters(f, 299) == static_cast<int>(best.size());
  });
  EXPECT_EQ(PanelDigits(menu, 76), Digits(total)) << "digits of the top ten's first score, " << total;
  EXPECT_EQ(PanelDigits(menu, 276), Digits(total)) << "digits of the last ten's first score, " << total;
  EXPECT_EQ(WordLetters(menu, 259), 3) << "letters of the longest word, " << longest;
  EXPECT_EQ(WordLetters(menu, 299), static_cast<int>(best.size())) << "letters of the best word, " << best;
  // The second game: the cursor starts at (3, 3).
  p.Click(570, 432);
  ASSERT_TRUE(p.WaitFrame(FullBoard, 5000)) << "the play button started no game";
  p.KeyDown("space");
  Sleep(150);
  p.Key("Right"), p.Key("Right");
  Sleep(150);
  p.KeyUp("space");
  EXPECT_EQ(chain(3), (Chain{{3, 3}, {4, 3}, {5, 3}}));
  p.Key("Escape");
  ASSERT_TRUE(p.WaitFrame(PauseMenu)) << "no pause menu";
  p.Key("Up"), p.Key("Return"); // from resume to quit
  EXPECT_TRUE(p.WaitFrame(Darkened, 3000)) << "no game-over overlay after quitting";
  ASSERT_TRUE(p.WaitFrame(MenuBack)) << "no menu after quitting";
  // Newest first in the last ten; the top ten in order; the longest word kept (not longer).
  ASSERT_TRUE(p.Wait(
      [&] { return (s = StateFields(p.StateFile())).size() == kStateFields && s[kThirtyLast + 2] != "0"; }));
  const int second = std::stoi(s[kThirtyLast]);
  EXPECT_GT(second, 0);
  EXPECT_EQ(s[kThirtyLast + 2], std::to_string(total));
  EXPECT_EQ(s[kThirtyTop], std::to_string(std::max(total, second))) << "the first of the top ten";
  EXPECT_EQ(s[kThirtyTop + 2], std::to_string(std::min(total, second))) << "the second of the top ten";
  EXPECT_EQ(s[kThirtyTop + 4], "0") << "the third of the top ten";
  EXPECT_EQ(s[kWordPairs + 2], longest);
  EXPECT_EQ(StateProblems(ReadFile(p.StateFile())), "");
}

} // namespace
