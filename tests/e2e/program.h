// tests/e2e/program.h — the end-to-end harness: the real program, its window's pixels, input and state.
#pragma once

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/temp_files.h"

struct _XDisplay;

namespace e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Cell = std::pair<int, int>;
using Chain = std::vector<Cell>;
void Sleep(int ms);
std::string Xdotool(const std::vector<std::string>& args); // its output
inline std::pair<int, int> ScreenSize() {
  std::pair<int, int> size;
  std::istringstream(Xdotool({"getdisplaygeometry"})) >> size.first >> size.second;
  return size;
}
using Colour = bool (*)(int r, int g, int b);
inline bool SphereBlue(int r, int, int b) { return b > 180 && b > r + 60; } // the logo's globe
inline bool White(int r, int g, int b) { return r > 200 && g > 200 && b > 200; }
inline bool Cream(int r, int g, int b) { return r > 200 && g > 180 && b > 140; } // a free tile
inline bool Dark(int r, int g, int b) { return r < 80 && g < 80 && b < 80; }
inline bool Orange(int r, int g, int b) { return r > 150 && g > 60 && g < 170 && b < 90 && r > g + 40; }
inline bool Green(int r, int g, int b) { return g > r + 50 && g > b + 50; }
inline bool Brown(int r, int g, int b) {
  return r > 110 && r < 190 && g > 45 && g < 120 && b < 60 && r > g + 40;
}
inline bool Yellow(int r, int g, int b) { return r > 200 && g > 200 && b < 150; }
struct Frame {
  int w = 0, h = 0;
  std::vector<unsigned> px; // 0xRRGGBB
  bool Test(int x, int y, Colour c) const {
    const unsigned p = px[static_cast<size_t>(y) * w + x];
    return c(p >> 16 & 255, p >> 8 & 255, p & 255);
  }
  int Count(int x0, int y0, int x1, int y1, Colour c) const {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(w, x1); ++x) n += Test(x, y, c);
    return n;
  }
  // Pixels of the rectangle whose colour test differs in the other frame (of the same size).
  int Differ(const Frame& o, int x0, int y0, int x1, int y1, Colour c) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += w != o.w || h != o.h || Test(x, y, c) != o.Test(x, y, c);
    return n;
  }
};
// The frame as an RGB PNG; false when it cannot be written.
bool WritePng(const Frame& f, const fs::path& file);
// `words` replaces the word list and `files` other files of the data folder's top level, by
// name (with either the program runs as a copy beside a data folder of its own); `env` changes
// the environment (ALSOFT_DRIVERS is "null" unless given); with `folder` the program runs there
// and the folder is kept (a data folder already there is used as it is).
struct Launch {
  std::string words;
  std::map<std::string, std::string> env;
  fs::path folder;
  std::map<std::string, std::string> files = {};
};
fs::path BuildData(); // the data folder the build generated
// A copy of the program in `dir` beside a data folder of links to the build's data, but for the
// word list, which holds `words`, and the files named in `instead`, linked to the file given.
void CopyProgram(const fs::path& dir, const std::string& words,
                 const std::map<std::string, fs::path>& instead = {});
class Program {
public:
  fs::path dir;
  pid_t pid = -1;
  unsigned long window = 0;
  int status = -1; // the exit status once ended; 1000 + the signal that ended it
  explicit Program(const Launch& launch = {});
  ~Program();
  Program(const Program&) = delete;
  bool Running();
  bool Exited(int ms = 8000) {
    return Wait([&] { return !Running(); }, ms);
  }
  std::string Output() const { return ReadFile(out_); } // standard output and error
  fs::path StateFile() const { return dir / ".quokkastate"; }
  Frame Grab();
  // Waits are on screens and files that stay, so a slow machine only makes them take longer.
  bool Wait(const std::function<bool()>& done, int ms = 20000) {
    for (auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end; Sleep(5))
      if (done()) return true;
    return done();
  }
  bool WaitFrame(const std::function<bool(const Frame&)>& test, int ms = 20000) {
    Frame f;
    return Wait([&] { return (f = Grab()).w > 0 && test(f); }, ms);
  }
  // Started (the saved state read: "Highscores Loaded" on standard output), then the menu at
  // rest; the loading screen between them lasts a third of a second and is not waited for.
  bool WaitMenu();
  std::pair<int, int> Size(); // the window's, 0 x 0 when it has none
  bool WaitSize(int w, int h) {
    return Wait([&] { return Size() == std::pair{w, h}; });
  }
  // The window focused, the key held 100 ms for the game's updates to see; when it went down.
  Clock::time_point Key(const std::string& key) {
    KeyDown(key);
    const auto down = Clock::now();
    Sleep(100);
    KeyUp(key);
    return down;
  }
  void KeyDown(const std::string& key) { Focus(), Xdotool({"keydown", key}); }
  void KeyUp(const std::string& key) { Xdotool({"keyup", key}); }
  void Drag(const std::vector<Cell>& points);
  // The left button pressed at the first point and moved through the others, held.
  void Press(const std::vector<Cell>& points);
  void Release() { Xdotool({"mouseup", "1"}), Sleep(100); }
  void Click(int x, int y) { Drag({{x, y}}); }
  void Focus() { Xdotool({"windowfocus", std::to_string(Current())}); }
  void Unfocus(); // the focus to the root window
private:
  _XDisplay* display_ = nullptr;
  fs::path out_;
  bool ownsDir_ = true;
  unsigned long Current(); // found again when the program re-opens its window
};
// Each test under jwm with click-to-focus (or the display's own window manager).
class UnderWindowManager : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

private:
  pid_t wm_ = -1;
  std::string conf_;
};
// The globe at the centre and "Loading..." in white 32 virtual pixels above the bottom, where
// the virtual screen is 480 high.
inline bool LoadingScreen(const Frame& f) {
  const int cx = f.w / 2, cy = f.h / 2, s = f.h / 480;
  return f.Count(cx - 40, cy - 40, cx + 40, cy + 40, SphereBlue) > 1000 &&
         f.Count(cx - 60 * s, f.h - 48 * s, cx + 60 * s, f.h - 16 * s, White) > 30;
}
// The intro over, the options gear on the wheel's hub at (38, 416).
inline bool MenuAtRest(const Frame& f) { return !LoadingScreen(f) && f.Count(6, 384, 70, 448, Orange) > 800; }
// The options box's panel reaches the top, at any size.
inline bool OptionsOpen(const Frame& f) {
  const int s = f.h / 480;
  return f.Count(200 * s, 0, 480 * s, 20 * s, Brown) > 5000 * s * s;
}
// White text past x = 300 on the sound row: "Sound : SFX + Music" reaches it, "SFX" does not.
inline int SoundRowTail(const Frame& f) {
  return f.Count(300 * f.h / 480, 128 * f.h / 480, 380 * f.h / 480, 150 * f.h / 480, White);
}
// About 74,000 cream pixels of tiles at 640 x 480; the menu's logo and the pause menu far fewer.
inline bool BoardShown(const Frame& f) {
  return f.Count(0, 0, f.w, f.h, Cream) > 60000 * (f.h / 480.0) * (f.h / 480.0);
}
// Darkened corners, "PAUSED", the resume icon in its ring.
inline bool PauseMenu(const Frame& f) {
  return f.Count(0, 0, 20, 20, Dark) == 400 && f.Count(620, 0, 640, 20, Dark) == 400 &&
         f.Count(0, 460, 20, 480, Dark) == 400 && f.Count(330, 220, 510, 260, White) > 400 &&
         f.Count(44, 176, 84, 216, White) > 300 && f.Count(24, 156, 104, 236, Yellow) > 300;
}
inline Cell CellCentre(int x, int y) { return {146 + 58 * x, 103 + 58 * y}; } // 640 x 480
inline int TilesInPlace(const Frame& f) {
  int n = 0;
  for (int i = 0; i < 49; ++i) {
    const auto [cx, cy] = CellCentre(i % 7, i / 7);
    n += f.Count(cx - 22, cy - 22, cx + 22, cy + 22, Cream) > 600;
  }
  return n;
}
inline bool FullBoard(const Frame& f) { return f.w == 640 && TilesInPlace(f) == 49; }
// The game-over overlay: a margin beside the board, most of it (stars drift over it).
inline bool Darkened(const Frame& f) { return f.Count(0, 280, 60, 400, Dark) > 60 * 120 * 9 / 10; }
// Every two- and three-letter combination of A..Z as the list file packs them (five bits a
// letter, the first lowest, then an integer 0): any chain of two or three tiles is a word.
inline std::string AllShortWords() {
  std::string out;
  auto put = [&](uint32_t v) { out += std::string{char(v), char(v >> 8), 0, 0, 0, 0, 0, 0}; };
  for (uint32_t a = 1; a <= 26; ++a)
    for (uint32_t b = 1; b <= 26; ++b) {
      put(a | b << 5);
      for (uint32_t c = 1; c <= 26; ++c) put(a | b << 5 | c << 10);
    }
  return out;
}
// Its length times the sum of the points printed on its tiles; a blank ("?") counts nothing.
inline int WordScore(const std::string& word) {
  static const int kPoints[26] = {1, 3, 3, 2, 1, 4, 2, 4, 1, 7, 5, 4, 3,
                                  2, 1, 3, 8, 1, 1, 1, 2, 5, 4, 6, 4, 8};
  int sum = 0;
  for (char c : word) sum += c >= 'A' && c <= 'Z' ? kPoints[c - 'A'] : 0;
  return static_cast<int>(word.size()) * sum;
}
// The chains printed as words end: 21 lines "x.0,y.0" each, unused entries at -1.
inline std::vector<Chain> Chains(const std::string& output) {
  std::vector<Chain> chains(1);
  std::istringstream in(output);
  int entries = 0, x = 0, y = 0;
  for (std::string line; std::getline(in, line);) {
    if (std::sscanf(line.c_str(), "%d.0,%d.0", &x, &y) != 2) continue;
    if (x >= 0) chains.back().push_back({x, y});
    if (++entries % 21 == 0) chains.emplace_back();
  }
  chains.pop_back();
  return chains;
}
// The saved state: settings 0..24 and their sum, badges 26..33 and theirs, eight score groups
// of ten (top, last) pairs and a sum (30, 60, 120 seconds first), 100 (word, score) pairs: the
// best and the longest word of each game length.
constexpr size_t kSoundMode = 5, kThirtyTop = 35, kThirtyLast = 36, kSixtyTop = 56, kSixtyLast = 57;
constexpr size_t kWordPairs = 203, kStateFields = 403;
inline std::vector<std::string> Fields(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> fields;
  for (std::string field; std::getline(in, field, '|');) fields.push_back(field);
  return fields;
}
inline std::vector<std::string> StateFields(const fs::path& file) { return Fields(ReadFile(file)); }
// What is wrong with a state text (the field count, a number, a sum), "" when it is whole.
// Numbers are 32-bit as the game writes them; sums wrap in 32 bits.
inline std::string StateProblems(const std::string& text) {
  const std::vector<std::string> f = Fields(text);
  if (text.empty() || text.back() != '|' || f.size() != kStateFields)
    return "the state has " + std::to_string(f.size()) + " fields or is cut short";
  std::vector<uint32_t> v(f.size(), 0);
  for (size_t i = 0; i < kStateFields; ++i) {
    char* end = nullptr;
    const long long n = std::strtoll(f[i].c_str(), &end, 10);
    const bool number = !f[i].empty() && !*end && n >= INT32_MIN && n <= INT32_MAX;
    if ((i < kWordPairs || i % 2 == 0) && !number)
      return "field " + std::to_string(i) + " is no number: " + f[i];
    v[i] = static_cast<uint32_t>(n);
  }
  uint32_t settings = 0, badges = 0;
  for (uint32_t i = 0; i < 25; ++i) settings += i * v[i];
  for (size_t i = 26; i < 34; ++i) badges += v[i];
  if (v[25] != settings) return "the settings sum (field 25) is wrong";
  if (v[34] != badges) return "the badge sum (field 34) is wrong";
  for (uint32_t g = 0; g < 8; ++g) {
    uint32_t sum = 0;
    for (uint32_t k = 0; k < 10; ++k)
      sum += (k + 4) * v[kThirtyTop + 21 * g + 2 * k] + (k + g + 3) * v[kThirtyLast + 21 * g + 2 * k];
    if (v[kThirtyTop + 21 * g + 20] != sum)
      return "the sum of score group " + std::to_string(g) + " (field " +
             std::to_string(kThirtyTop + 21 * g + 20) + ") is wrong";
  }
  return "";
}

} // namespace e2e
