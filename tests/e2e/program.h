// tests/e2e/program.h — the harness of the end-to-end tests: the real lexorm program in a
// temporary folder, its window found by process id (with or without a window manager), its pixels,
// xdotool input, a window manager for tests that want one, and what the tests look for in frames
// and in the saved state.
// Depends on: the lexorm program, X11, xdotool, jwm, GoogleTest, tests/support (subprocess),
// stb_image_write (libstb).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "tests/support/subprocess.h"

struct _XDisplay; // Xlib's Display

namespace e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The data folder the build generated beside the program.
fs::path BuiltData();

// Runs xdotool with the arguments.
ProcessResult Xdotool(std::vector<std::string> args);

// One window's pixels.
struct Frame {
  int w = 0, h = 0;
  std::vector<unsigned> px; // 0xRRGGBB
  unsigned At(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
  // Pixels in the rectangle for which the test holds.
  int Count(int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)>& test) const;
  // The test's answer for each pixel of the rectangle, row by row, in a 640 x 480 frame (all
  // false in a frame of another size, so that a full-screen frame reads as changed ink).
  std::vector<bool> Ink(int x0, int y0, int x1, int y1, bool (*test)(int, int, int)) const;
  // The frame shrunk by `factor` in both directions (box average), written as a PNG; false on failure.
  bool SavePng(const fs::path& file, int factor = 1) const;
};

// Pixels that differ between two Ink() masks.
int InkDiffer(const std::vector<bool>& a, const std::vector<bool>& b);

bool SphereBlue(int r, int g, int b); // the logo's globe
bool White(int r, int g, int b);
bool Cream(int r, int g, int b);  // a free tile's face
bool Dark(int r, int g, int b);   // every channel below 80
bool Orange(int r, int g, int b); // the gears
bool Green(int r, int g, int b);  // the play button
bool Brown(int r, int g, int b);  // the options box
bool Yellow(int r, int g, int b); // the pause menu's selection ring

// How a program is started. `words`, when given, is the program's word list, and `dataFiles`
// (paths inside the data folder, "sfx/099.wav") replace those files: the program then runs as a
// copy of its own beside a data folder that holds the build's data but for them. `env` is set
// for the program (an empty value removes the variable); ALSOFT_DRIVERS is "null" unless given.
// With `folder` the program runs there, beside whatever the folder holds, and the folder is left
// in place afterwards; otherwise in a temporary folder of its own, removed afterwards.
struct Launch {
  std::string state; // the saved state to start from; none when empty
  std::string words;
  std::map<std::string, std::string> dataFiles;
  std::map<std::string, std::string> env;
  fs::path folder;
};

class Program {
public:
  fs::path dir;
  pid_t pid = -1;
  unsigned long window = 0; // the program's visible window; found again when it is re-opened
  int status = -1;          // the exit status once it has ended; 1000 + the signal that ended it

  explicit Program(const Launch& launch);
  explicit Program(const std::string& stateText = "", const std::string& words = "",
                   std::map<std::string, std::string> dataFiles = {})
      : Program(Launch{stateText, words, std::move(dataFiles), {}, {}}) {}
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Running();
  // Waits for the program to end by itself; false when it still runs after `ms`.
  bool Exited(int ms = 8000);
  // Standard output and error together.
  std::string Output() const;
  bool StateSaved() const { return fs::exists(dir / ".quokkastate"); }
  fs::path StateFile() const { return dir / ".quokkastate"; }

  // The program's windows with their sizes and states, for messages.
  std::string Windows();
  // The window's size, {0, 0} while it has none.
  std::pair<int, int> WindowSize();
  Frame Grab();
  // Grabs frames until one passes the test; false when the time runs out.
  bool WaitFrame(const std::function<bool(const Frame&)>& test, int ms = 8000);
  bool Wait(const std::function<bool()>& done, int ms = 8000);
  // The loading screen first, then the menu: the program is up and has loaded everything.
  bool WaitLoaded();

  // A key pressed and let go at once (enough for the hot keys, which count presses).
  void Key(const std::string& key);
  // A key held long enough for the game's updates to see it held.
  void Hold(const std::string& key);
  // A key pressed, or let go, alone.
  void KeyDown(const std::string& key);
  void KeyUp(const std::string& key);
  // The left button pressed at the first point, dragged through the others, let go.
  void Drag(const std::vector<std::pair<int, int>>& points);
  void Click(int x, int y) { Drag({{x, y}}); }
  // The pieces of a drag, for looking at the window in the middle of one.
  void MouseDown(int x, int y);
  void MouseMove(int x, int y);
  void MouseUp();
  // Gives the keyboard focus to the program's window, or takes it away (to the root window).
  void Focus();
  static void Unfocus();

private:
  _XDisplay* display = nullptr;
  fs::path outFile;
  bool ownsDir = true;

  // The window is looked up again when it has gone (the program re-opens it to change its size).
  unsigned long Current();
  unsigned long FindWindow();
};

// ============================================================================
// The window manager
// ============================================================================

// Whether some client redirects the root window's structure requests: a window manager runs.
bool WindowManagerRunning();
// Removes what a stopped window manager leaves on the root window (see program.cpp).
void ClearWindowManagerTraces();
// The desktop's size: what full screen switches to.
std::pair<int, int> ScreenSize();

// A test fixture: each test runs under jwm with click-to-focus, started against the current
// display; on a display that has a window manager already (a developer's desktop) jwm cannot
// start and the test runs under that one.
class UnderWindowManager : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

private:
  pid_t wm_ = -1;
  std::string conf_;
  void StopWindowManager();
};

// ============================================================================
// What the tests look for
// ============================================================================

// The loading screen: the logo's globe at the centre and "Loading..." in white near the bottom.
bool LoadingScreen(const Frame& f);
// No globe anywhere: the loading screen is over.
bool Loaded(const Frame& f);
// The menu at rest: its intro is over and the options gear sits on the wheel's hub at (38, 416).
bool MenuAtRest(const Frame& f);
// The options box has slid all the way up: its brown panel reaches the top of the window.
bool OptionsOpen(const Frame& f);
// The sound row of the options box in a window of any size: white pixels of its text past
// x = 300, which "Sound : SFX + Music" reaches and the shorter texts of the other modes do not.
int SoundRowTail(const Frame& f);
// The board in a window of any size: tile faces in the cream of 49 tiles at that scale.
bool BoardShown(const Frame& f);
// The pause menu: darkened corners, "PAUSED", the resume icon in its yellowish ring (640 x 480).
bool PauseMenu(const Frame& f);

// In a 640 x 480 window a board cell is 58 pixels and cell (0, 0) is centred at (146, 103).
std::pair<int, int> CellCentre(int x, int y);
// Cells whose tile stands in place (640 x 480): a free tile's face fills much of the cell.
int TilesInPlace(const Frame& f);
// The game-over overlay darkens the whole 640 x 480 window: here a margin beside the board.
bool Darkened(const Frame& f);

// Every two-letter word AA .. ZZ, packed as the list file holds them.
std::string TwoLetterWords();

// ============================================================================
// The saved state
// ============================================================================

// The fields of the saved state text.
std::vector<std::string> StateFields(const fs::path& file);
std::vector<std::string> SplitState(const std::string& text);

// Field indices of the saved state: settings 0..24 and their checksum, the badge words 26..33
// and theirs, then eight score groups of ten (top, last) pairs and a checksum each — the 30-,
// 60- and 120-second groups first — then 100 (word, score) pairs: the best and the longest word
// of each game length, 30 seconds first.
constexpr size_t kSoundMode = 5, kSettingsSum = 25;
constexpr size_t kThirtyTop = 35, kThirtyLast = 36, kSixtyTop = 56, kSixtyLast = 57;
constexpr size_t kWordPairs = 203;   // (word, score): best of 30 s, longest of 30 s, best of 60 s...
constexpr size_t kStateFields = 403; // each ended by "|"

// A state text the program accepts: every setting 0 but the sound mode, no badges, the score
// tables and word records as given (game lengths 0, 1, 2: 30, 60 and 120 seconds).
struct SavedState {
  int soundMode = 1;
  int top[3][10] = {};
  int last[3][10] = {};
  std::string bestWord[3], longestWord[3];
  int bestScore[3] = {}, longestScore[3] = {};
  std::string Text() const;
};

// What is wrong with a saved state text — the field count, a checksum, a score that is not a
// number — or "" when it is one whole save.
std::string StateProblems(const std::string& text);

// The file's bytes; "" when it cannot be read.
std::string ReadFile(const fs::path& file);

} // namespace e2e
