// tests/game/shell_test.cpp — the game shell without a window: the virtual screen, the image
// detail level, the update order (hot keys, the key latch), the loading sequence and its
// restart, suspend and resume, ending with progress saved, and the replay of the draw queue.
// Depends on: game (c_MyApp, globals), app, graphics (a recording device), audio, host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "app/app.h"
#include "audio/sound.h"
#include "game/globals.h"
#include "game/my_app.h"
#include "graphics/drawing.h"

namespace fs = std::filesystem;

namespace {

// ============================================================================
// [SECTION] A host, a device and one game for the whole process
// ============================================================================

class TestHost : public ZuGame {
public:
  int width = 640, height = 480, clock = 0;
  int GetDeviceWidth() override { return width; }
  int GetDeviceHeight() override { return height; }
  int Millisecs() override { return clock; }
};

// Counts what reaches the device instead of drawing; no OpenGL.
class CountingDevice : public gxtkGraphics {
public:
  int rects = 0, ovals = 0, lines = 0, images = 0;
  float lastRect[4] = {0, 0, 0, 0};
  gxtkSurface* LoadSurface(const String&) override { return nullptr; }
  gxtkSurface* CreateSurface(int, int) override { return nullptr; }
  void SetColor(float, float, float) override {}
  void SetAlpha(float) override {}
  void SetBlend(int) override {}
  void SetScissor(int, int, int, int) override {}
  void SetMatrix(float, float, float, float, float, float) override {}
  void DrawRect(float x, float y, float w, float h) override {
    ++rects;
    lastRect[0] = x, lastRect[1] = y, lastRect[2] = w, lastRect[3] = h;
  }
  void DrawOval(float, float, float, float) override { ++ovals; }
  void DrawLine(float, float, float, float) override { ++lines; }
  void DrawSurface2(gxtkSurface*, float, float, int, int, int, int) override { ++images; }
  void Reset() { rects = ovals = lines = images = 0; }
};

TestHost* host;
CountingDevice* device;
c_MyApp* game;

class Shell : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (game) return;
    char dir[] = "/tmp/lexorm-shell-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_EQ(chdir(dir), 0); // the state file goes here
    setenv("ALSOFT_DRIVERS", "null", 1);
    host = new TestHost;
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    device = new CountingDevice;
    zu_graphics_SetGraphicsDevice(device);
    zu_audio_SetAudioDevice(new gxtkAudio);
    zu_input_SetInputDevice((new c_InputDevice)->m_new());
    game = (new c_MyApp)->m_new();
    game->p_OnCreate();
  }
  void SetUp() override {
    Resize(640, 480);
    Render();
    game->m_LoadStep = 0;
    game->m_GameMode = 1;
    game->m_OptionsOpen = game->m_SidePanelOpen = 0;
    game->m_KeyLatch = game->m_TouchLatch = 0;
    zu_Tessel_DebugMode = 0;
  }
  static void Resize(int w, int h) {
    host->width = w;
    host->height = h;
    zu_app_ValidateDeviceWindow(true);
  }
  static void Render() {
    zu_graphics_BeginRender();
    game->p_OnRender();
    zu_graphics_EndRender();
  }
  static void Update() {
    host->clock += 16;
    zu_input_device->p_BeginUpdate();
    game->p_OnUpdate();
    zu_input_device->p_EndUpdate();
  }
};

// ============================================================================
// [SECTION] Virtual screen and image detail
// ============================================================================

TEST_F(Shell, VirtualScreenFitsTheLargerScale) {
  struct Case {
    int w, h;
    float scale, vw, vh;
    int fit;
  } cases[] = {
      {640, 480, 1, 640, 480, 1}, {1280, 720, 2, 640, 360, 2}, {480, 640, 640.0f / 720, 540, 720, 2}};
  for (const Case& c : cases) {
    Resize(c.w, c.h);
    Render();
    EXPECT_NEAR(game->m_ScaleX, c.scale, 1e-4) << c.w << "x" << c.h;
    EXPECT_EQ(game->m_ScaleY, game->m_ScaleX);
    EXPECT_NEAR(zu_Tessel_jscrw, c.vw, 1e-2) << c.w << "x" << c.h;
    EXPECT_NEAR(zu_Tessel_jscrh, c.vh, 1e-2) << c.w << "x" << c.h;
    EXPECT_EQ(game->m_Landscape, c.vh <= c.vw ? 1 : 0);
  }
}

TEST_F(Shell, MinimisedWindowKeepsTheScreenAndDoesNotReload) {
  Resize(1280, 720);
  Render();
  game->m_LoadStep = 0;
  for (auto size : {std::make_pair(0, 0), std::make_pair(1280, 0), std::make_pair(0, 720)}) {
    Resize(size.first, size.second);
    Render();
    EXPECT_EQ(game->m_LoadStep, 0);
    EXPECT_FLOAT_EQ(game->m_ScaleX, 2);
    EXPECT_FLOAT_EQ(zu_Tessel_jscrh, 360);
    Update(); // the pointer snapshot divides by the scale and the device width
    EXPECT_EQ(game->m_LoadStep, 0);
  }
  Resize(1280, 720); // restored at the same size: still nothing to reload
  Render();
  EXPECT_EQ(game->m_LoadStep, 0);
}

TEST_F(Shell, DetailLevelThresholds) {
  struct Case {
    int w, h, level;
  } cases[] = {{630, 470, 1}, {631, 470, 2}, {470, 631, 2}, {1230, 1000, 2}, {1231, 700, 4}, {700, 1231, 4}};
  for (const Case& c : cases) {
    Resize(c.w, c.h);
    game->p_PickDetailLevel();
    EXPECT_EQ(game->m_HDLevel, c.level) << c.w << "x" << c.h;
    EXPECT_FLOAT_EQ(game->m_HDScale, 1.0f / c.level);
  }
  Resize(0, 0);
  game->p_PickDetailLevel();
  EXPECT_EQ(game->m_HDLevel, 4); // a minimised window keeps its level
  zu_Tessel_UseHDImages = 0;
  Resize(1300, 1300);
  game->p_PickDetailLevel();
  EXPECT_EQ(game->m_HDLevel, 1);
  zu_Tessel_UseHDImages = 1;
}

// ============================================================================
// [SECTION] Loading, hot keys, latches
// ============================================================================

TEST_F(Shell, LoadingTakesTwentyUpdatesAndRestartsOnResize) {
  game->p_Reload();
  ASSERT_EQ(game->m_LoadStep, 1);
  int updates = 0;
  while (game->m_LoadStep > 0 && updates < 100) {
    Update();
    ++updates;
  }
  EXPECT_EQ(updates, 20);
  EXPECT_EQ(game->m_ReservedImage, 81);
  EXPECT_EQ(game->m_ImageInfo[3 * 81], 2048);
  game->m_GameMode = 10;
  Resize(800, 600);
  Render();
  EXPECT_EQ(game->m_LoadStep, 1);
  EXPECT_EQ(game->m_GameMode, 10); // the screen that was showing carries on afterwards
  game->m_GameMode = 1;
}

TEST_F(Shell, F1TogglesTheDebugLine) {
  Update();
  int plain = game->m_DrawCount;
  zu_input_device->p_KeyEvent(1, 112);
  Update();
  zu_input_device->p_KeyEvent(2, 112);
  EXPECT_EQ(zu_Tessel_DebugMode, 1);
  EXPECT_GT(game->m_DrawCount, plain); // the line's glyphs follow the screen's records
  EXPECT_NEAR(game->m_DrawQueue[game->m_DrawCount - 15 + 2], zu_Tessel_jscrh - 16, 16);
  Update();
  EXPECT_EQ(zu_Tessel_DebugMode, 1); // held, not pressed again
  zu_input_device->p_KeyEvent(1, 112);
  Update();
  zu_input_device->p_KeyEvent(2, 112);
  EXPECT_EQ(zu_Tessel_DebugMode, 0);
}

TEST_F(Shell, BackKeyWithSidePanelOpenIsConsumedOnce) {
  game->m_SidePanelOpen = 1;
  zu_input_device->p_KeyEvent(1, 27); // Escape is game key 99
  Update();
  EXPECT_EQ(game->m_SidePanelOpen, 0);
  EXPECT_EQ(game->m_KeyLatch, 1);
  EXPECT_EQ(game->m_TouchLatch, 1);
  game->m_SidePanelOpen = 1; // held: does not act again
  Update();
  EXPECT_EQ(game->m_SidePanelOpen, 1);
  zu_input_device->p_KeyEvent(2, 27);
  Update();
  EXPECT_EQ(game->m_KeyLatch, 0);
  game->m_SidePanelOpen = 0;
}

TEST_F(Shell, VirtualButtonPressesLastOneUpdate) {
  game->m_VButtons[3] = 1;
  game->m_VButtons[5] = 2;
  Update();
  EXPECT_EQ(game->m_VButtons[3], 0);
  EXPECT_EQ(game->m_VButtons[5], 2);
  game->m_VButtons[5] = 0;
}

using ShellDeathTest = Shell;

TEST_F(ShellDeathTest, F4AndCloseSaveThenEndWithStatusZero) {
  for (int key : {115, 432}) {
    std::remove(".quokkastate");
    EXPECT_EXIT(
        {
          zu_input_device->p_KeyEvent(1, key);
          Update();
          std::exit(3); // not reached when the key ends the program
        },
        ::testing::ExitedWithCode(0), "")
        << key;
    EXPECT_TRUE(fs::exists(".quokkastate")) << key;
  }
  std::remove(".quokkastate");
  EXPECT_EXIT(game->p_OnClose(), ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(fs::exists(".quokkastate"));
}

// ============================================================================
// [SECTION] Suspend, resume, pause icon
// ============================================================================

TEST_F(Shell, SuspendInAGameComesBackPausedAtMidScreen) {
  game->m_GameMode = 10;
  game->m_Paused = 0;
  game->m_VButtons[4] = 2;
  std::remove(".quokkastate");
  game->p_OnSuspend();
  EXPECT_EQ(zu_app__updateRate, 5);
  EXPECT_TRUE(fs::exists(".quokkastate"));
  game->p_OnResume();
  EXPECT_EQ(zu_app__updateRate, 60);
  EXPECT_EQ(game->m_Paused, 1);
  EXPECT_EQ(game->m_PauseMenuShown, 1);
  EXPECT_EQ(game->m_PauseSlide, static_cast<int>(zu_Tessel_jscrh / 2));
  EXPECT_EQ(game->m_VButtons[4], 0);
  game->m_GameMode = 1; // in the menu it comes back unpaused
  game->p_OnSuspend();
  game->p_OnResume();
  EXPECT_EQ(game->m_Paused, 0);
  EXPECT_EQ(game->m_PauseMenuShown, 0);
}

TEST_F(Shell, PauseIconTouchPausesTheGame) {
  game->m_GameMode = 10;
  game->m_Paused = 0;
  game->m_ImageInfo[3 * 97] = game->m_ImageInfo[3 * 97 + 1] = 32;
  game->m_HDScale = 1;
  game->m_Down = 1;
  game->m_TouchX[0] = 40; // outside the icon
  game->m_TouchY[0] = 16;
  game->p_InGame();
  EXPECT_EQ(game->m_Paused, 0);
  game->m_TouchX[0] = 20;
  game->p_InGame();
  EXPECT_EQ(game->m_Paused, 1);
  EXPECT_EQ(game->m_TouchLatch, 1);
  game->m_Paused = 0;
  game->m_Down = 0;
  game->m_GameMode = 1;
}

// ============================================================================
// [SECTION] Draw queue replay
// ============================================================================

TEST_F(Shell, ReplayDrawsAFullQueueAndNoMore) {
  game->p_CLS2D(10, 20, 30, 1);
  for (int i = 0; i < 2600; ++i) game->p_Rect(static_cast<float>(i % 600), 10, 4, 4);
  EXPECT_EQ(game->m_DrawCount, 2499 * 15);
  device->Reset();
  Render();
  EXPECT_EQ(device->rects, 1 + 2499); // the clearing rectangle, then every record
  // A count beyond the queue never reads past it.
  game->m_DrawQueue[kDrawQueueFloats - 15] = KIND_RECT; // the 2500th slot, never recorded into
  game->m_DrawCount = kDrawQueueFloats + 1500;
  device->Reset();
  Render();
  EXPECT_EQ(device->rects, 1 + kDrawQueueFloats / 15);
}

TEST_F(Shell, ReplayScalesRecordsAndSkipsEmptySlots) {
  Resize(1280, 960);
  Render();
  game->p_CLS2D(0, 0, 0, 1);
  game->p_Rect(10, 20, 30, 40);
  game->p_Oval(100, 100, 5, 5);
  game->p_Line(0, 0, 50, 50);
  gc_assign(game->m_Images[7], nullptr);
  game->p_DrawImg(7, 10, 10, 0); // empty slot: nothing
  device->Reset();
  Render();
  EXPECT_EQ(device->rects, 2);
  EXPECT_EQ(device->ovals, 1);
  EXPECT_EQ(device->lines, 1);
  EXPECT_EQ(device->images, 0);
  EXPECT_FLOAT_EQ(device->lastRect[0], 20);
  EXPECT_FLOAT_EQ(device->lastRect[1], 40);
  EXPECT_FLOAT_EQ(device->lastRect[2], 60);
  EXPECT_FLOAT_EQ(device->lastRect[3], 80);
}

TEST_F(Shell, FlushGameClearsTheGameState) {
  game->m_Objects[5099] = 1;
  game->m_Grid[4999999] = 1;
  game->m_Player[499] = 1;
  game->m_Player[500] = 7; // beyond the cleared part
  game->m_Score = game->m_Paused = game->m_GameEnded = 5;
  game->p_FlushGame();
  EXPECT_EQ(game->m_Objects[5099], 0);
  EXPECT_EQ(game->m_Grid[4999999], 0);
  EXPECT_EQ(game->m_Player[499], 0);
  EXPECT_EQ(game->m_Player[500], 7);
  EXPECT_EQ(game->m_Score + game->m_Paused + game->m_GameEnded, 0);
  EXPECT_EQ(game->m_ParticleMax, 250);
}

} // namespace
