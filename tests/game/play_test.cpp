// tests/game/play_test.cpp — the board game through its updates: chains, clock, hiding, game over, frame.
#include "tests/game/play_fixture.h"

namespace {

using namespace play;
using Strings = std::vector<std::string>;

TEST_F(Play, ANewGameFallsInFromTheBagAndItsTilesCanBeTakenAtOnce) {
  game->m_ShownScore = 5000; // the last game's
  Start(2);
  Ints drawn, bag(game->m_Bag.begin(), game->m_Bag.begin() + 49), drops;
  for (int x = 0; x < 7; ++x) // column by column from the top
    for (int y = 0; y < 7; ++y) drawn.push_back(int(Cell(x, y)[0])), drops.push_back(int(Cell(x, y)[2]));
  EXPECT_EQ(drawn, bag);
  EXPECT_EQ(drops, Ints(49, -20)) << "every tile starts 20 cells up";
  ExpectAll({Is("chain", ChainCells(), ""), Is("a column right of the board", Cell(7, 0)[0], 0),
             Is("a row below the board", Cell(0, 7)[0], 0), Is("bag position", game->m_BagPos, 49),
             Is("cursor", XY(1), "3,3"), Is("last tile x", game->m_Player[3], -1),
             Is("seconds", game->m_Player[95], 60), Is("end time: 61 s on", game->m_Player[98], 161016)});
  Update(), Press(kSelect), Update();
  ExpectAll({Is("the last game's score is not shown", game->m_ShownScore, 0),
             Is("the tile under the cursor is taken while still falling", Word(game->m_Word).size(), 1),
             Is("(3, 3) taken", Cell(3, 3)[kCellTaken], 1), Is("tiles taken", Taken(), 1)});
  EXPECT_TRUE(Cell(0, 0)[2] >= -19.4f && Cell(0, 0)[2] <= -19.2f) << Cell(0, 0)[2]; // 0.3 to 0.4 an update
}

TEST_F(Play, ChainsGrowOnlyToNeighboursCancelFreesThemAndSelectOnTheChainEndsTheWord) {
  Start(2), Lay();
  Update(), Tap(kSelect);                 // (3, 3)
  Tap(kRight), Tap(kRight), Tap(kSelect); // (5, 3): two cells from the last tile
  Touch(4, 5, 3), Touch(5, 0, 0);         // nor by touch
  ExpectAll({Is("word", Word(game->m_Word), "A"), Is("chain", ChainCells(), "3,3")});
  Tap(kLeft), Tap(kSelect), audio->Clear(), Tap(kCancel); // (4, 3), then cancel: nothing scored
  ExpectAll({Is("word", Word(game->m_Word), ""), Is("cancel frees the tiles", Taken(), 0),
             Is("score", game->m_Score, 0), Is("the cancel's effect", Plays(11), 1),
             Is("chain", ChainCells(), ""), Is("last tile", XY(3), "-1,-1")});
  game->m_BagPos = game->m_BagSize + 1; // the bag runs out: a new one fills the gap the word leaves
  Tap(kSelect), Tap(kLeft), Tap(kSelect), Tap(kRight), Tap(kSelect); // (4, 3) is in the chain: the word ends
  ExpectAll({Is("word scored", Word(game->m_LastWord), "AA"), Is("score", game->m_Score, 4),
             Is("last tile x", game->m_Player[3], -1)});
  Update(); // its tiles burst, and the tiles above fall into the gap a row an update
  ExpectAll({Is("tiles taken", Taken(), 0), Is("the gap has risen to row 2", Cell(3, 2)[0], 0),
             Is("and in the next column", Cell(4, 2)[0], 0),
             Is("a column beside the word", Cell(5, 2)[0], 1)});
  // A touch reaches 0.3 cell diagonals (24.6 units) from a tile's centre; diagonals are neighbours.
  Update(), Touch(4, 0, 0, 25);
  EXPECT_EQ(Taken(), 0);
  Touch(5, 0, 0), Touch(4, 0, 0, 24), Touch(6, 1, 1), Touch(6, 3, 3), Touch(6, 3, 0), Touch(6, 2, 2);
  EXPECT_EQ(ChainCells(), "0,0 1,1 2,2") << "not (3, 3) nor (3, 0), two from (1, 1)";
  for (int i = 0; i < 4; ++i) Tap(kLeft), Tap(kDown), Tap(kDown); // the cursor stops at the edges
  EXPECT_EQ(XY(1), "0,6") << "cursor";
  Pointer(5, 0, 0), Tap(kUp), Tap(kSelect), Cell(0, 6)[0] = 0;
  Update(); // a chained tile falls: the chain follows
  ExpectAll({Is("chain", ChainCells(), "0,6"), Is("last tile", XY(3), "0,6")});
  Update(8);
  std::string others; // every tile a letter or the blank, the new bag's among them
  for (int i = 0; i < 49; ++i)
    if (!(Cell(i % 7, i / 7)[0] >= 1 && Cell(i % 7, i / 7)[0] <= 27)) others += std::to_string(i) + " ";
  EXPECT_EQ(others, "") << "cells holding no tile";
  // A touch held on a tile as a rejected word ends takes nothing while the ended chain is cleared.
  Start(2), Lay(std::vector<std::string>(7, "ZZZZZZZ"));
  Update(), Touch(4, 0, 0), Touch(6, 1, 0), Tap(kComplete);
  ExpectAll({Is("word", Word(game->m_Word), ""), Is("chain", ChainCells(), ""),
             Is("rejected", Word(game->m_LastWord), "ZZ")});
}

TEST_F(Play, AThirtySecondGameShowsThirtyAndEndsAtUpdate1861WithFourTicksAndAFinalSound) {
  Start(1);
  Strings shown, ticks; // ticks: "4:98", the seconds shown when an effect played
  for (int n = 1; n <= 1900 && game->m_GameEnded == 0; ++n) {
    const size_t before = audio->effects.size();
    Update(), shown.push_back(TextAt(32, 560, 640));
    for (size_t i = before; i < audio->effects.size(); ++i)
      ticks.push_back(shown.back() + ":" + std::to_string(audio->effects[i]));
  }
  ASSERT_EQ(shown.size(), 1861u);
  ExpectAll({Is("31 seconds on the clock, capped at the game's length", shown[0], "30"),
             Is("update 59", shown[58], "30"), Is("update 60", shown[59], "29"),
             Is("update 1801", shown[1800], "0")});
  EXPECT_EQ(ticks, (Strings{"4:98", "3:98", "2:98", "1:98", "0:99"}));
  // The place this score would take, and the score it has to beat next.
  Start(1), game->m_HighScores[0] = 300, game->m_HighScores[1] = 200;
  game->m_Score = 250, Update();
  EXPECT_EQ(TextAt(10), "2nd00000300");
  game->m_Score = 400, Update();
  EXPECT_EQ(TextAt(10), "1st00000300");
}

TEST_F(Play, RealTimeEndsAGameTooAndPausingStopsTheClock) {
  Start(3); // 121 seconds after the start, whichever comes first
  Update(10), PastTheEnd(0), Update();
  ExpectAll(
      {Is("clock", TextAt(32, 560, 640), "0"), Is("ended on the end time itself", game->m_GameEnded, 0)});
  PastTheEnd(1), Update();
  EXPECT_EQ(game->m_GameEnded, 1) << "a millisecond past it";
  Start(3);
  Update(5), Press(kEscape), Update(), Release(kEscape);
  const float updatesLeft = game->m_Player[99], end = game->m_Player[98];
  Update(600); // ten seconds paused
  ExpectAll({Is("the updates left stand still", game->m_Player[99], updatesLeft),
             Is("the end moves on by the time paused", game->m_Player[98], end + 600 * 16)});
}

// F2 hides the score line: the clock stands still, and so does the board, so that hiding it
// never buys time to play.
TEST_F(Play, HidingTheScoreLineFreezesTheBoardAndTheClockUntilItShowsAgain) {
  Start(1), Lay();
  Update(), Tap(kSelect); // (3, 3) taken before hiding
  ASSERT_EQ(Word(game->m_Word), "A");
  Tap(kHide);
  ASSERT_EQ(game->m_HideHud, 1);
  const float left = game->m_Player[99];
  Tap(kRight), Tap(kDown);
  EXPECT_EQ(XY(1), "3,3") << "cursor";
  Tap(kSelect);
  EXPECT_EQ(Word(game->m_Word), "A") << "select";
  Touch(4, 4, 4), Touch(6, 4, 3), Touch(5, 0, 0);
  ExpectAll({Is("touch: word", Word(game->m_Word), "A"), Is("touch: tiles taken", Taken(), 1)});
  Tap(kComplete);
  ExpectAll({Is("complete: score", game->m_Score, 0), Is("complete: word", Word(game->m_LastWord), "")});
  Tap(kCancel);
  ExpectAll({Is("cancel: word", Word(game->m_Word), "A"), Is("cancel: tiles taken", Taken(), 1)});
  Update(50), PastTheEnd(5000), Update(3);
  ExpectAll({Is("the clock stood still", game->m_Player[99], left), Is("no score line", TextAt(28), ""),
             Is("the game cannot end while the line is hidden", game->m_GameEnded, 0)});
  Tap(kHide);
  EXPECT_EQ(game->m_GameEnded, 1) << "shown again after the end time: the game ends at once";
  // Shown again in time, the board takes input again; a key held across does nothing until let go.
  Start(1), Lay();
  Update(), Tap(kHide), Tap(kSelect);
  Press(kRight), Update(), Tap(kHide), Update(2);
  ASSERT_EQ(game->m_HideHud, 0);
  EXPECT_EQ(game->m_Player[1], 3) << "cursor x after a key held across";
  Release(kRight), Update(), Tap(kSelect), Tap(kRight), Tap(kSelect);
  ExpectAll({Is("word", Word(game->m_Word), "AA"), Is("chain", ChainCells(), "3,3 4,3")});
}

// The banner and its place are the recording's: fixed when the game ends and shown until the
// overlay has faded over the menu. Top ten held (best first), score, the place shown or "".
TEST_F(Play, TheNewHighscoreBannerShowsTheRecordedPlaceFromTheEndUntilTheOverlayHasFaded) {
  const Ints tens{100, 90, 80, 70, 60, 50, 40, 30, 20, 10};
  const struct {
    const char* name;
    Ints table;
    int score;
    std::string place;
  } cases[] = {{"above the tenth", tens, 15, "10th"},
               {"a tie with the tenth", tens, 10, ""},
               {"a tie in the middle is stored below", tens, 50, "7th"},
               {"best of all", tens, 101, "1st!"},
               {"one point over an empty table", Ints(10, 0), 1, "1st!"},
               {"nothing over an empty table", Ints(10, 0), 0, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Start(1);
    std::copy(c.table.begin(), c.table.end(), game->m_HighScores.begin());
    game->m_Score = c.score;
    PastTheEnd();
    int overlay = 0, banners = 0, fading = 0;
    Strings texts;
    for (int n = 0; n < 400 && !(game->m_GameMode == 1 && game->m_GameOverTimer == 0); ++n) {
      Update();
      const std::string text = TextAt(-1);
      if (text.find("GAME") == std::string::npos) continue; // no overlay this update
      const size_t at = text.find("NewHighscore");
      ++overlay, fading += game->m_GameMode == 1, banners += Rects(0, 125, 255) == 1;
      if (at != std::string::npos) texts.push_back(text.substr(at + 12, c.place.size()));
    }
    const int shown = c.place.empty() ? 0 : overlay;
    ExpectAll({Is("the overlay fades over the menu", fading > 30, true),
               Is("banners, of " + std::to_string(overlay) + " overlay updates", banners, shown),
               Is("the newest of the last ten", game->m_HighScores[30], c.score)});
    EXPECT_EQ(texts, Strings(shown, c.place));
    if (shown) {
      EXPECT_EQ(game->m_HighScores[std::atoi(c.place.c_str()) - 1], c.score) << "recorded at the place shown";
    }
  }
}

// The draw queue reaches the device scaled to its size, the blend set only where it changes (code 3
// draws additively).
TEST_F(Play, TheDrawQueueReachesTheDeviceScaledAndTheBlendIsSetOnlyWhereItChanges) {
  Resize(1280, 960);
  game->p_CLS2D(), game->m_Blend = 3, game->p_Rect(10, 20, 30, 40), game->p_Rect(1, 2, 3, 4);
  game->m_Blend = 1, game->p_Rect(5, 6, 7, 8);
  graphics->blends.clear(), graphics->rects.clear();
  zu_graphics_BeginRender(), game->p_OnRender(), zu_graphics_EndRender();
  EXPECT_EQ(graphics->blends, (Ints{0, 1, 0})) << "the frame's own, additive, alpha";
  EXPECT_EQ(graphics->rects, (Strings{"-1,-1 1282x962", "20,40 60x80", "2,4 6x8", "10,12 14x16"}));
}

// Places are written as ordinals; the overlay of a game left by the pause menu says so.
TEST_F(Play, TheOverlaySaysGameOverOrQuitGameAndPlacesAreWrittenAsOrdinals) {
  game->m_GameMode = 10, game->m_QuitGame = 0, game->m_GameOverTimer = 18, game->m_GameLength = 1;
  game->p_CLS2D(), game->p_GameOver();
  EXPECT_EQ(TextAt(-1), "GAMEOVER");
  for (const auto& [g, line] : {std::pair{255.0f, 216.0f}, {128.0f, 264.0f}}) { // bars at 45 and 55 %
    int across = 0;
    for (int i = 0; i < Records(); ++i)
      across += Fields(i, {0, 10, 11}) == Floats{KIND_RECT, 255, g} && Record(i)[2] < line &&
                Record(i)[2] + Record(i)[5] > line;
    EXPECT_EQ(across, 1) << "bars of green " << g << " across the line " << line;
  }
  game->p_CLS2D(), game->m_QuitGame = -1, game->p_GameOver();
  EXPECT_EQ(TextAt(-1), "QuitGame");
  for (int i = 0; i < 10; ++i) game->m_HighScores[i] = 0;
  game->m_Score = 1;
  EXPECT_EQ(Word(game->p_MyNth()), "1st!");
  const std::pair<int, const char*> nths[] = {
      {0, ""},      {1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},   {11, "11th"}, {12, "12th"},
      {13, "13th"}, {21, "21st"}, {22, "22nd"}, {23, "23rd"}, {30, "30th"}, {31, ""}};
  for (const auto& [n, text] : nths) EXPECT_EQ(Word(game->p_Nth(n)), text) << n;
}

TEST_F(Play, AFinishedGameIsRecordedAndTheNextGameStartsClean) {
  Start(1);
  Lay({"QIZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ"});
  Touch(4, 0, 0), Touch(6, 1, 0), Touch(5, 0, 0), Update(); // best and longest, each with its sound
  ExpectAll({Is("best word", Word(game->m_BestWords[0]), "QI"),
             Is("longest word", Word(game->m_BestWords[1]), "QI"),
             Is("best word's score", game->m_BestWordScores[0], 18), Is("one sound a record", Plays(95), 2)});
  game->m_Score = 500, game->m_MusicOn = 1;
  PastTheEnd(), Update(); // from the end of time to the recording
  const int overlay = 1 + UpdatesWhile([&] { return game->m_GameMode == 10; });
  Update();
  ExpectAll({Is("updates to the recording", overlay, 90), Is("back in the menu", game->m_GameMode, 1),
             Is("the recording's sound", Plays(96), 1), Is("fading from 73 by 2", game->m_GameOverTimer, 71),
             Is("music off", game->m_MusicOn, 0), Is("the tune stops once", Calls("stop music"), 1)});
  EXPECT_EQ(At(game->m_HighScores, {0, 1}), (Ints{500, 0})) << "the 30-second top ten";
  EXPECT_EQ(At(game->m_HighScores, {30, 31}), (Ints{500, 0})) << "the 30-second last ten";
  EXPECT_NE(host->state.find("|500|500|"), std::string::npos) << "saved: top and last entry 1";
  Start(2), Update(); // another length: no best word from the last one's score
  ExpectAll({Is("best word", Word(game->m_BestWords[2]), ""), Is("its score", game->m_BestWordScores[2], 0),
             Is("last word's", game->m_LastWordScore, 0)});
}

// Once time is up the game cannot be paused, by the icon or by Escape, and the menu it returns
// to is never paused.
TEST_F(Play, AFinishedGameCannotBePausedAndTheMenuItReturnsToIsNotPaused) {
  Start(1);
  Update(5), PastTheEnd(), Update();
  ASSERT_EQ(game->m_GameEnded, 1);
  int paused = 0, updates = 0;
  for (; updates < 300 && game->m_GameMode != 1; ++updates) {
    if (updates % 4 == 0) zu_input_device->p_MouseEvent(4, 0, 16, 16); // the pause icon
    if (updates % 4 == 2) zu_input_device->p_MouseEvent(5, 0, 16, 16), Press(kEscape);
    if (updates % 4 == 3) Release(kEscape);
    Update(), paused += game->m_Paused;
  }
  zu_input_device->p_MouseEvent(5, 0, 16, 16), Release(kEscape);
  ExpectAll(
      {Is("screen", game->m_GameMode, 1), Is("updates paused, of " + std::to_string(updates), paused, 0)});
  Start(1); // nor by leaving for another window while the overlay runs
  Update(5), PastTheEnd(), Update(3);
  ASSERT_EQ(game->m_GameEnded, 1);
  game->p_OnSuspend(), game->p_OnResume(), Update();
  EXPECT_EQ(game->m_Paused, 0) << "focus lost and regained during the overlay";
  UpdatesToMenu();
  EXPECT_EQ(game->m_GameMode, 1) << "the overlay ran on to the menu";
  game->m_MusicOn = 1, audio->Clear(), Update(2);
  ExpectAll(
      {Is("the menu's tune plays on", Calls("pause music"), 0), Is("resumed", Calls("resume music"), 2)});
}

// The tune pauses with the pause menu and plays on once the game resumes; a game left for
// another window comes back paused, its tune too.
TEST_F(Play, TheTuneFollowsThePauseMenuAndTheWindowsFocus) {
  Start(1);
  game->m_MusicOn = 1, Update(5);
  Tap(kEscape), audio->Clear();
  ASSERT_EQ(game->m_Paused, 1);
  Update(10);
  ExpectAll(
      {Is("paused", Calls("pause music") > 0, true), Is("resumed while paused", Calls("resume music"), 0)});
  audio->Clear(), Update(12), Tap(kEscape); // resumes once slid out
  UpdatesWhile([&] { return game->m_Paused == 1; }, 50);
  audio->Clear(), Update();
  ExpectAll({Is("resumed", Calls("resume music"), 1), Is("paused", Calls("pause music"), 0)});
  game->p_OnSuspend(), audio->Clear(), Update();
  EXPECT_EQ(Calls("pause music"), 1) << "suspended";
  game->p_OnResume(), audio->Clear(), Update(3);
  ExpectAll({Is("back from the other window, still paused", Calls("pause music"), 3),
             Is("resumed", Calls("resume music"), 0)});
  game->m_MusicOn = 0, audio->Clear(), Update();
  EXPECT_EQ(Calls("pause music"), 0) << "no tune, nothing to pause";
}

} // namespace
