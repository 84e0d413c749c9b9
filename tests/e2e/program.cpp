// tests/e2e/program.cpp — the end-to-end harness: starting the program, finding its window,
// reading its pixels, sending it input, and the frame and state-file checks the tests share.
// (The window manager is in window_manager.cpp.)
// Depends on: program.h, X11, xdotool, stb_image_write (libstb).
#include "program.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <stb/stb_image_write.h>

namespace e2e {

namespace {

// A window can go between finding it and asking about it (the program re-opens its window to
// change its size): such requests fail and are answered with nothing, not an exit.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

ProcessResult Xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "/usr/bin/xdotool");
  return RunProcess(args, "", false, 10);
}

// ============================================================================
// [SECTION] Frames
// ============================================================================

int Frame::Count(int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)>& test) const {
  int n = 0;
  for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(w, x1); ++x) {
      unsigned p = At(x, y);
      n += test(p >> 16 & 255, p >> 8 & 255, p & 255) ? 1 : 0;
    }
  return n;
}

std::vector<bool> Frame::Ink(int x0, int y0, int x1, int y1, bool (*test)(int, int, int)) const {
  std::vector<bool> ink;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const unsigned p = w == 640 && h == 480 ? At(x, y) : 0;
      ink.push_back(test(p >> 16 & 255, p >> 8 & 255, p & 255));
    }
  return ink;
}

int InkDiffer(const std::vector<bool>& a, const std::vector<bool>& b) {
  int n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
  return n;
}

bool Frame::SavePng(const fs::path& file, int factor) const {
  if (factor < 1 || w < factor || h < factor) return false;
  const int ow = w / factor, oh = h / factor;
  std::vector<unsigned char> rgb(static_cast<size_t>(ow) * oh * 3);
  for (int y = 0; y < oh; ++y)
    for (int x = 0; x < ow; ++x) {
      unsigned sum[3] = {0, 0, 0};
      for (int dy = 0; dy < factor; ++dy)
        for (int dx = 0; dx < factor; ++dx) {
          const unsigned p = At(x * factor + dx, y * factor + dy);
          sum[0] += p >> 16 & 255;
          sum[1] += p >> 8 & 255;
          sum[2] += p & 255;
        }
      for (int c = 0; c < 3; ++c)
        rgb[(static_cast<size_t>(y) * ow + x) * 3 + c] =
            static_cast<unsigned char>(sum[c] / (factor * factor));
    }
  stbi_write_png_compression_level = 8;
  return stbi_write_png(file.c_str(), ow, oh, 3, rgb.data(), ow * 3) != 0;
}

bool SphereBlue(int r, int, int b) { return b > 180 && b > r + 60; }
bool White(int r, int g, int b) { return r > 200 && g > 200 && b > 200; }
bool Cream(int r, int g, int b) { return r > 200 && g > 180 && b > 140; }
bool Dark(int r, int g, int b) { return r < 80 && g < 80 && b < 80; }
bool Orange(int r, int g, int b) { return r > 150 && g > 60 && g < 170 && b < 90 && r > g + 40; }
bool Green(int r, int g, int b) { return g > r + 50 && g > b + 50; }
bool Brown(int r, int g, int b) { return r > 110 && r < 190 && g > 45 && g < 120 && b < 60 && r > g + 40; }
bool Yellow(int r, int g, int b) { return r > 200 && g > 200 && b < 150; }

// ============================================================================
// [SECTION] The program
// ============================================================================

fs::path BuiltData() { return fs::path(LEXORM_PROGRAM).parent_path() / "data"; }

namespace {

// The environment of the program: this process's, with the launch's changes. Made before the
// fork, so that the child only has to call exec.
std::vector<std::string> ChildEnvironment(const std::map<std::string, std::string>& changes) {
  std::map<std::string, std::string> env{{"ALSOFT_DRIVERS", "null"}};
  for (const auto& [name, value] : changes) env[name] = value;
  std::vector<std::string> out;
  for (char** e = ::environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (!eq || env.count(std::string(*e, static_cast<size_t>(eq - *e)))) continue;
    out.emplace_back(*e);
  }
  for (const auto& [name, value] : env)
    if (!value.empty()) out.push_back(name + "=" + value);
  return out;
}

} // namespace

Program::Program(const Launch& launch) {
  if (launch.folder.empty()) {
    char name[] = "/tmp/lexorm-e2e-XXXXXX";
    dir = mkdtemp(name);
  } else {
    dir = launch.folder;
    ownsDir = false;
  }
  if (!launch.state.empty()) std::ofstream(dir / ".quokkastate", std::ios::binary) << launch.state;
  std::string program = LEXORM_PROGRAM;
  std::map<std::string, std::string> dataFiles = launch.dataFiles;
  if (!launch.words.empty()) dataFiles["Lexorm.txt"] = launch.words;
  if (!dataFiles.empty()) {
    program = (dir / "lexorm").string();
    if (!fs::exists(dir / "data")) {
      // The build's data, file by file as links, but for the files given.
      const fs::path built = BuiltData();
      fs::create_directory(dir / "data");
      for (const auto& entry : fs::recursive_directory_iterator(built)) {
        const fs::path rel = fs::relative(entry.path(), built);
        if (entry.is_directory())
          fs::create_directory(dir / "data" / rel);
        else if (!dataFiles.count(rel.generic_string()))
          fs::create_symlink(entry.path(), dir / "data" / rel);
      }
      for (const auto& [rel, bytes] : dataFiles) std::ofstream(dir / "data" / rel, std::ios::binary) << bytes;
      fs::copy_file(LEXORM_PROGRAM, program);
    }
  }
  // Copies that share a folder each write their own output file.
  static int launches = 0;
  outFile = dir / (ownsDir ? std::string("out.txt") : "out-" + std::to_string(++launches) + ".txt");
  const std::vector<std::string> envText = ChildEnvironment(launch.env);
  std::vector<char*> envp;
  for (const std::string& e : envText) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    int fo = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fo, 1);
    dup2(fo, 2);
    execle(program.c_str(), program.c_str(), static_cast<char*>(nullptr), envp.data());
    _exit(127);
  }
  XSetErrorHandler(IgnoreXErrors);
  display = XOpenDisplay(nullptr);
  // Looked for at once: the whole loading screen lasts about a third of a second.
  Wait([&] { return Current() != 0 || !Running(); }, 10000);
}

Program::~Program() {
  if (Running()) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (display) XCloseDisplay(display);
  std::error_code ec;
  if (ownsDir) fs::remove_all(dir, ec);
}

bool Program::Running() {
  if (status != -1) return false;
  int s = 0;
  if (waitpid(pid, &s, WNOHANG) != pid) return true;
  status = WIFEXITED(s) ? WEXITSTATUS(s) : 1000 + WTERMSIG(s);
  return false;
}

bool Program::Exited(int ms) {
  return Wait([&] { return !Running(); }, ms);
}

std::string Program::Output() const { return ReadFile(outFile); }

// ============================================================================
// [SECTION] The window and its pixels
// ============================================================================

namespace {

// The first 32-bit item of a window's property, or `otherwise`.
long Property(Display* d, Window w, const char* name, Atom type, long otherwise) {
  Atom actual = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  long value = otherwise;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1, False, type, &actual, &format, &items,
                         &after, &data) == Success &&
      data) {
    if (format == 32 && items >= 1) value = *reinterpret_cast<long*>(data);
    XFree(data);
  }
  return value;
}

// Every window below the root that carries the process id, searched through the whole tree: a
// window manager puts client windows inside frames of its own.
std::vector<Window> WindowsOf(Display* d, pid_t pid) {
  std::vector<Window> found, todo{DefaultRootWindow(d)};
  while (!todo.empty()) {
    const Window w = todo.back();
    todo.pop_back();
    if (Property(d, w, "_NET_WM_PID", XA_CARDINAL, -1) == pid) found.push_back(w);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &n)) {
      todo.insert(todo.end(), children, children + n);
      if (children) XFree(children);
    }
  }
  return found;
}

} // namespace

unsigned long Program::FindWindow() {
  if (!display) return 0;
  for (Window w : WindowsOf(display, pid)) {
    XWindowAttributes a;
    if (XGetWindowAttributes(display, w, &a) && a.map_state == IsViewable) return w;
  }
  return 0;
}

std::string Program::Windows() {
  if (!display) return "no display";
  std::string out;
  for (Window w : WindowsOf(display, pid)) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(display, w, &a)) continue;
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    const long state = Property(display, w, "WM_STATE", wmState, -1);
    out += (out.empty() ? "" : "; ") + std::to_string(a.width) + "x" + std::to_string(a.height) +
           (a.map_state == IsViewable ? " viewable" : " not viewable") +
           (state == IconicState   ? ", minimised"
            : state == NormalState ? ", normal"
                                   : "");
  }
  return out.empty() ? "no window" : "window " + out;
}

unsigned long Program::Current() {
  XWindowAttributes a;
  if (window && display && XGetWindowAttributes(display, window, &a) && a.map_state == IsViewable)
    return window;
  window = FindWindow();
  return window;
}

std::pair<int, int> Program::WindowSize() {
  XWindowAttributes a;
  if (!Current() || !XGetWindowAttributes(display, window, &a)) return {0, 0};
  return {a.width, a.height};
}

Frame Program::Grab() {
  Frame f;
  XWindowAttributes a;
  if (!Current() || !XGetWindowAttributes(display, window, &a)) return f;
  XImage* img = XGetImage(display, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!img) return f;
  f.w = a.width;
  f.h = a.height;
  f.px.resize(static_cast<size_t>(f.w) * f.h);
  const bool direct = img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xff0000 &&
                      img->green_mask == 0xff00 && img->blue_mask == 0xff;
  for (int y = 0; y < f.h; ++y) {
    const auto* row =
        reinterpret_cast<const uint32_t*>(img->data + static_cast<size_t>(y) * img->bytes_per_line);
    for (int x = 0; x < f.w; ++x)
      f.px[static_cast<size_t>(y) * f.w + x] = (direct ? row[x] : XGetPixel(img, x, y)) & 0xffffff;
  }
  XDestroyImage(img);
  return f;
}

bool Program::WaitFrame(const std::function<bool(const Frame&)>& test, int ms) {
  for (auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end;) {
    Frame f = Grab();
    if (f.w > 0 && test(f)) return true;
    Sleep(5);
  }
  return false;
}

bool Program::Wait(const std::function<bool()>& done, int ms) {
  for (auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end;) {
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

bool Program::WaitLoaded() { return WaitFrame(LoadingScreen, 4000) && WaitFrame(Loaded); }

// ============================================================================
// [SECTION] Input
// ============================================================================

void Program::Focus() { Xdotool({"windowfocus", std::to_string(Current())}); }

void Program::Unfocus() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return;
  const std::string root = std::to_string(DefaultRootWindow(d));
  XCloseDisplay(d);
  Xdotool({"windowfocus", root});
}

void Program::KeyDown(const std::string& key) {
  Focus();
  Xdotool({"keydown", key});
}

void Program::KeyUp(const std::string& key) { Xdotool({"keyup", key}); }

void Program::Key(const std::string& key) {
  Focus();
  Xdotool({"key", key});
}

void Program::Hold(const std::string& key) {
  Focus();
  Xdotool({"keydown", key});
  Sleep(100);
  Xdotool({"keyup", key});
}

void Program::MouseMove(int x, int y) {
  Xdotool({"mousemove", "--window", std::to_string(Current()), std::to_string(x), std::to_string(y)});
}

void Program::MouseDown(int x, int y) {
  MouseMove(x, y);
  Xdotool({"mousedown", "1"});
}

void Program::MouseUp() { Xdotool({"mouseup", "1"}); }

void Program::Drag(const std::vector<std::pair<int, int>>& points) {
  for (size_t i = 0; i < points.size(); ++i) {
    if (i == 0)
      MouseDown(points[i].first, points[i].second);
    else
      MouseMove(points[i].first, points[i].second);
    Sleep(100);
  }
  MouseUp();
  Sleep(100);
}

// ============================================================================
// [SECTION] What the tests look for
// ============================================================================

// The caption sits 32 virtual pixels above the bottom; the virtual screen is 480 high.
bool LoadingScreen(const Frame& f) {
  const int cx = f.w / 2, cy = f.h / 2, s = f.h / 480;
  return f.Count(cx - 40, cy - 40, cx + 40, cy + 40, SphereBlue) > 1000 &&
         f.Count(cx - 60 * s, f.h - 48 * s, cx + 60 * s, f.h - 16 * s, White) > 30;
}

bool Loaded(const Frame& f) { return f.Count(0, 0, f.w, f.h, SphereBlue) == 0; }

bool MenuAtRest(const Frame& f) { return !LoadingScreen(f) && f.Count(6, 384, 70, 448, Orange) > 800; }

bool OptionsOpen(const Frame& f) {
  const int s = f.h / 480; // whole window pixels to a virtual one: 2 at 1280 x 1024
  return f.Count(200 * s, 0, 480 * s, 20 * s, Brown) > 5000 * s * s;
}

int SoundRowTail(const Frame& f) {
  const double s = f.h / 480.0; // the virtual screen fills the height
  auto at = [&](int v) { return static_cast<int>(v * s); };
  return f.Count(at(300), at(128), at(380), at(150), White);
}

// A 640 x 480 window shows about 74,000 cream pixels of tile faces; the menu's logo tiles and
// the pause menu far fewer.
bool BoardShown(const Frame& f) {
  const double scale = f.h / 480.0;
  return f.Count(0, 0, f.w, f.h, Cream) > 60000 * scale * scale;
}

// "PAUSED" in white around (416, 240), the resume icon at (64, 196) in its yellowish ring.
bool PauseMenu(const Frame& f) {
  return f.Count(0, 0, 20, 20, Dark) == 400 && f.Count(620, 0, 640, 20, Dark) == 400 &&
         f.Count(0, 460, 20, 480, Dark) == 400 && f.Count(330, 220, 510, 260, White) > 400 &&
         f.Count(44, 176, 84, 216, White) > 300 && f.Count(24, 156, 104, 236, Yellow) > 300;
}

std::pair<int, int> CellCentre(int x, int y) { return {146 + 58 * x, 103 + 58 * y}; }

int TilesInPlace(const Frame& f) {
  int n = 0;
  for (int x = 0; x < 7; ++x)
    for (int y = 0; y < 7; ++y) {
      auto [cx, cy] = CellCentre(x, y);
      n += f.Count(cx - 22, cy - 22, cx + 22, cy + 22, Cream) > 600;
    }
  return n;
}

// Stars drift over the margin, so most of it, not all.
bool Darkened(const Frame& f) { return f.Count(0, 280, 60, 400, Dark) > 60 * 120 * 9 / 10; }

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

// ============================================================================
// [SECTION] The saved state
// ============================================================================

std::string ReadFile(const fs::path& file) {
  std::ifstream f(file, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::vector<std::string> SplitState(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> fields;
  for (std::string field; std::getline(in, field, '|');) fields.push_back(field);
  return fields;
}

std::vector<std::string> StateFields(const fs::path& file) { return SplitState(ReadFile(file)); }

namespace {

// Sums as the program makes them: 32 bits, wrapping.
uint32_t SettingsSum(const std::vector<long long>& v) {
  uint32_t sum = 0;
  for (size_t i = 0; i < 25; ++i) sum += static_cast<uint32_t>(i) * static_cast<uint32_t>(v[i]);
  return sum;
}

uint32_t GroupSum(const std::vector<long long>& v, size_t first, int g) {
  uint32_t sum = 0;
  for (int k = 0; k < 10; ++k) {
    sum += static_cast<uint32_t>(k + 4) * static_cast<uint32_t>(v[first + 2 * k]);
    sum += static_cast<uint32_t>(k + g + 3) * static_cast<uint32_t>(v[first + 2 * k + 1]);
  }
  return sum;
}

} // namespace

std::string SavedState::Text() const {
  std::vector<long long> v(kWordPairs, 0);
  v[kSoundMode] = soundMode;
  v[kSettingsSum] = static_cast<int>(SettingsSum(v));
  for (int g = 0; g < 8; ++g) {
    const size_t first = kThirtyTop + 21 * g;
    for (int k = 0; k < 10 && g < 3; ++k) {
      v[first + 2 * k] = top[g][k];
      v[first + 2 * k + 1] = last[g][k];
    }
    v[first + 20] = static_cast<int>(GroupSum(v, first, g));
  }
  std::string text;
  for (long long n : v) text += std::to_string(n) + "|";
  for (int i = 0; i < 100; ++i) {
    const int g = i / 2;
    if (g < 3 && i % 2 == 0)
      text += bestWord[g] + "|" + std::to_string(bestScore[g]) + "|";
    else if (g < 3)
      text += longestWord[g] + "|" + std::to_string(longestScore[g]) + "|";
    else
      text += "|0|";
  }
  return text;
}

std::string StateProblems(const std::string& text) {
  if (text.empty()) return "the state is empty";
  if (text.back() != '|') return "the state does not end with \"|\": cut short";
  const std::vector<std::string> f = SplitState(text);
  if (f.size() != kStateFields)
    return "the state has " + std::to_string(f.size()) + " fields, not " + std::to_string(kStateFields);
  // Every field up to the words is a number; each word's score too.
  std::vector<long long> v(f.size(), 0);
  for (size_t i = 0; i < f.size(); ++i) {
    if (i >= kWordPairs && (i - kWordPairs) % 2 == 0) continue; // a word
    char* end = nullptr;
    v[i] = std::strtoll(f[i].c_str(), &end, 10);
    if (f[i].empty() || *end != 0) return "field " + std::to_string(i) + " is not a number: " + f[i];
  }
  if (static_cast<uint32_t>(v[kSettingsSum]) != SettingsSum(v)) return "the settings checksum is wrong";
  uint32_t badges = 0;
  for (size_t i = kSettingsSum + 1; i < kSettingsSum + 9; ++i) badges += static_cast<uint32_t>(v[i]);
  if (static_cast<uint32_t>(v[kSettingsSum + 9]) != badges) return "the badge checksum is wrong";
  for (int g = 0; g < 8; ++g) {
    const size_t first = kThirtyTop + 21 * g;
    if (static_cast<uint32_t>(v[first + 20]) != GroupSum(v, first, g))
      return "the checksum of score group " + std::to_string(g) + " is wrong";
  }
  return "";
}

} // namespace e2e
