// tests/game/board_test.cpp — the board game on a constructed game: a board laid out by the
// test, a small word list in memory, the host clock driven by the test, sound through a
// recording device. The falling board, chains by touch and by keys, scoring and the burst,
// cancel, the clock and its ticks, hiding and pausing, places and the game-over overlay, and
// one game into the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/game/game_support.h"
#include "tests/support/runtime_output.h"

namespace {

using Ints = std::vector<int>;

// Keys: Space selects (and confirms in the menu), X completes, C cancels, Escape pauses, F2
// hides the display.
constexpr int kSelect = 32, kComplete = 88, kCancel = 67, kPause = 27, kHide = 113;
constexpr int kRight = 39, kLeft = 37, kDown = 40;
constexpr int kFont = 90;

// At 640 x 480 a cell is 58 units and cell (0, 0) is centred at (146, 103).
constexpr float kCell = 58, kX0 = 146, kY0 = 103;

RecordingAudio* audio = nullptr;

std::string Word(const String& s) { return s.ToUtf8(); }

class Board : public ::testing::Test {
protected:
  c_MyApp* game = Game();

  static void SetUpTestSuite() {
    c_MyApp* g = Game();
    zu_audio_SetAudioDevice(audio = new RecordingAudio);
    for (int n : {1, 2, 3, 4, 5, 6, 10, 11, 95, 96, 98, 99}) g->p_LoadSFX(n);
    for (int i = 0; i < 33; ++i) g->m_SfxMap[i] = i;
    g->m_FontImage = kFont;
    g->m_ImageInfo[3 * kFont] = 7;
    g->m_ImageInfo[3 * kFont + 1] = 10;
  }
  void SetUp() override {
    zu_input_SetInputDevice((new c_InputDevice)->m_new()); // nothing held
    host->clock = 100000;
    host->tick = 0;
    host->stateInMemory = true;
    game->m_Settings[5] = 1;
    game->m_GameMode = 1;
    game->m_GameLength = 2;
    game->m_Paused = game->m_HideHud = game->m_GameOverTimer = game->m_KeyLatch = game->m_TouchLatch = 0;
    for (int i = 0; i < 150; ++i) game->m_HighScores[i] = game->m_BestWordScores[i] = 0;
    for (int i = 0; i < 150; ++i) game->m_BestWords[i] = String();
    Words({"AT", "TA", "AA", "QI"});
    audio->Clear();
  }

  // The list in the store, loaded.
  void Words(const std::vector<std::string>& words) {
    int n = 0;
    for (const std::string& w : words) {
      int half[2] = {0, 0};
      for (size_t i = 0; i < w.size(); ++i) half[i / 6] |= (w[i] - 64) << (5 * (i % 6));
      game->m_WordStore[n++] = half[0];
      game->m_WordStore[n++] = half[1];
    }
    game->m_BankCount = n;
    game->m_BankState = 2;
  }
  void Update() { RunUpdates(1); }
  void Updates(int n) { RunUpdates(n); }
  // A game of the given length, set up by the starting state but not yet updated; the board's
  // keys act once an update has seen them all up.
  void Start(int length) {
    game->m_GameLength = length;
    game->m_GameMode = 11;
    Update();
    ASSERT_EQ(game->m_GameMode, 10);
  }
  // Letters by rows (A..Z, "[" the blank), every tile settled and free.
  void Lay(const std::vector<std::string>& rows) {
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 7; ++x) {
        float* c = Cell(x, y);
        std::fill(c, c + kCellFloats, 0.0f);
        c[0] = static_cast<float>(rows[y][x] - 64);
      }
  }
  float* Cell(int x, int y) { return &game->m_Grid[(x + kGridStride * y) * kCellFloats]; }
  char Letter(int x, int y) { return Cell(x, y)[0] == 0 ? '.' : static_cast<char>(64 + Cell(x, y)[0]); }
  int Taken() {
    int n = 0;
    for (int x = 0; x < 7; ++x)
      for (int y = 0; y < 7; ++y) n += Cell(x, y)[kCellTaken] != 0;
    return n;
  }
  // The left button goes down on, moves to, or comes up over cell (x, y), plus an offset.
  void Press(int x, int y, float dx = 0) {
    zu_input_device->p_MouseEvent(4, 0, kX0 + kCell * x + dx, kY0 + kCell * y);
  }
  void Move(int x, int y) { zu_input_device->p_MouseEvent(6, 0, kX0 + kCell * x, kY0 + kCell * y); }
  void Lift() { zu_input_device->p_MouseEvent(5, 0, 0, 0); }
  void Tap(int key) {
    ::Press(key);
    Update();
    ::Release(key);
    Update();
  }
  std::vector<float> Chain() {
    std::vector<float> out;
    for (int i = 1; i <= 3; ++i) out.insert(out.end(), {game->m_Player[100 + i], game->m_Player[200 + i]});
    return out;
  }
  int Plays(int effect) {
    return static_cast<int>(std::count(audio->effects.begin(), audio->effects.end(), effect));
  }
  // The characters of the font's glyphs recorded on the line y between x0 and x1 (spaces are
  // not drawn, so not read).
  std::string TextAt(float y, float x0, float x1) {
    std::string out;
    for (int i = 0; i < Records(); ++i) {
      const float* r = Record(i);
      if (r[0] == kFont && std::fabs(r[2] - y) < 0.5f && r[1] >= x0 && r[1] <= x1)
        out += static_cast<char>(32 + r[6]);
    }
    return out;
  }
  std::string Seconds() { return TextAt(32, 560, 640); }
  // Lets the game's clock reach its end time.
  void PastTheEnd(int ms = 1) { host->clock = static_cast<int>(game->m_Player[98]) + ms - 16; }
};

// [SECTION] The board

TEST_F(Board, ANewGameFallsInFullAndItsTilesCanBeTakenAtOnce) {
  game->m_ShownScore = 5000; // the last game's
  Start(2);
  EXPECT_EQ(game->m_BagPos, 49);
  std::vector<int> drawn, bag(game->m_Bag.begin(), game->m_Bag.begin() + 49);
  for (int x = 0; x < 7; ++x)
    for (int y = 0; y < 7; ++y) {
      drawn.push_back(static_cast<int>(Cell(x, y)[0]));
      EXPECT_EQ(Cell(x, y)[2], -20) << x << "," << y;
    }
  EXPECT_EQ(drawn, bag); // column by column from the top, in the bag's order
  EXPECT_EQ(Cell(7, 0)[0] + Cell(0, 7)[0], 0);

  Update();
  EXPECT_EQ(game->m_ShownScore, 0);
  ::Press(kSelect);
  Update();
  EXPECT_EQ(Word(game->m_Word).size(), 1u); // the cursor's tile, still falling
  EXPECT_LT(Cell(3, 3)[2], 0);
  EXPECT_EQ(Taken(), 1);
  ::Release(kSelect);

  // Each update a falling tile comes down 0.3 to 0.4 of a cell, stopping at 0: all settled
  // after 50 to 67 updates.
  auto falling = [&] {
    int n = 0;
    for (int x = 0; x < 7; ++x)
      for (int y = 0; y < 7; ++y) n += Cell(x, y)[2] < 0;
    return n;
  };
  int updates = 2;
  for (float last = Cell(0, 0)[2]; updates < 100 && falling() > 0; ++updates) {
    Update();
    const float step = Cell(0, 0)[2] - last;
    EXPECT_TRUE(Cell(0, 0)[2] == 0 || (step > 0.3f - 1e-4f && step < 0.4f + 1e-4f)) << step;
    last = Cell(0, 0)[2];
  }
  EXPECT_GE(updates, 50);
  EXPECT_LE(updates, 67);
}

TEST_F(Board, AScoredChainBurstsAndTheTilesAboveFallOneCellAnUpdate) {
  Start(2);
  Lay({"BBBEZZZ", "ZZCFZZZ", "ZZDGZZZ", "ZZATZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ"});
  Cell(2, 3)[5] = Cell(3, 3)[9] = 7; // carried floats, cleared with the tile
  game->m_Bag[49] = 'X' - 64;
  game->m_Bag[50] = 'Y' - 64;
  Press(2, 3);
  Update();
  Move(3, 3);
  Update();
  Lift();
  Update();
  EXPECT_EQ(game->m_Score, 2 * (1 + 1));
  EXPECT_EQ(Word(game->m_LastWord), "AT");
  EXPECT_EQ(Plays(10), 1);
  EXPECT_EQ(Chain(), (std::vector<float>{2, 3, 3, 3, -1, -1}));

  std::string printed = StdoutOf([&] { Update(); });
  std::string unused; // entries 3..20
  for (int i = 3; i <= 20; ++i) unused += "-1.0,-1.0\n";
  EXPECT_EQ(printed, "-1.0,-1.0\n2.0,3.0\n3.0,3.0\n" + unused);
  for (int x : {2, 3})
    for (int f = 0; f < kCellFloats; ++f) EXPECT_EQ(Cell(x, 3)[f], 0) << x << " float " << f;
  int sparks = 0, slow = 0;
  for (int i = 0; i < 251; ++i) {
    const float* p = &game->m_Particles[10 * i];
    if (p[0] == 0) continue;
    ++sparks;
    EXPECT_EQ(p[0], 3);
    EXPECT_TRUE(p[8] >= 4 && p[8] <= 6) << p[8];
    const float speed = std::hypot(p[3] / 0.95f, p[4] + 0.05f); // one update of rising already
    slow += speed < 2;
    EXPECT_TRUE((speed > 0.99f && speed < 1.51f) || (speed > 3.99f && speed < 4.51f)) << speed;
  }
  EXPECT_EQ(sparks, 32);
  EXPECT_EQ(slow, 16);

  // The gap rises a cell an update; the top row then takes the bag's next tiles, 2 cells up.
  const char* column2[] = {"BCD.", "BC.D", "B.CD", ".BCD"};
  for (const char* want : column2) {
    EXPECT_EQ(std::string({Letter(2, 0), Letter(2, 1), Letter(2, 2), Letter(2, 3)}), want);
    Update();
  }
  EXPECT_EQ(std::string({Letter(2, 0), Letter(3, 0), Letter(3, 1), Letter(3, 3)}), "XYEG");
  EXPECT_TRUE(Cell(2, 0)[2] >= -1.7f && Cell(2, 0)[2] <= -1.6f) << Cell(2, 0)[2];
}

TEST_F(Board, ChainsGrowOnlyToNeighboursAndSelectOnTheChainEndsTheWord) {
  Start(2);
  Lay(std::vector<std::string>(7, "AAAAAAA"));
  Update();
  Tap(kSelect); // (3, 3)
  Tap(kRight);
  Tap(kRight);
  Tap(kSelect); // (5, 3): two cells from the last tile
  Press(5, 3);  // nor by touch
  Update();
  Lift();
  Update();
  EXPECT_EQ(Word(game->m_Word), "A");
  Tap(kLeft);
  Tap(kSelect); // (4, 3)
  EXPECT_EQ(Word(game->m_Word), "AA");
  Tap(kLeft);
  Tap(kSelect); // (3, 3) is in the chain: the word ends
  EXPECT_EQ(Word(game->m_LastWord), "AA");
  EXPECT_EQ(game->m_Score, 2 * 2);
  EXPECT_EQ(game->m_Player[3], -1);
  Update();
  EXPECT_EQ(Taken(), 0);

  // A touch reaches 0.3 cell diagonals from a tile's centre; a diagonal neighbour is a neighbour.
  Update();
  Press(0, 0, 25);
  Update();
  EXPECT_EQ(Taken(), 0);
  Lift();
  Update();
  Press(0, 0, 24);
  Update();
  Move(1, 1);
  Update();
  EXPECT_EQ(Word(game->m_Word), "AA");
  EXPECT_EQ(Chain(), (std::vector<float>{0, 0, 1, 1, -1, -1}));
}

TEST_F(Board, CompleteScoresByWhatTheListAnswersAndCancelRestoresEveryTile) {
  // List state and count, the key that ends Q then I, the score: the answer's length ("N/A",
  // "Loading 4096", "QI") times the letters' points; a cancel scores nothing.
  const int cases[][4] = {
      {0, 0, kComplete, 3 * 9}, {1, 4096, kComplete, 12 * 9}, {2, 8, kComplete, 2 * 9}, {2, 8, kCancel, 0}};
  for (const auto& c : cases) {
    Start(2);
    Lay(std::vector<std::string>(7, "QIQIQIQ"));
    game->m_BankState = c[0];
    game->m_BankCount = c[1];
    audio->Clear();
    Update();
    Press(2, 2);
    Update();
    Move(3, 2);
    Update();
    ::Press(c[2]);
    Update();
    ::Release(c[2]);
    EXPECT_EQ(game->m_Score, c[3]) << "list state " << c[0] << ", key " << c[2];
    EXPECT_EQ(Plays(11), c[2] == kCancel ? 1 : 0); // the rejection
    if (c[2] == kCancel) {
      EXPECT_EQ(Word(game->m_Word), "");
      EXPECT_EQ(Taken(), 0);
      EXPECT_EQ(Chain(), (std::vector<float>(6, -1)));
      EXPECT_EQ(game->m_Player[3] + game->m_Player[4], -2);
    }
    Lift();
  }
}

// [SECTION] The clock

TEST_F(Board, AThirtySecondGameShows30EndsAtUpdate1861AndTicksTheLastSeconds) {
  Start(1);
  std::vector<std::string> shown;
  std::vector<std::string> ticks; // "4:98" - the seconds shown when an effect played
  for (int n = 1; n <= 1900 && game->m_GameEnded == 0; ++n) {
    const size_t before = audio->effects.size();
    Update();
    shown.push_back(Seconds());
    for (size_t i = before; i < audio->effects.size(); ++i)
      ticks.push_back(shown.back() + ":" + std::to_string(audio->effects[i]));
  }
  EXPECT_EQ(shown.size(), 1861u);
  EXPECT_EQ(shown.front(), "30");
  EXPECT_EQ(*std::max_element(shown.begin(), shown.end(),
                              [](auto& a, auto& b) { return std::stoi(a) < std::stoi(b); }),
            "30");
  EXPECT_EQ(ticks, (std::vector<std::string>{"4:98", "3:98", "2:98", "1:98", "0:99"}));

  // Real time ends a game too: 31 seconds after the start, whichever comes first.
  Start(1);
  Updates(10);
  PastTheEnd(0);
  Update();
  EXPECT_EQ(game->m_GameEnded, 0);
  PastTheEnd(1);
  Update();
  EXPECT_EQ(game->m_GameEnded, 1);
}

TEST_F(Board, HidingTheDisplayStopsTheClockAndShowingItLateEndsTheGame) {
  Start(1);
  Updates(5);
  Tap(kHide);
  const float left = game->m_Player[99];
  Updates(50);
  EXPECT_EQ(game->m_Player[99], left);
  EXPECT_EQ(TextAt(28, 0, 640), ""); // no score line either
  PastTheEnd(5000);
  Updates(3);
  EXPECT_EQ(game->m_GameEnded, 0);
  ::Press(kHide);
  Update();
  EXPECT_EQ(game->m_GameEnded, 1);
}

TEST_F(Board, PausingFreezesTheUpdateCountAndTheRealEndTime) {
  Start(3);
  Updates(5);
  ::Press(kPause);
  Update();
  ASSERT_EQ(game->m_Paused, 1);
  ::Release(kPause);
  const float left = game->m_Player[99];
  Updates(600); // ten seconds paused
  EXPECT_EQ(game->m_Player[99], left);
  Tap(kSelect); // resume: the pause menu slides out, then the game plays on
  Updates(12);
  ASSERT_EQ(game->m_Paused, 0);
  Update();
  const int msLeft = static_cast<int>(game->m_Player[98]) - host->clock;
  EXPECT_GE(msLeft, 121000 - 8 * 16 - 1000); // the ten seconds paused do not count
  EXPECT_EQ(Seconds(), std::to_string(msLeft / 1000));
}

// [SECTION] Places, records and the game-over overlay

TEST_F(Board, PlacesCountATieAsReachedButShowItAsNotBeatenDuringPlay) {
  EXPECT_EQ(Word(game->p_Nth(0)) + "|" + Word(game->p_Nth(31)), "|");
  std::string nth;
  for (int n : {1, 2, 3, 4, 11, 12, 13, 20, 21, 22, 23, 24, 30}) nth += Word(game->p_Nth(n)) + " ";
  EXPECT_EQ(nth, "1st 2nd 3rd 4th 11th 12th 13th 20th 21st 22nd 23rd 24th 30th ");

  Start(2);
  for (int k = 0; k < 10; ++k) game->m_HighScores[10 + k] = 100 - 10 * k; // 100 .. 10
  // Score, p_MyNth with its place, the place line during play.
  struct Case {
    int score;
    const char* mine;
    int place;
    const char* line;
  };
  const Case cases[] = {{10, "10th", 10, "11th00000010"},
                        {11, "10th", 10, "10th00000020"},
                        {95, "2nd", 2, "2nd00000100"},
                        {500, "1st!", 1, "1st00000100"},
                        {9, "", 0, "11th00000010"}};
  for (const Case& c : cases) {
    game->m_Score = game->m_ShownScore = c.score;
    EXPECT_EQ(Word(game->p_MyNth()), c.mine) << c.score;
    EXPECT_EQ(game->m_i, c.place) << c.score;
    Update();
    EXPECT_EQ(TextAt(10, 0, 200), c.line) << c.score;
  }
}

TEST_F(Board, TheGameOverBannerShowsOnlyForAScoreThatEntersTheTopTen) {
  auto banner = [] {
    for (int i = 0; i < Records(); ++i)
      if (Record(i)[0] == KIND_RECT && Record(i)[10] == 0 && Record(i)[11] == 125) return true;
    return false;
  };
  struct Case {
    int tenth, score;
    bool shown;
  };
  const Case cases[] = {{0, 0, false}, {10, 10, false}, {10, 11, true}, {0, 1, true}};
  for (const Case& c : cases) {
    for (int k = 0; k < 10; ++k) game->m_HighScores[10 + k] = c.tenth == 0 ? 0 : 100 - 10 * k;
    game->m_GameLength = 2;
    game->m_Score = c.score;
    game->m_GameMode = 10;
    game->m_QuitGame = 0;
    game->m_GameOverTimer = 40;
    game->p_CLS2D();
    game->p_GameOver();
    EXPECT_EQ(banner(), c.shown) << c.tenth << " " << c.score;
  }
  // The words stand at the bar length b = min(12 t, 0.45 h) = 216 and at h - b.
  EXPECT_EQ(TextAt(216, 0, 640) + TextAt(264, 0, 640), "GAMEOVER");
  game->p_CLS2D();
  game->m_QuitGame = -1;
  game->p_GameOver();
  EXPECT_EQ(TextAt(216, 0, 640) + TextAt(264, 0, 640), "QuitGame");
}

TEST_F(Board, AFinishedGameIsRecordedAndTheNextGameStartsClean) {
  Start(1);
  Lay({"QIZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ"});
  Press(0, 0);
  Update();
  Move(1, 0);
  Update();
  Lift();
  Update();
  Update();
  EXPECT_EQ(Word(game->m_BestWords[0]) + " " + std::to_string(game->m_BestWordScores[0]), "QI 18");
  EXPECT_EQ(Plays(95), 2); // best and longest
  game->m_Score = 500;
  PastTheEnd();
  int overlay = 0; // updates from the end of time to the recording
  do Update(), ++overlay;
  while (game->m_GameMode == 10 && overlay < 200);
  EXPECT_EQ(overlay, 90);
  Update();
  EXPECT_EQ(game->m_GameMode, 1);
  EXPECT_EQ(At(game->m_HighScores, {0, 1, 30, 31}), (Ints{500, 0, 500, 0}));
  EXPECT_EQ(Plays(96), 1);
  EXPECT_NE(host->state.find("|500|500|"), std::string::npos); // saved: top and last entry 1
  EXPECT_EQ(game->m_GameOverTimer, 71);                        // fading over the menu
  Update();
  EXPECT_EQ(game->m_GameOverTimer, 69);

  // The next game, of another length: no best word from the last one's score.
  Start(2);
  Update();
  EXPECT_EQ(game->m_ShownScore, 0);
  EXPECT_EQ(Word(game->m_BestWords[2]) + std::to_string(game->m_BestWordScores[2]), "0");
  EXPECT_EQ(game->m_LastWordScore + game->m_WordScore, 0);
}

// [SECTION] Keys held over, and a chain whose tiles fall

TEST_F(Board, KeysHeldFromTheMenuOrThePauseDoNotEndOrCancelAWord) {
  ::Press(kComplete);
  ::Press(kCancel);
  Update();
  ::Press(kSelect); // the confirm control starts the game
  Update();
  Update();
  ASSERT_EQ(game->m_GameMode, 10);
  Updates(5);
  EXPECT_EQ(Plays(11) + Plays(10), 0);
  EXPECT_EQ(game->m_Word.Length() + game->m_LastWord.Length(), 0);

  for (int key : {kComplete, kCancel, kSelect}) ::Release(key);
  Update();
  Tap(kPause);
  ASSERT_EQ(game->m_Paused, 1);
  for (int key : {kComplete, kCancel, kSelect}) ::Press(key); // resumes
  Updates(20);
  EXPECT_EQ(game->m_Paused, 0);
  EXPECT_EQ(Plays(11) + Plays(10), 0);
}

TEST_F(Board, ATakenTileThatFallsKeepsItsPlaceInTheChain) {
  Start(2);
  Lay({"ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZQZZZ", "ZZZIZZZ", "ZZATZZZ", "ZZZZZZZ"});
  Update();
  Press(2, 5);
  Update();
  Move(3, 5);
  Update();
  Lift();
  Update(); // AT scores
  Press(3, 3);
  Update(); // the flash: a touch takes nothing in it
  EXPECT_EQ(Word(game->m_Word), "");
  Lift();
  game->m_Player[1] = game->m_Player[2] = 3; // the cursor back on Q
  ::Press(kSelect);
  Update(); // I falls to (3, 5); the cursor's Q at (3, 3) is taken
  ::Release(kSelect);
  Update(); // Q falls to (3, 4) with its place in the chain
  EXPECT_EQ(Letter(3, 4), 'Q');
  EXPECT_EQ(Cell(3, 4)[kCellTaken], 1);
  EXPECT_EQ(Chain(), (std::vector<float>{3, 4, -1, -1, -1, -1}));
  EXPECT_EQ(game->m_Player[3] * 10 + game->m_Player[4], 34);
  EXPECT_EQ(Cell(3, 3)[0] + Cell(3, 3)[kCellTaken], 0);

  Tap(kDown);
  Tap(kDown);
  Tap(kSelect); // I at (3, 5), under Q
  Tap(kComplete);
  EXPECT_EQ(game->m_Score, 4 + 18);
  EXPECT_EQ(Cell(3, 4)[0] + Cell(3, 5)[0], 0); // exactly the chain's tiles burst
  EXPECT_NE(Cell(3, 3)[0], 0);
}

} // namespace
