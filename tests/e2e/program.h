// tests/e2e/program.h — the harness of the end-to-end tests: the real lexorm program in a
// temporary folder, its window found by process id (with or without a window manager), its pixels,
// xdotool input, and what the tests look for in frames and in the saved state.
// Depends on: the lexorm program, X11, xdotool, tests/support (subprocess), stb_image_write (libstb).
#pragma once

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
  // The frame shrunk by `factor` in both directions (box average), written as a PNG; false on failure.
  bool SavePng(const fs::path& file, int factor = 1) const;
};

bool SphereBlue(int r, int g, int b); // the logo's globe
bool White(int r, int g, int b);
bool Cream(int r, int g, int b); // a free tile's face
bool Dark(int r, int g, int b);  // every channel below 80

class Program {
public:
  fs::path dir;
  pid_t pid = -1;
  unsigned long window = 0; // the program's visible window; found again when it is re-opened
  int status = -1;

  // `words`, when given, is the program's word list, and `dataFiles` (paths inside the data
  // folder, "sfx/099.wav") replace those files: the program then runs as a copy of its own
  // beside a data folder that holds the build's data but for them.
  explicit Program(const std::string& stateText = "", const std::string& words = "",
                   std::map<std::string, std::string> dataFiles = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Running();
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
  // The left button pressed at the first point, dragged through the others, let go.
  void Drag(const std::vector<std::pair<int, int>>& points);
  void Click(int x, int y) { Drag({{x, y}}); }
  // The pieces of a drag, for looking at the window in the middle of one.
  void MouseDown(int x, int y);
  void MouseMove(int x, int y);
  void MouseUp();

private:
  _XDisplay* display = nullptr;

  // The window is looked up again when it has gone (the program re-opens it to change its size).
  unsigned long Current();
  unsigned long FindWindow();
  void Focus();
};

// The loading screen: the logo's globe at the centre and "Loading..." in white near the bottom.
bool LoadingScreen(const Frame& f);
// No globe anywhere: the loading screen is over.
bool Loaded(const Frame& f);

// In a 640 x 480 window a board cell is 58 pixels and cell (0, 0) is centred at (146, 103).
std::pair<int, int> CellCentre(int x, int y);
// Cells whose tile stands in place (640 x 480): a free tile's face fills much of the cell.
int TilesInPlace(const Frame& f);
// The game-over overlay darkens the whole 640 x 480 window: here a margin beside the board.
bool Darkened(const Frame& f);

// Every two-letter word AA .. ZZ, packed as the list file holds them.
std::string TwoLetterWords();
// The fields of the saved state text.
std::vector<std::string> StateFields(const fs::path& file);

} // namespace e2e
