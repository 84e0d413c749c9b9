// tests/e2e/game_test.cpp — the real lexorm program under X, with the data from the build: its
// log lines, the loading screen's pixels, the debug line, reloading after a resize, saving on
// focus loss and on F4, a garbage state file, and a whole game played with the mouse. Each test runs the
// program in its own temporary folder and drives it with xdotool; pixels are read back from the window
// (Xlib). Depends on: the lexorm program, X11, xdotool, tests/support (subprocess).
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/subprocess.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// ============================================================================
// [SECTION] The program, its window and its pixels
// ============================================================================

ProcessResult Xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "/usr/bin/xdotool");
  return RunProcess(args, "", false, 10);
}

struct Frame {
  int w = 0, h = 0;
  std::vector<unsigned> px; // 0xRRGGBB
  unsigned At(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
  // Pixels in the rectangle for which the test holds.
  int Count(int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)>& test) const {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(w, x1); ++x) {
        unsigned p = At(x, y);
        n += test(p >> 16 & 255, p >> 8 & 255, p & 255) ? 1 : 0;
      }
    return n;
  }
};

bool SphereBlue(int r, int, int b) { return b > 180 && b > r + 60; } // the logo's globe
bool White(int r, int g, int b) { return r > 200 && g > 200 && b > 200; }

class Program {
public:
  fs::path dir;
  pid_t pid = -1;
  unsigned long window = 0;
  int status = -1;

  // `words`, when given, is the program's word list: the program then runs as a copy of its
  // own beside a data folder that holds the build's data but for that list.
  explicit Program(const std::string& stateText = "", const std::string& words = "") {
    char name[] = "/tmp/lexorm-e2e-XXXXXX";
    dir = mkdtemp(name);
    if (!stateText.empty()) std::ofstream(dir / ".quokkastate", std::ios::binary) << stateText;
    std::string program = LEXORM_PROGRAM;
    if (!words.empty()) {
      fs::path built = fs::path(LEXORM_PROGRAM).parent_path() / "data";
      fs::create_directory(dir / "data");
      for (const auto& entry : fs::directory_iterator(built))
        if (entry.path().filename() != "Lexorm.txt")
          fs::create_symlink(entry.path(), dir / "data" / entry.path().filename());
      std::ofstream(dir / "data" / "Lexorm.txt", std::ios::binary) << words;
      program = (dir / "lexorm").string();
      fs::copy_file(LEXORM_PROGRAM, program);
    }
    pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(126);
      int fo = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fo, 1);
      dup2(fo, 2);
      setenv("ALSOFT_DRIVERS", "null", 1);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    display = XOpenDisplay(nullptr);
    // Looked for at once: the whole loading screen lasts about a third of a second.
    Wait([&] { return (window = FindWindow()) != 0 || !Running(); }, 10000);
  }
  ~Program() {
    if (Running()) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (display) XCloseDisplay(display);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  bool Running() {
    if (status != -1) return false;
    int s = 0;
    if (waitpid(pid, &s, WNOHANG) != pid) return true;
    status = WIFEXITED(s) ? WEXITSTATUS(s) : 1000 + WTERMSIG(s);
    return false;
  }
  std::string Output() const {
    std::ifstream f(dir / "out.txt");
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  bool StateSaved() const { return fs::exists(dir / ".quokkastate"); }

  Frame Grab() {
    Frame f;
    XWindowAttributes a;
    if (!window || !XGetWindowAttributes(display, window, &a)) return f;
    XImage* img = XGetImage(display, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!img) return f;
    f.w = a.width;
    f.h = a.height;
    f.px.resize(static_cast<size_t>(f.w) * f.h);
    for (int y = 0; y < f.h; ++y)
      for (int x = 0; x < f.w; ++x) f.px[static_cast<size_t>(y) * f.w + x] = XGetPixel(img, x, y) & 0xffffff;
    XDestroyImage(img);
    return f;
  }
  // Grabs frames until one passes the test; false when the time runs out.
  bool WaitFrame(const std::function<bool(const Frame&)>& test, int ms = 8000) {
    for (auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end;) {
      Frame f = Grab();
      if (f.w > 0 && test(f)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  bool Wait(const std::function<bool()>& done, int ms = 8000) {
    for (auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end;) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }
  // The loading screen first, then the menu: the program is up and has loaded everything.
  bool WaitLoaded();
  void Key(const std::string& key) {
    Xdotool({"windowfocus", std::to_string(window)});
    Xdotool({"key", key});
  }
  // A key held long enough for the game's updates to see it held.
  void Hold(const std::string& key) {
    Xdotool({"windowfocus", std::to_string(window)});
    Xdotool({"keydown", key});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Xdotool({"keyup", key});
  }
  // The left button pressed at the first point, dragged through the others, let go.
  void Drag(const std::vector<std::pair<int, int>>& points) {
    const std::string w = std::to_string(window);
    for (size_t i = 0; i < points.size(); ++i) {
      Xdotool(
          {"mousemove", "--window", w, std::to_string(points[i].first), std::to_string(points[i].second)});
      if (i == 0) Xdotool({"mousedown", "1"});
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Xdotool({"mouseup", "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

private:
  Display* display = nullptr;

  // The mapped top-level window titled "Tessel", 0 when there is none yet.
  unsigned long FindWindow() {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    unsigned long found = 0;
    if (!display || !XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
      char* name = nullptr;
      XWindowAttributes a;
      if (XFetchName(display, children[i], &name) && name) {
        if (std::string(name) == "Tessel" && XGetWindowAttributes(display, children[i], &a) &&
            a.map_state == IsViewable)
          found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }
};

// The loading screen: the logo's globe at the centre and "Loading..." in white near the bottom.
bool LoadingScreen(const Frame& f) {
  int cx = f.w / 2, cy = f.h / 2;
  return f.Count(cx - 40, cy - 40, cx + 40, cy + 40, SphereBlue) > 1000 &&
         f.Count(cx - 60, f.h - 48, cx + 60, f.h - 16, White) > 30;
}
// The menu's backdrop alone: no globe anywhere.
bool Loaded(const Frame& f) { return f.Count(0, 0, f.w, f.h, SphereBlue) == 0; }

bool Program::WaitLoaded() { return WaitFrame(LoadingScreen, 4000) && WaitFrame(Loaded); }

// In a 640 x 480 window a board cell is 58 pixels and cell (0, 0) is centred at (146, 103).
std::pair<int, int> CellCentre(int x, int y) { return {146 + 58 * x, 103 + 58 * y}; }
bool Cream(int r, int g, int b) { return r > 200 && g > 180 && b > 140; } // a free tile's face
// Cells whose tile stands in place: a free tile's face fills much of the cell.
int TilesInPlace(const Frame& f) {
  int n = 0;
  for (int x = 0; x < 7; ++x)
    for (int y = 0; y < 7; ++y) {
      auto [cx, cy] = CellCentre(x, y);
      n += f.Count(cx - 22, cy - 22, cx + 22, cy + 22, Cream) > 600;
    }
  return n;
}
// The game-over overlay darkens the whole window: here a margin beside the board, below the
// overlay's bars (stars drift there, so most of it, not all).
bool Darkened(const Frame& f) {
  return f.Count(0, 280, 60, 400, [](int r, int g, int b) { return r < 80 && g < 80 && b < 80; }) >
         60 * 120 * 9 / 10;
}

// Every two-letter word AA .. ZZ, packed as the list file holds them.
std::string TwoLetterWords() {
  std::string out;
  for (int a = 1; a <= 26; ++a)
    for (int b = 1; b <= 26; ++b) {
      const unsigned first = a | b << 5;
      for (unsigned v : {first, 0u})
        for (int k = 0; k < 4; ++k) out += static_cast<char>(v >> (8 * k) & 0xff);
    }
  return out;
}

// The fields of the saved state text.
std::vector<std::string> StateFields(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> fields;
  for (std::string field; std::getline(in, field, '|');) fields.push_back(field);
  return fields;
}

// ============================================================================
// [SECTION] Checks
// ============================================================================

TEST(Game, StartsWithTheLoadingScreenThenLoads) {
  Program p;
  ASSERT_NE(p.window, 0u) << p.Output();
  EXPECT_TRUE(p.WaitFrame(LoadingScreen, 4000)) << "no loading screen seen";
  EXPECT_TRUE(p.WaitFrame(Loaded)) << "loading did not finish";
  std::string out = p.Output();
  EXPECT_NE(out.find("opening openal device"), std::string::npos) << out;
  EXPECT_NE(out.find("Highscores Loaded"), std::string::npos) << out;
  EXPECT_EQ(out.find("not found"), std::string::npos) << out; // data folder and word list found
  EXPECT_TRUE(p.Running());
}

TEST(Game, F1ShowsTheDebugLine) {
  Program p;
  ASSERT_NE(p.window, 0u);
  ASSERT_TRUE(p.WaitLoaded());
  auto debugLine = [](const Frame& f) { return f.Count(10, f.h - 24, 220, f.h, White); };
  EXPECT_EQ(debugLine(p.Grab()), 0);
  p.Key("F1");
  EXPECT_TRUE(p.WaitFrame([&](const Frame& f) { return debugLine(f) > 20; }));
  p.Key("F1");
  EXPECT_TRUE(p.WaitFrame([&](const Frame& f) { return debugLine(f) == 0; }));
}

TEST(Game, ResizingReloadsAndComesBack) {
  Program p;
  ASSERT_NE(p.window, 0u);
  ASSERT_TRUE(p.WaitLoaded());
  Xdotool({"windowsize", std::to_string(p.window), "800", "600"});
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return f.w == 800 && LoadingScreen(f); }, 4000));
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return f.w == 800 && Loaded(f); }));
  EXPECT_TRUE(p.Running()) << p.Output();
}

TEST(Game, FocusLossSuspendsAndSaves) {
  Program p;
  ASSERT_NE(p.window, 0u);
  ASSERT_TRUE(p.WaitLoaded());
  EXPECT_FALSE(p.StateSaved());
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  std::string root = std::to_string(DefaultRootWindow(d));
  XCloseDisplay(d);
  Xdotool({"windowfocus", root});
  EXPECT_TRUE(p.Wait([&] { return p.StateSaved(); }));
  EXPECT_TRUE(p.Running());
}

TEST(Game, F4EndsWithStatusZeroAndSaves) {
  Program p;
  ASSERT_NE(p.window, 0u);
  ASSERT_TRUE(p.WaitLoaded());
  ASSERT_FALSE(p.StateSaved());
  p.Key("F4");
  ASSERT_TRUE(p.Wait([&] { return !p.Running(); }));
  EXPECT_EQ(p.status, 0) << p.Output();
  EXPECT_TRUE(p.StateSaved());
}

TEST(Game, GarbageStateFileDoesNotStopTheGame) {
  std::string garbage = "\x01\xff\xfe garbage ;;;; 99999999999999999999 ";
  for (int i = 0; i < 200; ++i) garbage += static_cast<char>((i * 37) & 0xff);
  Program p(garbage);
  ASSERT_NE(p.window, 0u) << p.Output();
  EXPECT_TRUE(p.WaitLoaded()) << p.Output();
  EXPECT_TRUE(p.Running()) << p.Output();
  p.Key("F4");
  ASSERT_TRUE(p.Wait([&] { return !p.Running(); }));
  EXPECT_EQ(p.status, 0) << p.Output();
}

TEST(Game, AWholeGamePlayedWithTheMouseEntersTheScoreTables) {
  Program p("", TwoLetterWords());
  ASSERT_NE(p.window, 0u) << p.Output();
  ASSERT_TRUE(p.WaitLoaded()) << p.Output();
  p.Hold("space"); // the confirm control starts a game of 60 seconds
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return TilesInPlace(f) == 49; }, 5000)) << "no board";
  const auto started = Clock::now();

  // Any two neighbouring tiles are a word; two words, in case one pair were two blanks.
  p.Drag({CellCentre(0, 6), CellCentre(1, 6)});
  p.Drag({CellCentre(5, 0), CellCentre(6, 1)});
  EXPECT_TRUE(p.Wait([&] {
    const std::string out = p.Output();
    return out.find("0.0,6.0\n1.0,6.0\n") != std::string::npos &&
           out.find("5.0,0.0\n6.0,1.0\n") != std::string::npos;
  })) << p.Output();

  ASSERT_TRUE(p.WaitFrame(Darkened, 70000)) << "no game-over overlay";
  EXPECT_GT(Clock::now() - started, std::chrono::seconds(58));
  ASSERT_TRUE(p.Wait([&] { return p.StateSaved(); }, 5000)) << "the score was not saved";
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return !Darkened(f) && TilesInPlace(f) == 0; })) << "no menu";
  // The 60-second tables: top ten from field 56 and last ten from field 57, in pairs.
  const std::vector<std::string> fields = StateFields(p.dir / ".quokkastate");
  ASSERT_GT(fields.size(), 76u);
  EXPECT_GT(std::atoi(fields[56].c_str()), 0) << fields[56];
  EXPECT_EQ(fields[57], fields[56]);
  EXPECT_TRUE(p.Running()) << p.Output();
}

} // namespace
