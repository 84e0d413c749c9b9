// tests/game/menu_test.cpp — the menus on a constructed game driven through its updates with
// injected keys, pads and pointer: the wheel (key repeat, taps, flicks that come to rest), the
// ways a game starts, the score panel and credits, leaving, the options box, full screen, the
// pause menu, and the hit tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "game/globals.h"
#include "tests/game/game_support.h"

namespace {

using Ints = std::vector<int>;

constexpr int kSpace = 32, kEnter = 13, kEscape = 27, kUp = 38, kDown = 40, kF11 = 122;
RecordingAudio* audio = nullptr;

class Menus : public ::testing::Test {
protected:
  c_MyApp* game = Game();

  static void SetUpTestSuite() {
    c_MyApp* g = Game();
    zu_audio_SetAudioDevice(audio = new RecordingAudio);
    for (int n : {1, 95, 96, 98, 99}) g->p_LoadSFX(n);
    for (int i = 0; i < 33; ++i) g->m_SfxMap[i] = i;
    const int sizes[][3] = {{90, 7, 10}, {95, 64, 64}, {97, 32, 32}};
    for (const auto& s : sizes) g->m_ImageInfo[3 * s[0]] = s[1], g->m_ImageInfo[3 * s[0] + 1] = s[2];
    g->m_FontImage = 90;
  }
  void SetUp() override {
    zu_input_SetInputDevice((new c_InputDevice)->m_new());
    host->stateInMemory = true;
    host->state.clear();
    host->pads = 0;
    host->padButtons[0] = 0;
    host->windows.clear();
    host->width = 640, host->height = 480;
    zu_Tessel_iCadeControls = 0;
    game->m_GameMode = 1;
    game->m_LoadStep = 0;
    game->m_MenuSel = 1;
    game->m_MenuAngle = game->m_MenuSpin = -32;
    game->m_MenuSpinVel = 0;
    game->m_MenuFocus = 1;
    game->m_MenuIntro = 0;
    game->m_KeyLatch = game->m_TouchLatch = 0;
    game->m_OptionsOpen = game->m_OptionsSlide = game->m_OptionsSel = 0;
    game->m_SidePanelOpen = 0;
    game->m_SidePanelX = 0;
    game->m_Paused = game->m_Fullscreen = game->m_MusicOn = 0;
    game->m_Settings[5] = 1;
    game->m_Settings[15] = 0;
    for (int i = 0; i < 20; ++i) game->m_VButtons[i] = 0;
    audio->Clear();
  }

  void Update() { RunUpdates(1); }
  void Updates(int n) { RunUpdates(n); }
  void Down(float x, float y) { zu_input_device->p_MouseEvent(4, 0, x, y); }
  void MoveTo(float x, float y) { zu_input_device->p_MouseEvent(6, 0, x, y); }
  void Up() { zu_input_device->p_MouseEvent(5, 0, 0, 0); }
  // A press at (x, y) seen by one update, then let go for another.
  void Click(float x, float y) {
    Down(x, y);
    Update();
    Up();
    Update();
  }
  void Tap(int key) {
    Press(key);
    Update();
    Release(key);
    Update();
  }
  // Where the wheel shows item k now (640 x 480, intro over): the hub is at (38, 416).
  std::pair<float, float> Item(int k) {
    const float a = 32.0f * k + 48 + game->m_MenuSpin, off = std::fabs(a - 45);
    const float r = 116 + (off <= 45 ? (45 - off) * 1.5f : 0), rad = a * 3.14159265f / 180;
    return {38 + r * std::sin(rad), 416 - r * std::cos(rad)};
  }
  void OpenOptions() {
    game->m_OptionsOpen = 1;
    game->m_OptionsSlide = 30;
    game->m_OptionsKeyLatch = game->m_OptionsTouchLatch = 0;
  }
  bool MusicStarted() const {
    for (const std::string& c : audio->calls)
      if (c.rfind("music", 0) == 0) return true;
    return false;
  }
};

// [SECTION] The wheel

TEST_F(Menus, HeldDownStepsAtOnceThenAfter31ThenFasterButNeverMoreOftenThanEvery4) {
  game->m_MenuSel = 0;
  Press(kDown);
  Ints steps;
  for (int u = 1; u <= 75; ++u) {
    const int before = game->m_MenuSel;
    Update();
    if (game->m_MenuSel != before) steps.push_back(u);
    EXPECT_EQ(game->m_MenuAngle, -32.0f * game->m_MenuSel) << u;
    if (game->m_MenuSel == 2) game->m_MenuSel = 0; // a longer wheel: keep stepping
  }
  EXPECT_EQ(steps, (Ints{1, 32, 51, 58, 62, 66, 70, 74}));
  Release(kDown);
  Update();
  Press(kDown); // a new press steps at once again
  Update();
  EXPECT_EQ(game->m_MenuSel, 1);
}

TEST_F(Menus, ThePressedItemStartsOnlyOnceTheWheelHasSettledAndATapChoosesAnother) {
  game->m_MenuSpin = -20; // still turning towards -32
  auto [x, y] = Item(1);
  Click(x, y);
  EXPECT_EQ(game->m_GameMode, 1);
  Updates(40);
  ASSERT_EQ(game->m_MenuSpin, game->m_MenuAngle);

  auto [x2, y2] = Item(2);
  Down(x2, y2);
  Updates(5); // held: the tap chose item 2 and nothing starts while it is held
  EXPECT_EQ(game->m_MenuSel, 2);
  EXPECT_EQ(game->m_MenuAngle, -64);
  EXPECT_EQ(game->m_GameMode, 1);
  Up();
  Updates(40);
  auto [x3, y3] = Item(2);
  Down(x3, y3);
  Update();
  EXPECT_EQ(game->m_GameMode, 11);
  EXPECT_EQ(game->m_ControlMode, 2);
  EXPECT_EQ(game->m_GameLength, 3);
}

TEST_F(Menus, AFlickOrAWheelTurnedFarOutAlwaysComesToRestOnAnItem) {
  // A fast drag across the wheel, let go.
  Down(250, 200);
  Update();
  for (auto [x, y] : {std::pair{280, 260}, {285, 320}, {287, 380}}) {
    MoveTo(x, y);
    Update();
  }
  Up();
  ASSERT_NE(game->m_MenuSpinVel, 0);
  // Turned far past either end, spinning either way.
  const float starts[][2] = {{0, 0}, {100, 10}, {100, -10}, {-200, -30}, {-200, 40}};
  for (int c = 0; c < 6; ++c) {
    if (c > 0) {
      game->m_MenuSpin = game->m_MenuAngle = starts[c - 1][0];
      game->m_MenuSpinVel = starts[c - 1][1];
    }
    Updates(300);
    EXPECT_EQ(game->m_MenuSpinVel, 0) << c;
    EXPECT_EQ(game->m_MenuAngle, -32.0f * game->m_MenuSel) << c;
    EXPECT_EQ(game->m_MenuSpin, game->m_MenuAngle) << c;
  }
  // And taps work again.
  const int other = game->m_MenuSel == 0 ? 1 : 0;
  auto [x, y] = Item(other);
  Click(x, y);
  EXPECT_EQ(game->m_MenuSel, other);
}

// [SECTION] Starting, the panel and the credits

TEST_F(Menus, AGameStartsWithTheControlModeOfHowItWasStarted) {
  struct Case {
    const char* how;
    std::function<void()> press, release;
    int mode;
  };
  const Case cases[] = {
      {"space", [] { Press(kSpace); }, [] { Release(kSpace); }, 0},
      {"pad A", [] { host->pads = 1, host->padButtons[0] = 1; }, [] { host->pads = 0; }, 1},
      // The play button lies inside the score panel; its press is the button's.
      {"play button", [this] { Down(570, 432); }, [this] { Up(); }, 2},
  };
  for (const Case& c : cases) {
    game->m_GameMode = 1;
    game->m_MenuFocus = 1;
    game->m_KeyLatch = game->m_TouchLatch = 0;
    c.press();
    Update();
    EXPECT_EQ(game->m_GameMode, 11) << c.how;
    EXPECT_EQ(game->m_ControlMode, c.mode) << c.how;
    EXPECT_EQ(game->m_SidePanelOpen, 0) << c.how;
    EXPECT_EQ(game->m_MenuFocus, 1) << c.how;
    c.release();
    Update(); // the starting state sets the game up
  }
}

TEST_F(Menus, ThePanelTakesFocusOpensAndClosesByPointerAndKeys) {
  game->m_MenuFocus = 0;
  Click(600, 100);
  EXPECT_EQ(game->m_MenuFocus, 2);
  EXPECT_EQ(game->m_SidePanelOpen, 0);
  Click(600, 100);
  EXPECT_EQ(game->m_SidePanelOpen, 1);
  Updates(10);
  Click(600, 100); // a press on the open panel closes it
  EXPECT_EQ(game->m_SidePanelOpen, 0);

  Tap(kEnter); // focus 2: confirm opens
  EXPECT_EQ(game->m_SidePanelOpen, 1);
  Tap(kEnter); // and closes, without opening again
  EXPECT_EQ(game->m_SidePanelOpen, 0);
  EXPECT_EQ(game->m_GameMode, 1);
}

TEST_F(Menus, TheCreditsLoopOverTheFirst58Lines) {
  game->m_CreditLine = 0;
  Ints shown;
  for (int k = -3; k <= 4; ++k) shown.push_back(game->p_CreditLineAt(k));
  EXPECT_EQ(shown, (Ints{55, 56, 57, 0, 1, 2, 3, 4}));
  // Scrolling on from the last line of the loop comes back to line 0.
  game->m_CreditLine = 57;
  game->m_CreditScroll = 0;
  game->m_SidePanelOpen = 1;
  Updates(54); // 0.3 a update: past -16 once
  EXPECT_EQ(game->m_CreditLine, 0);
}

// [SECTION] Leaving

TEST_F(Menus, EscapeClosesTheOptionsBoxFirstThenEndsTheProgramSaved) {
  OpenOptions();
  Press(kEscape);
  Update();
  EXPECT_EQ(game->m_OptionsOpen, 0);
  EXPECT_FALSE(host->state.empty()); // closing the box saved
  Updates(3);                        // still held: nothing more
  Release(kEscape);
  Updates(40);
  std::remove(".quokkastate");
  host->stateInMemory = false;
  EXPECT_EXIT((Press(kEscape), Update(), std::exit(3)), ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(std::ifstream(".quokkastate").good());
}

// [SECTION] Options box

TEST_F(Menus, TheSoundRowCyclesBackWithoutMusicInTheMenuAndReallyStopsATune) {
  OpenOptions();
  Ints modes;
  for (int i = 0; i < 4; ++i) {
    Click(300, 140); // row 1
    modes.push_back(game->m_Settings[5]);
  }
  EXPECT_EQ(modes, (Ints{2, 3, 0, 1}));
  EXPECT_FALSE(MusicStarted());

  // In a game: a mode without music stops the tune, one with music starts it again.
  game->m_GameMode = 10;
  game->m_TuneName = String("tune");
  game->m_MusicOn = 1;
  audio->Clear();
  game->p_OptionsActivate(1);
  EXPECT_EQ(game->m_MusicOn, 0);
  EXPECT_EQ(audio->calls[0], "stop music");
  game->p_OptionsActivate(1);
  EXPECT_TRUE(MusicStarted());
  // A saved mode outside 0..3 is shown and stepped as the default.
  game->m_GameMode = 1;
  game->m_Settings[5] = 9;
  Update();
  game->p_OptionsActivate(1);
  EXPECT_EQ(game->m_Settings[5], 2);
}

TEST_F(Menus, AHeldConfirmChangesAnOptionOnceAndAHeldControllerButtonNeverLocksTheBox) {
  OpenOptions();
  game->m_OptionsSel = 4; // left stick flip
  Press(kEnter);
  Updates(10);
  EXPECT_EQ(game->m_Settings[15], 1);
  Release(kEnter);
  Update();
  Tap(kEnter);
  EXPECT_EQ(game->m_Settings[15], 0);

  // Key-pair mode with its A button held: the pointer still switches the mode off.
  game->p_iCade(1);
  game->m_VButtons[10] = 2;
  Update();
  Click(300, 180); // row 2
  EXPECT_EQ(zu_Tessel_iCadeControls, 0);
}

TEST_F(Menus, F11AndTheOptionsRowSwitchToTheDesktopsFullScreenAndBack) {
  Tap(kF11);
  EXPECT_EQ(game->m_Fullscreen, 1);
  OpenOptions();
  Click(300, 220); // row 3
  EXPECT_EQ(game->m_Fullscreen, 0);
  EXPECT_EQ(host->windows, (std::vector<std::string>{"1280x1024 full", "640x480 window"}));
}

// [SECTION] Pause menu

TEST_F(Menus, ThePauseMenuResumesOnlyOnceSlidOutAndQuitRecordsTheScore) {
  game->m_BankState = 2;
  game->m_GameLength = 1;
  game->m_GameMode = 11;
  Update();
  ASSERT_EQ(game->m_GameMode, 10);
  Updates(5);
  Tap(kEscape);
  ASSERT_EQ(game->m_Paused, 1);
  Updates(12);
  EXPECT_EQ(game->m_PauseSlide, 240);
  Tap(kEscape); // resume: the menu slides out at 24 a update and the game plays on below -32
  int paused = 0;
  while (game->m_Paused == 1 && paused < 50) Update(), ++paused;
  EXPECT_EQ(paused, 11); // one update went into the tap's release
  EXPECT_LT(game->m_PauseSlide, -32);

  // Quit: up selects it, confirm acts; the game ends with the "Quit" overlay and its score.
  game->m_Score = 1234;
  Update(); // the keys that resumed are let go
  Tap(kEscape);
  Updates(12);
  Tap(kUp);
  EXPECT_EQ(game->m_PauseSel, -1);
  Tap(kEnter);
  EXPECT_EQ(game->m_GameEnded, 1);
  EXPECT_EQ(game->m_QuitGame, -1);
  EXPECT_EQ(game->m_Paused, 0);
  for (int i = 0; i < 200 && game->m_GameMode != 1; ++i) Update();
  EXPECT_EQ(game->m_GameMode, 1);
  EXPECT_EQ(game->m_HighScores[30], 1234); // newest of the 30-second game's last ten
}

// [SECTION] Hit tests and the draw queue

TEST_F(Menus, HitTestsKeepTheirMarginsAndRecordsStopAtAFullQueue) {
  struct Probe {
    int x, y, touch, radius;
  };
  // p_Touch(84, 100, 472, 24) takes 6 more on the left and top, 12 on the right and bottom;
  // p_MouseIn_Radius(0, 0, 6, 8) reaches distance 5.
  const Probe probes[] = {{80, 96, 1, 0}, {566, 130, 1, 0}, {77, 110, 0, 0}, {3, 4, 0, 1}, {4, 4, 0, 0}};
  for (const Probe& p : probes) {
    game->m_TouchDown[0] = 1, game->m_TouchX[0] = p.x, game->m_TouchY[0] = p.y;
    EXPECT_EQ(game->p_Touch(84, 100, 472, 24), p.touch) << p.x << "," << p.y;
    EXPECT_EQ(game->p_MouseIn_Radius(0, 0, 6, 8), p.radius) << p.x << "," << p.y;
  }
  game->m_TouchDown[0] = 0;

  // The pen trail and p_Button0 append like every other record: never past the queue.
  game->m_DrawCount = kLastRecordStart - 3 * kRecordFloats;
  for (int i = 0; i < kPenTrailLength; ++i) game->p_PenTrail();
  game->p_Button0(97, 10, 10, 0);
  EXPECT_EQ(game->m_DrawCount, kLastRecordStart + kRecordFloats);
}

} // namespace
