// tests/game/shell_test.cpp — the game shell without a window: start-up, the virtual screen,
// detail levels, the update (hot keys, latches), loading and its restart, suspend and resume,
// ending with progress saved, and the replay of the draw queue through a counting device.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "graphics/drawing.h"
#include "tests/game/game_support.h"
#include "tests/support/runtime_output.h"

namespace {

using Ints = std::vector<int>;

CountingDevice* device = nullptr;
std::string startOutput; // what start-up printed

bool Saved() { return std::filesystem::exists(".quokkastate"); }

// One started game for the whole process; every case begins in the menu at 640 x 480.
class Shell : public ::testing::Test {
protected:
  c_MyApp* game = Game();
  static void SetUpTestSuite() {
    if (device) return;
    c_MyApp* game = Game(); // the globals first: they clear the devices
    zu_graphics_SetGraphicsDevice(device = new CountingDevice);
    zu_audio_SetAudioDevice(new gxtkAudio);
    zu_input_SetInputDevice((new c_InputDevice)->m_new());
    startOutput = StdoutOf([game] { game->p_OnCreate(); });
  }
  void SetUp() override {
    Resize(640, 480);
    game->m_LoadStep = game->m_OptionsOpen = game->m_SidePanelOpen = game->m_KeyLatch = game->m_TouchLatch =
        0;
    game->m_GameMode = 1;
    zu_Tessel_DebugMode = 0;
  }
  void Resize(int w, int h) { // a new device size, and the frame that notices it
    host->width = w;
    host->height = h;
    zu_app_ValidateDeviceWindow(true);
    Render();
  }
  void Render() {
    zu_graphics_BeginRender();
    game->p_OnRender();
    zu_graphics_EndRender();
  }
  void Update() {
    host->clock += 16;
    zu_input_device->p_BeginUpdate();
    game->p_OnUpdate();
    zu_input_device->p_EndUpdate();
  }
};

// [SECTION] Start-up, virtual screen, detail level, loading

TEST_F(Shell, AMissingDataFolderIsReportedOnceWithThePathLookedFor) {
  const std::string line = "Data folder not found: " + host->dataDir.string() + "/\n";
  EXPECT_NE(startOutput.find(line), std::string::npos) << startOutput;
  EXPECT_NE(startOutput.find("Highscores Loaded\n"), std::string::npos) << startOutput;
  EXPECT_EQ(StdoutOf([this] { game->p_OnCreate(); }).find("Data folder"), std::string::npos);
}

TEST_F(Shell, VirtualScreenFitsTheLargerScaleAndAZeroSizeWindowKeepsIt) {
  // Device size, then scale and virtual size: 640 x 480 fitted, 1.5 times larger in portrait.
  const float cases[][5] = {
      {640, 480, 1, 640, 480}, {480, 640, 640.0f / 720, 540, 720}, {1280, 720, 2, 640, 360}};
  for (const auto& c : cases) {
    Resize(static_cast<int>(c[0]), static_cast<int>(c[1]));
    EXPECT_NEAR(game->m_ScaleX, c[2], 1e-4) << c[0] << "x" << c[1];
    EXPECT_EQ(game->m_ScaleY, game->m_ScaleX);
    EXPECT_NEAR(zu_Tessel_jscrw, c[3], 1e-2) << c[0] << "x" << c[1];
    EXPECT_NEAR(zu_Tessel_jscrh, c[4], 1e-2) << c[0] << "x" << c[1];
    EXPECT_EQ(game->m_Landscape, c[4] <= c[3] ? 1 : 0);
  }
  // Minimised after 1280 x 720: no division by zero, no reload, and none when restored.
  game->m_LoadStep = 0;
  const int sizes[][2] = {{0, 0}, {1280, 0}, {0, 720}, {1280, 720}};
  for (const auto& size : sizes) {
    Resize(size[0], size[1]);
    Update(); // the pointer snapshot divides by the scale and the device width
    EXPECT_EQ(game->m_LoadStep, 0) << size[0] << "x" << size[1];
    EXPECT_EQ((std::vector<float>{game->m_ScaleX, zu_Tessel_jscrh}), (std::vector<float>{2, 360}));
  }
}

TEST_F(Shell, DetailLevelThresholds) {
  // Width, height, level: 2 from 631 pixels either way, 4 from 1231; minimised keeps the level.
  const int cases[][3] = {{630, 470, 1},  {631, 470, 2},  {470, 631, 2}, {1230, 1000, 2},
                          {1231, 700, 4}, {700, 1231, 4}, {0, 0, 4}};
  for (const auto& c : cases) {
    Resize(c[0], c[1]);
    game->p_PickDetailLevel();
    EXPECT_EQ(game->m_HDLevel, c[2]) << c[0] << "x" << c[1];
    EXPECT_FLOAT_EQ(game->m_HDScale, 1.0f / c[2]);
  }
  zu_Tessel_UseHDImages = 0;
  Resize(1300, 1300);
  game->p_PickDetailLevel();
  EXPECT_EQ(game->m_HDLevel, 1);
  zu_Tessel_UseHDImages = 1;
}

TEST_F(Shell, LoadingTakesTwentyUpdatesAndRestartsOnResize) {
  game->p_Reload();
  int updates = 0;
  for (; game->m_LoadStep > 0 && updates < 100; ++updates) Update();
  EXPECT_EQ(updates, 20);
  game->m_GameMode = 10;
  Resize(800, 600);
  EXPECT_EQ(game->m_LoadStep, 1);
  EXPECT_EQ(game->m_GameMode, 10); // the screen that was showing carries on afterwards
}

// [SECTION] Hot keys, latches, ending

TEST_F(Shell, F1TogglesTheDebugLine) {
  Update();
  const int plain = game->m_DrawCount;
  Press(112);
  Update();
  EXPECT_GT(game->m_DrawCount, plain); // the line's glyphs follow the screen's records
  EXPECT_NEAR(Record(Records() - 1)[2], zu_Tessel_jscrh - 16, 16);
  Update();
  Release(112);
  EXPECT_EQ(zu_Tessel_DebugMode, 1); // held, not pressed again
  Press(112);
  Update();
  Release(112);
  EXPECT_EQ(zu_Tessel_DebugMode, 0);
}

TEST_F(Shell, BackKeyWithSidePanelOpenIsConsumedOnceAndVirtualPressesLastOneUpdate) {
  game->m_SidePanelOpen = game->m_VButtons[3] = 1;
  game->m_VButtons[5] = 2; // held
  Press(27);               // Escape is the back control
  Update();
  EXPECT_EQ((Ints{game->m_SidePanelOpen, game->m_KeyLatch, game->m_TouchLatch}), (Ints{0, 1, 1}));
  EXPECT_EQ(At(game->m_VButtons, {3, 5}), (Ints{0, 2}));
  game->m_SidePanelOpen = 1; // held: does not act again
  Update();
  EXPECT_EQ(game->m_SidePanelOpen, 1);
  Release(27);
  game->m_VButtons[5] = 0;
  Update();
  EXPECT_EQ(game->m_KeyLatch, 0);
}

using ShellDeathTest = Shell;

TEST_F(ShellDeathTest, F4CloseAndBackSaveThenEndWithStatusZero) {
  const std::function<void()> ends[] = {[this] { Press(115), Update(); }, [this] { Press(432), Update(); },
                                        [this] { game->p_OnClose(); }, [this] { game->p_OnBack(); }};
  for (int way = 0; way < 4; ++way) {
    std::remove(".quokkastate");
    // The way out runs in a child; the exit with status 3 is reached only when it returns.
    EXPECT_EXIT((ends[way](), std::exit(3)), ::testing::ExitedWithCode(0), "") << way;
    EXPECT_TRUE(Saved()) << way;
  }
}

// [SECTION] Pausing and clearing

TEST_F(Shell, SuspendInAGameComesBackPausedAndATouchOnThePauseIconPauses) {
  game->m_GameMode = 10;
  game->m_Paused = 0;
  game->m_VButtons[4] = 2;
  std::remove(".quokkastate");
  game->p_OnSuspend();
  EXPECT_EQ(zu_app__updateRate, 5);
  EXPECT_TRUE(Saved());
  game->p_OnResume();
  EXPECT_EQ(zu_app__updateRate, 60);
  EXPECT_EQ((Ints{game->m_Paused, game->m_PauseMenuShown, game->m_PauseSlide, game->m_VButtons[4]}),
            (Ints{1, 1, static_cast<int>(zu_Tessel_jscrh / 2), 0}));

  game->m_Paused = 0;
  game->m_ImageInfo[3 * 97] = game->m_ImageInfo[3 * 97 + 1] = 32; // the icon at (16, 16) spans 0..32
  game->m_HDScale = game->m_Down = 1;
  game->m_TouchY[0] = 16;
  for (int x : {40, 20}) {
    game->m_TouchX[0] = x;
    game->p_InGame();
    EXPECT_EQ(game->m_Paused + game->m_TouchLatch, x < 32 ? 2 : 0) << x;
  }
  game->m_GameMode = 1; // in the menu it comes back unpaused
  game->m_Down = 0;
  game->p_OnSuspend();
  game->p_OnResume();
  EXPECT_EQ(game->m_Paused + game->m_PauseMenuShown, 0);
}

TEST_F(Shell, FlushGameClearsTheGameState) {
  game->m_Objects[5099] = game->m_Grid[kGridFloats - 1] = game->m_Player[499] = game->m_Particles[2490] = 1;
  game->m_Player[500] = 7; // beyond the cleared part
  game->m_Score = game->m_Paused = game->m_GameEnded = 5;
  game->p_FlushGame();
  EXPECT_EQ(game->m_Objects[5099] + game->m_Grid[kGridFloats - 1] + game->m_Player[499] +
                game->m_Particles[2490],
            0);
  EXPECT_EQ(game->m_Score + game->m_Paused + game->m_GameEnded, 0);
  EXPECT_EQ(game->m_Player[500], 7);
}

// [SECTION] Draw queue replay

TEST_F(Shell, ReplayScalesEveryRecordOfAFullQueueAndNoMore) {
  Resize(1280, 960);
  game->p_CLS2D(0, 0, 0, 1);
  game->p_Oval(100, 100, 5, 5);
  game->p_Line(0, 0, 50, 50);
  gc_assign(game->m_Images[7], nullptr);
  game->p_DrawImg(7, 10, 10, 0); // empty slot: nothing
  game->p_Rect(10, 20, 30, 40);
  device->calls.clear();
  Render();
  EXPECT_EQ(device->calls, "rolr"); // the clearing rectangle first
  EXPECT_EQ(device->lastRect, (std::vector<float>{20, 40, 60, 80}));

  for (int i = 0; i < 2600; ++i) game->p_Rect(static_cast<float>(i % 600), 10, 4, 4);
  device->calls.clear();
  Render();
  EXPECT_EQ(device->calls, "rol" + std::string(2499 - 3, 'r'));
  game->m_DrawQueue[kDrawQueueFloats - 15] = KIND_RECT; // the 2500th slot, never recorded into
  game->m_DrawCount = kDrawQueueFloats + 1500;          // a count beyond the queue
  device->calls.clear();
  Render();
  EXPECT_EQ(device->calls, "rol" + std::string(2500 - 3, 'r'));
}

} // namespace
