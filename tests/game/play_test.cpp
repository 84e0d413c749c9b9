// tests/game/play_test.cpp — the game driven through its updates with injected input and clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "graphics/drawing.h"
#include "tests/game/game_support.h"
#include "tests/support/runtime_output.h"

namespace {

using Ints = std::vector<int>;
using Floats = std::vector<float>;
// Space selects, X completes, C cancels, Escape pauses (back), F2 hides the display.
constexpr int kSelect = 32, kCancel = 67, kEscape = 27, kHide = 113, kEnter = 13;
constexpr int kUp = 38, kRight = 39, kLeft = 37, kDown = 40;
constexpr float kCell = 58, kX0 = 146, kY0 = 103; // at 640 x 480: cell (0, 0) centred at (146, 103)
RecordingAudio* audio = nullptr;

std::string Word(const String& s) { return s.ToUtf8(); }

class Play : public ::testing::Test {
protected:
  c_MyApp* game = Game();
  static inline std::string startUp; // what the first two starts printed
  static void SetUpTestSuite() {
    if (audio) return;
    Game(); // the globals first: they clear the devices
    zu_graphics_SetGraphicsDevice(new NoDrawing);
    zu_audio_SetAudioDevice(audio = new RecordingAudio);
    zu_input_SetInputDevice((new c_InputDevice)->m_new());
    host->stateInMemory = true;
    const auto data = host->dataDir; // two starts without a data folder (checked in a test:
    host->dataDir = "/no/such";      // a failure here would only skip the tests)
    startUp = StdoutOf([] { Game()->p_OnCreate(), Game()->p_OnCreate(); });
    host->dataDir = data;
    for (int n : {1, 2, 10, 11, 95, 96, 98, 99}) Game()->p_LoadSFX(n);
  }
  void TearDown() override { EXPECT_EQ(VButtonsGuard(), 7); }
  void SetUp() override {
    zu_input_SetInputDevice((new c_InputDevice)->m_new());
    host->clock = 100000, host->tick = 0, host->stateInMemory = true;
    Resize(640, 480);
    const int sizes[] = {270, 7, 10, 285, 64, 64, 291, 32, 32}; // font, buttons, icons: cell sizes
    for (int i = 0; i < 9; i += 3)
      game->m_ImageInfo[sizes[i]] = sizes[i + 1], game->m_ImageInfo[sizes[i] + 1] = sizes[i + 2];
    game->m_LoadStep = 0, game->m_Settings[5] = 1, game->m_GameMode = 1, game->m_GameLength = 2,
    game->m_MenuSel = 1;
    game->m_MenuAngle = game->m_MenuSpin = -32, game->m_MenuSpinVel = 0, game->m_MenuFocus = 1,
    game->m_MenuIntro = 0;
    game->m_Paused = game->m_HideHud = game->m_GameOverTimer = game->m_KeyLatch = game->m_TouchLatch = 0;
    game->m_OptionsOpen = game->m_OptionsSlide = game->m_OptionsSel = game->m_SidePanelOpen = 0;
    for (int i = 0; i < 150; ++i)
      game->m_HighScores[i] = game->m_BestWordScores[i] = 0, game->m_BestWords[i] = String();
    const int list[] = {1 | 20 << 5, 0, 20 | 1 << 5, 0, 1 | 1 << 5, 0, 17 | 9 << 5, 0}; // AT TA AA QI
    std::copy_n(list, 8, game->m_WordStore.begin()), game->m_BankCount = 8, game->m_BankState = 2;
    audio->Clear();
  }
  void Resize(int w, int h) { // a new device size, and the frame that notices it
    host->width = w, host->height = h;
    zu_app_ValidateDeviceWindow(true);
    zu_graphics_BeginRender(), game->p_OnRender(), zu_graphics_EndRender();
  }
  void Update(int n = 1) { RunUpdates(n); }
  void Start(int length) { // set up by the starting state, not yet updated
    game->m_GameLength = length, game->m_GameMode = 11;
    Update();
    ASSERT_EQ(game->m_GameMode, 10);
  }
  void Lay(const std::vector<std::string>& rows) { // letters by rows, every tile settled and free
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 7; ++x)
        std::fill(Cell(x, y), Cell(x, y) + kCellFloats, 0.0f), Cell(x, y)[0] = rows[y][x] - 64;
  }
  float* Cell(int x, int y) { return &game->m_Grid[(x + kGridStride * y) * kCellFloats]; }
  int Taken() {
    int n = 0;
    for (int i = 0; i < kGridFloats; i += kCellFloats) n += game->m_Grid[i + kCellTaken] != 0;
    return n;
  }
  // Pointer events (4 down, 6 move, 5 up), each seen by an update.
  void Pointer(int event, float x, float y) { zu_input_device->p_MouseEvent(event, 0, x, y), Update(); }
  void Touch(int event, int x, int y, float dx = 0) { Pointer(event, kX0 + kCell * x + dx, kY0 + kCell * y); }
  void Click(float x, float y) { Pointer(4, x, y), Pointer(5, 0, 0); }
  void Tap(int key) { Press(key), Update(), Release(key), Update(); }
  int Plays(int effect) {
    return static_cast<int>(std::count(audio->effects.begin(), audio->effects.end(), effect));
  }
  // The font's glyphs on the line y (any line for y < 0) between x0 and x1 (spaces are not drawn).
  std::string TextAt(float y, float x0 = 0, float x1 = 640) {
    std::string out;
    for (int i = 0; i < Records(); ++i)
      if (Record(i)[0] == 90 && (y < 0 || std::fabs(Record(i)[2] - y) < 0.5f) && Record(i)[1] >= x0 &&
          Record(i)[1] <= x1)
        out += static_cast<char>(32 + Record(i)[6]);
    return out;
  }
  void PastTheEnd(int ms = 1) { host->clock = static_cast<int>(game->m_Player[98]) + ms - 16; }
};

TEST_F(Play, ANewGameFallsInFromTheBagAndItsTilesCanBeTakenAtOnce) {
  game->m_ShownScore = 5000; // the last game's
  Start(2);
  Ints drawn, bag(game->m_Bag.begin(), game->m_Bag.begin() + 49);
  for (int x = 0; x < 7; ++x) // column by column from the top, 20 cells up
    for (int y = 0; y < 7; ++y) drawn.push_back(static_cast<int>(Cell(x, y)[0] + 100 * (Cell(x, y)[2] + 20)));
  EXPECT_EQ(drawn, bag);
  EXPECT_EQ(Cell(7, 0)[0] + Cell(0, 7)[0] + game->m_BagPos, 49);
  EXPECT_EQ(At(game->m_Player, {1, 2, 3, 92, 95, 99, 98, 100, 200, 120, 220}),
            (Floats{3, 3, -1, 4, 60, 3660, 161016, -1, -1, -1, -1}));
  Update(), Press(kSelect), Update();
  EXPECT_EQ(game->m_ShownScore + Word(game->m_Word).size() + Cell(3, 3)[kCellTaken] + Taken(),
            3u);                                                                    // still falling
  EXPECT_TRUE(Cell(0, 0)[2] >= -19.4f && Cell(0, 0)[2] <= -19.2f) << Cell(0, 0)[2]; // 0.3 to 0.4 an update
}

TEST_F(Play, ChainsGrowOnlyToNeighboursCancelFreesThemAndSelectOnTheChainEndsTheWord) {
  Start(2);
  Lay(std::vector<std::string>(7, "AAAAAAA"));
  Update(), Tap(kSelect);                 // (3, 3)
  Tap(kRight), Tap(kRight), Tap(kSelect); // (5, 3): two cells from the last tile
  Touch(4, 5, 3), Touch(5, 0, 0);         // nor by touch
  EXPECT_EQ(Word(game->m_Word), "A");
  Tap(kLeft), Tap(kSelect), audio->Clear(), Tap(kCancel); // (4, 3), then cancel: nothing scored
  EXPECT_EQ(Word(game->m_Word) + std::to_string(Taken() + game->m_Score + Plays(11)), "1");
  EXPECT_EQ(At(game->m_Player, {101, 201, 102, 202, 103, 203}), Floats(6, -1));
  EXPECT_EQ(At(game->m_Player, {3, 4}), (Floats{-1, -1}));
  Tap(kSelect), Tap(kLeft), Tap(kSelect), Tap(kRight), Tap(kSelect); // (4, 3) is in the chain: the word ends
  EXPECT_EQ(Word(game->m_LastWord) + std::to_string(game->m_Score) + std::to_string(int(game->m_Player[3])),
            "AA4-1");
  Update(); // its tiles burst, and the tiles above fall into the gap a row an update
  EXPECT_EQ((Floats{float(Taken()), Cell(3, 2)[0], Cell(4, 2)[0], Cell(5, 2)[0]}), (Floats{0, 0, 0, 1}));
  // A touch reaches 0.3 cell diagonals (24.6 units) from a tile's centre; diagonals are neighbours.
  Update(), Touch(4, 0, 0, 25);
  EXPECT_EQ(Taken(), 0);
  Touch(5, 0, 0), Touch(4, 0, 0, 24), Touch(6, 1, 1), Touch(6, 3, 3), Touch(6, 3, 0), Touch(6, 2, 2);
  EXPECT_EQ(At(game->m_Player, {101, 201, 102, 202, 103, 203}),
            (Floats{0, 0, 1, 1, 2, 2}));                          // not (3, 3) nor (3, 0), two from (1, 1)
  for (int i = 0; i < 4; ++i) Tap(kLeft), Tap(kDown), Tap(kDown); // the cursor stops at the edges
  EXPECT_EQ(At(game->m_Player, {1, 2}), (Floats{0, 6}));
  Pointer(5, 0, 0), Tap(kUp), Tap(kSelect), Cell(0, 6)[0] = 0,
                                                    Update(); // a chained tile falls: the chain follows
  EXPECT_EQ(At(game->m_Player, {101, 201, 3, 4}), (Floats{0, 6, 0, 6}));
}

TEST_F(Play, AThirtySecondGameEndsAtUpdate1861AndTicksAndHidingOrPausingStopsTheClock) {
  Start(1);
  std::vector<std::string> shown, ticks; // ticks: "4:98", the seconds shown when an effect played
  for (int n = 1; n <= 1900 && game->m_GameEnded == 0; ++n) {
    const size_t before = audio->effects.size();
    Update(), shown.push_back(TextAt(32, 560, 640));
    for (size_t i = before; i < audio->effects.size(); ++i)
      ticks.push_back(shown.back() + ":" + std::to_string(audio->effects[i]));
  }
  EXPECT_EQ(shown.size(), 1861u);
  EXPECT_EQ(shown[0] + shown[58] + shown[59] + shown[1800], "3030290");
  Start(1), game->m_HighScores[0] = 300, game->m_HighScores[1] = 200; // the place, and the score it beats
  std::string places;
  for (int score : {250, 400}) game->m_Score = score, Update(), places += TextAt(10) + " ";
  EXPECT_EQ(places, "2nd00000300 1st00000300 ");
  EXPECT_EQ(ticks, (std::vector<std::string>{"4:98", "3:98", "2:98", "1:98", "0:99"}));
  Start(3); // real time ends a game too: 121 seconds after the start, whichever comes first
  Update(10), PastTheEnd(0), Update();
  EXPECT_EQ(TextAt(32, 560, 640) + std::to_string(game->m_GameEnded), "00");
  PastTheEnd(1), Update();
  EXPECT_EQ(game->m_GameEnded, 1);
  Start(1);
  Update(5), Tap(kHide);
  const float left = game->m_Player[99];
  Update(50), PastTheEnd(5000), Update(3);
  EXPECT_EQ(game->m_Player[99], left);
  EXPECT_EQ(TextAt(28) + std::to_string(game->m_GameEnded), "0"); // no score line either
  Press(kHide), Update(), Release(kHide);
  EXPECT_EQ(game->m_GameEnded, 1);
  Start(3);
  Update(5), Press(kEscape), Update(), Release(kEscape);
  const float updatesLeft = game->m_Player[99], end = game->m_Player[98];
  Update(600); // ten seconds paused
  EXPECT_EQ((Floats{game->m_Player[99], game->m_Player[98]}), (Floats{updatesLeft, end + 600 * 16}));
}

TEST_F(Play, TheGameOverBannerShowsOnlyForAScoreThatEntersTheTopTen) {
  const int cases[][4] = {
      {0, 0, 0, 2}, {10, 10, 0, 2}, {10, 11, 1, 3}, {0, 1, 1, 1}}; // tenth, score, shown, length
  for (const auto& c : cases) {
    for (int k = 0; k < 10; ++k) game->m_HighScores[10 * c[3] - 10 + k] = c[0] == 0 ? 0 : 100 - 10 * k;
    game->m_Score = c[1], game->m_GameMode = 10, game->m_QuitGame = 0, game->m_GameOverTimer = 40;
    game->m_GameLength = c[3];
    game->p_CLS2D(), game->p_GameOver();
    int banner = 0; // the box of the new-highscore line
    for (int i = 0; i < Records(); ++i) banner += Fields(i, {0, 10, 11}) == Floats{KIND_RECT, 0, 125};
    EXPECT_EQ(banner, c[2]) << c[0] << " " << c[1];
  }
  EXPECT_EQ(TextAt(216) + TextAt(264), "GAMEOVER"); // at b = min(12 t, 0.45 h) = 216 and h - b
  std::string nth = Word(game->p_MyNth()) + std::to_string(game->m_i); // a score of 1 over zeros: 1st
  for (int n : {0, 1, 2, 3, 4, 10, 11, 12, 13, 14, 21, 22, 23, 24, 30, 31}) nth += " " + Word(game->p_Nth(n));
  EXPECT_EQ(nth, "1st!1  1st 2nd 3rd 4th 10th 11th 12th 13th 14th 21st 22nd 23rd 24th 30th ");
  EXPECT_EQ(Fields(0, {4, 5, 7}), (Floats{642, 482, 0.7f}));
  game->p_CLS2D(), game->m_QuitGame = -1, game->m_GameOverTimer = 10, game->p_GameOver();
  EXPECT_EQ(TextAt(120) + TextAt(360) + std::to_string(Record(0)[7]), "QuitGame0.250000");
}

TEST_F(Play, AFinishedGameIsRecordedAndTheNextGameStartsClean) {
  Start(1);
  Lay({"QIZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ", "ZZZZZZZ"});
  Touch(4, 0, 0), Touch(6, 1, 0), Touch(5, 0, 0), Update(); // best and longest, each with its sound
  EXPECT_EQ(Word(game->m_BestWords[0]) + std::to_string(game->m_BestWordScores[0]) +
                Word(game->m_BestWords[1]) + std::to_string(Plays(95)),
            "QI18QI2");
  game->m_Score = 500, game->m_MusicOn = 1;
  PastTheEnd();
  int overlay = 0; // updates from the end of time to the recording
  do Update(), ++overlay;
  while (game->m_GameMode == 10 && overlay < 200);
  Update();
  EXPECT_EQ((Ints{overlay, game->m_GameMode, Plays(96), game->m_GameOverTimer, game->m_MusicOn}),
            (Ints{90, 1, 1, 71, 0})); // fading, the tune stopped
  EXPECT_EQ(std::count(audio->calls.begin(), audio->calls.end(), "stop music"), 1);
  EXPECT_EQ(At(game->m_HighScores, {0, 1, 30, 31}), (Ints{500, 0, 500, 0}));
  EXPECT_NE(host->state.find("|500|500|"), std::string::npos); // saved: top and last entry 1
  Start(2); // another length: no best word from the last one's score
  Update();
  EXPECT_EQ(Word(game->m_BestWords[2]) + std::to_string(game->m_BestWordScores[2] + game->m_LastWordScore),
            "0");
}

// Left, right: focus on gear 0, wheel 1, panel 2; A, B, X act on it. Keys; focus, options, panel, screen.
TEST_F(Play, KeysMoveTheFocusAndConfirmActsOnIt) {
  const std::pair<Ints, Ints> cases[] = {
      {{kLeft, kEnter}, {0, 1, 0, 1}}, {{kLeft, kLeft}, {0, 0, 0, 1}}, {{kRight, kRight, 88}, {2, 0, 1, 1}},
      {{kSelect}, {1, 0, 0, 10}},      {{67}, {1, 0, 0, 10}},          {{kLeft, kRight, 86}, {1, 0, 0, 1}}};
  for (const auto& [keys, want] : cases) {
    game->m_GameMode = game->m_MenuFocus = 1,
    game->m_OptionsOpen = game->m_SidePanelOpen = game->m_KeyLatch = 0;
    for (int key : keys) Press(key), Update(), Release(key), Update();
    EXPECT_EQ((Ints{game->m_MenuFocus, game->m_OptionsOpen, game->m_SidePanelOpen, game->m_GameMode}), want)
        << keys.back();
    EXPECT_EQ(want[3] == 10 ? game->m_ControlMode : 0, 0); // started from the keyboard
    game->m_OptionsOpen = game->m_OptionsSlide = 0, Update();
  }
  game->m_GameMode = 1, game->m_MenuFocus = 0, game->m_KeyLatch = 0, Update(40);
  Click(600, 100), Click(600, 100), Update(10); // the panel: a press takes the focus, the next opens it
  EXPECT_EQ(game->m_MenuFocus * 10 + game->m_SidePanelOpen, 21);
  Click(600, 100), Update(40); // and the next closes it
  Click(570, 432);             // the play button lies over the panel: its press starts a game
  EXPECT_EQ((Ints{game->m_SidePanelOpen, game->m_GameMode, game->m_ControlMode, game->m_MenuFocus}),
            (Ints{0, 10, 2, 1}));
}

// Rows at y 140, 180, 220, 260, 300: sound mode, key-pair controller, full screen, stick flips.
TEST_F(Play, OptionRowsCycleSoundSwitchControllerScreenAndFlips) {
  game->m_OptionsOpen = 1, game->m_OptionsSlide = 30, game->m_Settings[15] = game->m_Settings[16] = 0;
  Ints modes;
  for (int i = 0; i < 4; ++i) Click(300, 140), modes.push_back(game->m_Settings[5]);
  game->m_OptionsSel = 1, Press(kEnter), Update(3), Release(kEnter), Update(); // once, on its row only
  modes.push_back(game->m_Settings[5]);
  EXPECT_EQ(modes, (Ints{2, 3, 0, 1, 2}));
  Click(300, 260), Click(300, 300), Click(300, 300);
  EXPECT_EQ(At(game->m_Settings, {14, 15, 16, 17}), (Ints{1, 1, 0, 0}));
  game->m_VButtons[10] = 2, game->m_VButtons[19] = 1;
  Click(300, 180); // on, with every controller button let go
  EXPECT_EQ((Ints{zu_Tessel_iCadeControls, game->m_VButtons[10], game->m_VButtons[19]}), (Ints{1, 0, 0}));
  game->m_VButtons[10] = 2, Click(300, 180); // a held controller button never locks the box
  EXPECT_EQ(zu_Tessel_iCadeControls, 0);
  Click(300, 220), Click(300, 220); // full screen at the desktop's size, and back
  EXPECT_EQ(host->windows, (std::vector<std::string>{"1280x1024 full", "640x480 window"}));
  game->m_OptionsSel = 0, Press(kDown), Update(3), Release(kDown), Update(); // the cursor: one row a press
  Press(kEscape), Update();                                                  // back closes the box and saves
  EXPECT_EQ(std::to_string(game->m_OptionsSel + game->m_OptionsOpen) + host->state.substr(0, 12),
            "10|0|0|0|0|2|");
  game->m_GameMode = 10, game->m_TuneName = String("tune"), game->m_MusicOn = 1, audio->Clear();
  game->p_OptionsActivate(1), game->p_OptionsActivate(1); // in a game: 2 stops the tune, 3 starts it again
  EXPECT_EQ(audio->calls[0] + std::to_string(std::count(audio->calls.begin(), audio->calls.end(),
                                                        "music quokka://data/sfx/tune.ogg 1")),
            "stop music1");
}

TEST_F(Play, ThePauseMenuResumesOnceSlidOutAndQuitRecordsTheScore) {
  Start(1);
  game->m_PenSpeed = 5.5f, Update(5), Tap(kEscape), Update(12), Tap(kRight);
  EXPECT_EQ(game->m_Paused * 1000 + game->m_PauseSlide + game->m_PenSpeed,
            1245.75f);                                                 // right: a quarter faster
  host->padButtons = 1 << 6, Update(), host->padButtons = 0, Update(); // a pad's back button resumes:
  // the menu slides out at 24 an update and the game plays on below -32
  int paused = 0;
  while (game->m_Paused == 1 && paused < 50) Update(), ++paused;
  EXPECT_EQ((Ints{paused, game->m_PauseSlide}), (Ints{11, -48})); // one update went into the release
  game->m_Score = 1234;
  Update(), Tap(kEscape), Update(12), Tap(kUp), Tap(kUp), Tap(kEnter); // up to quit, and no further
  EXPECT_EQ((Ints{game->m_PauseSel, game->m_GameEnded, game->m_QuitGame, game->m_Paused}),
            (Ints{-1, 1, -1, 0}));
  for (int i = 0; i < 200 && game->m_GameMode != 1; ++i) Update();
  EXPECT_EQ(game->m_HighScores[30], 1234); // newest of the 30-second game's last ten
}

TEST_F(Play, TheVirtualScreenFitsTheLargerScaleAndDetailFollowsTheDevice) {
  // Device size, scale, virtual size, detail level: 2 from 631 pixels either way, 4 from 1231.
  // clang-format off
  const float cases[][6] = {{640, 480, 1, 640, 480, 2}, {480, 640, 640.0f / 720, 540, 720, 2}, {1280, 720, 2, 640, 360, 4},
      {630, 630, 630.0f / 480, 480, 480, 1}, {631, 400, 631.0f / 640, 640, 405.71f, 2}, {400, 631, 631.0f / 720, 456.42f, 720, 2},
      {1231, 400, 1231.0f / 640, 640, 207.96f, 4}, {1230, 1230, 1230.0f / 480, 480, 480, 2}, {0, 0, 1230.0f / 480, 480, 480, 2}};
  // clang-format on
  for (const auto& c : cases) {
    Resize(static_cast<int>(c[0]), static_cast<int>(c[1])), game->p_PickDetailLevel();
    EXPECT_NEAR(game->m_ScaleY, c[2], 1e-4) << c[0] << "x" << c[1];
    EXPECT_NEAR(zu_Tessel_jscrw + zu_Tessel_jscrh / 1000, c[3] + c[4] / 1000, 1e-2) << c[0] << "x" << c[1];
    EXPECT_EQ(game->m_HDLevel * game->m_HDScale + game->m_HDLevel, 1 + c[5]) << c[0] << "x" << c[1];
    EXPECT_EQ(game->m_Landscape, c[4] <= c[3]) << c[0] << "x" << c[1]; // the pause menu's layout
  }
  EXPECT_EQ(game->m_LoadStep, 1); // a new size reloads: 20 updates, then the screen carries on
  game->m_GameMode = 10, game->m_Paused = 1;
  int updates = 0;
  for (; game->m_LoadStep > 0 && updates < 100; ++updates) Update();
  EXPECT_EQ(updates + game->m_GameMode, 30);
  game->m_GameMode = 1, Resize(1231, 400), Update(30), Resize(1231, 400); // room for one line
  EXPECT_NE(TextAt(-1).find("Highscore"), std::string::npos) << TextAt(-1);
}

TEST_F(Play, SuspendPausesAGameVirtualPressesLastOneUpdateAndBackClosesThePanelOnce) {
  EXPECT_EQ(startUp, "Data folder not found: /no/such/\nHighscores Loaded\nHighscores Loaded\n"); // said once
  game->m_GameMode = 10, game->m_Paused = 0, host->state.clear();
  for (int i = 0; i < 20; ++i) game->m_VButtons[i] = 2;
  game->p_OnSuspend();
  EXPECT_EQ(zu_app__updateRate * 10 + host->state.empty(), 50);
  game->p_OnResume();
  EXPECT_EQ((Ints{zu_app__updateRate, game->m_Paused, game->m_PauseMenuShown, game->m_PauseSlide}),
            (Ints{60, 1, 1, 240}));
  EXPECT_EQ(At(game->m_VButtons, {0, 18, 19}), (Ints{0, 0, 2}));
  game->m_VButtons[19] = game->m_Paused = 0, game->m_HDScale = game->m_Down = 1, game->m_TouchY[0] = 16;
  for (int x : {32, 31}) { // the icon at (16, 16) spans 0..32
    game->m_TouchX[0] = x, game->m_TouchLatch = 0, game->p_InGame();
    EXPECT_EQ(game->m_Paused + game->m_TouchLatch, x < 32 ? 2 : 0) << x;
  }
  // One-update presses (1) of buttons 0..18 end with the update; held ones (2) stay; 19 is the back key.
  game->m_SidePanelOpen = 1, game->m_GameMode = 1, game->m_Down = 0;
  for (int i = 0; i < 19; ++i) game->m_VButtons[i] = i == 5 ? 2 : 1;
  Press(416), Press(kEscape), Update();
  EXPECT_EQ((Ints{game->m_SidePanelOpen, game->m_KeyLatch, game->m_TouchLatch}), (Ints{0, 1, 1}));
  EXPECT_EQ(At(game->m_VButtons, {0, 5, 18, 19}), (Ints{0, 2, 0, 1}));
  game->m_SidePanelOpen = 1, Update(); // held: does not act again
  EXPECT_EQ(game->m_SidePanelOpen, 1);
  Release(kEscape), Release(416), game->m_VButtons[5] = 0, Update();
  EXPECT_EQ(game->m_KeyLatch, 0);
}

// The back key closes the options box once it has slid in, even while an arrow key is held (that
// keeps the box's own key latch set); the press that closed it does not also end the program.
// A back key already held as the box opens does not close it.
TEST_F(Play, BackClosesTheOptionsBoxWithAnArrowHeldButNotWhenHeldAsItOpens) {
  game->m_GameMode = 1, game->m_OptionsOpen = 1, game->m_OptionsSlide = 30;
  Press(kDown), Update(3);
  EXPECT_EQ(game->m_OptionsOpen, 1) << "Down alone closed the box";
  Press(kEscape), Update();
  EXPECT_EQ(game->m_OptionsOpen, 0) << "Escape with Down held left the box open";
  Update(40); // both still held while the box slides away and the menu runs
  EXPECT_EQ(game->m_OptionsSlide, 0) << "the box did not slide away";
  Release(kEscape), Release(kDown), Update();
  Press(kEscape), game->m_OptionsOpen = 1, Update(40);
  EXPECT_EQ(game->m_OptionsSlide, 30) << "the box did not slide in";
  EXPECT_EQ(game->m_OptionsOpen, 1) << "the Escape held as the box opened closed it";
  Release(kEscape), Update(), Press(kEscape), Update();
  EXPECT_EQ(game->m_OptionsOpen, 0) << "a new Escape left the box open";
}

} // namespace
