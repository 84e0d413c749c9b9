// tests/game/play_fixture.h — the game driven through its updates: fixture, keys, pointer and drawn text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "graphics/drawing.h"
#include "tests/game/game_support.h"
#include "tests/support/runtime_output.h"

namespace play {

using Ints = std::vector<int>;
using Floats = std::vector<float>;
// Space selects, X completes, C cancels, Escape pauses (back), F2 hides the display.
constexpr int kSelect = 32, kComplete = 88, kCancel = 67, kEscape = 27, kHide = 113, kEnter = 13;
constexpr int kUp = 38, kRight = 39, kLeft = 37, kDown = 40;
constexpr float kCell = 58, kX0 = 146, kY0 = 103; // at 640 x 480: cell (0, 0) centred at (146, 103)
constexpr int kFontSlot = 90;                     // the font's image slot: its records are glyphs
inline RecordingAudio* audio = nullptr;
inline RecordingGraphics* graphics = nullptr;

inline std::string Word(const String& s) { return s.ToUtf8(); }

class Play : public ::testing::Test {
protected:
  c_MyApp* game = Game();
  static inline std::string startUp; // what the first two starts printed
  static void SetUpTestSuite() {
    if (audio) return;
    Game(); // the globals first: they clear the devices
    zu_graphics_SetGraphicsDevice(graphics = new RecordingGraphics); // no window: nothing reaches a screen
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
    host->clock = 100000, host->tick = 0, host->stateInMemory = true, host->padButtons = 0;
    Resize(640, 480);
    const int sizes[] = {270, 7, 10, 285, 64, 64, 291, 32, 32}; // font, buttons, icons: cell sizes
    for (int i = 0; i < 9; i += 3)
      game->m_ImageInfo[sizes[i]] = sizes[i + 1], game->m_ImageInfo[sizes[i] + 1] = sizes[i + 2];
    game->m_LoadStep = 0, game->m_Settings[5] = 1, game->m_GameMode = 1, game->m_GameLength = 2,
    game->m_MenuSel = 1;
    game->m_MenuAngle = game->m_MenuSpin = -32, game->m_MenuSpinVel = 0, game->m_MenuFocus = 1,
    game->m_MenuIntro = 0;
    game->m_Paused = game->m_HideHud = game->m_GameOverTimer = game->m_KeyLatch = game->m_TouchLatch = 0;
    game->m_BackLatch = game->m_MenuTapPending = game->m_GameEnded = 0, game->m_SidePanelX = 0;
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
  void Lay(const std::vector<std::string>& rows = std::vector<std::string>(7, "AAAAAAA")) { // settled, free
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
  // "x,y" of the player's fields i and i + 1: the cursor (1), the last tile taken (3).
  std::string XY(int i) {
    return std::to_string(int(game->m_Player[i])) + "," + std::to_string(int(game->m_Player[i + 1]));
  }
  // Updates while `busy` holds, `most` at most; how many.
  template <class F> int UpdatesWhile(F busy, int most = 200) {
    int n = 0;
    for (; n < most && busy(); ++n) Update();
    return n;
  }
  int UpdatesToMenu() {
    return UpdatesWhile([&] { return game->m_GameMode != 1; });
  }
  // The chain's cells as "x,y" pairs, in order.
  std::string ChainCells() {
    std::string out;
    for (int i = 0; i < kChainEntries; ++i)
      if (game->m_Player[PL_CHAIN_X + i] >= 0)
        out += (out.empty() ? "" : " ") + std::to_string(int(game->m_Player[PL_CHAIN_X + i])) + "," +
               std::to_string(int(game->m_Player[PL_CHAIN_Y + i]));
    return out;
  }
  // Pointer events (4 down, 6 move, 5 up), each seen by an update.
  void Pointer(int event, float x, float y) { zu_input_device->p_MouseEvent(event, 0, x, y), Update(); }
  void Touch(int event, int x, int y, float dx = 0) { Pointer(event, kX0 + kCell * x + dx, kY0 + kCell * y); }
  void Click(float x, float y) { Pointer(4, x, y), Pointer(5, 0, 0); }
  void Tap(int key) { Press(key), Update(), Release(key), Update(); }
  int Plays(int effect) {
    return static_cast<int>(std::count(audio->effects.begin(), audio->effects.end(), effect));
  }
  int Calls(const std::string& call) {
    return static_cast<int>(std::count(audio->calls.begin(), audio->calls.end(), call));
  }
  // The font's glyphs on the line y (any line for y < 0) between x0 and x1 (spaces are not drawn).
  std::string TextAt(float y, float x0 = 0, float x1 = 640) {
    std::string out;
    for (int i = 0; i < Records(); ++i)
      if (Record(i)[0] == kFontSlot && (y < 0 || std::fabs(Record(i)[2] - y) < 0.5f) && Record(i)[1] >= x0 &&
          Record(i)[1] <= x1)
        out += static_cast<char>(32 + Record(i)[6]);
    return out;
  }
  // Rectangles recorded in the colour (r, g, b).
  int Rects(float r, float g, float b) {
    int n = 0;
    for (int i = 0; i < Records(); ++i) n += Fields(i, {0, 10, 11, 12}) == Floats{KIND_RECT, r, g, b};
    return n;
  }
  void PastTheEnd(int ms = 1) { host->clock = static_cast<int>(game->m_Player[98]) + ms - 16; }
};

} // namespace play
