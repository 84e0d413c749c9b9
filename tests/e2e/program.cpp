// tests/e2e/program.cpp — see program.h.
#include "program.h"
#include "tests/support/subprocess.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stb_image_write.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
std::string Xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"/usr/bin/xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, false, 10).out;
}
// A window can go between finding it and asking about it: such requests are answered with nothing.
static int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }
fs::path BuildData() { return fs::path(LEXORM_PROGRAM).parent_path() / "data"; }
void CopyProgram(const fs::path& dir, const std::string& words,
                 const std::map<std::string, fs::path>& instead) {
  fs::create_directory(dir / "data");
  for (const auto& entry : fs::directory_iterator(BuildData())) {
    const std::string name = entry.path().filename().string();
    const auto other = instead.find(name);
    if (name != "Lexorm.txt")
      fs::create_symlink(other == instead.end() ? entry.path() : other->second, dir / "data" / name);
  }
  std::ofstream(dir / "data" / "Lexorm.txt", std::ios::binary) << words;
  fs::copy_file(LEXORM_PROGRAM, dir / "lexorm");
}
Program::Program(const Launch& launch) {
  char name[] = "/tmp/lexorm-e2e-XXXXXX";
  ownsDir_ = launch.folder.empty();
  dir = ownsDir_ ? fs::path(mkdtemp(name)) : launch.folder;
  std::string program = LEXORM_PROGRAM;
  std::map<std::string, std::string> files = launch.files; // a copy beside the build's data but for these
  if (!launch.words.empty()) files["Lexorm.txt"] = launch.words;
  if (!files.empty()) {
    program = (dir / "lexorm").string();
    if (!fs::exists(dir / "data")) {
      CopyProgram(dir, launch.words);
      if (launch.words.empty()) { // the build's own list
        fs::remove(dir / "data" / "Lexorm.txt");
        fs::create_symlink(BuildData() / "Lexorm.txt", dir / "data" / "Lexorm.txt");
      }
      for (const auto& [name, bytes] : launch.files) { // the link replaced by the bytes given
        fs::remove(dir / "data" / name);
        std::ofstream(dir / "data" / name, std::ios::binary) << bytes;
      }
    }
  }
  static int launches = 0; // copies sharing a folder write output files of their own
  out_ = dir / ("out-" + std::to_string(++launches) + ".txt");
  pid = fork();
  if (pid == 0) {
    const int fd = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (chdir(dir.c_str()) != 0 || fd < 0) _exit(126);
    dup2(fd, 1);
    dup2(fd, 2);
    setenv("ALSOFT_DRIVERS", "null", 1);
    for (const auto& [name, value] : launch.env)
      value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  XSetErrorHandler(IgnoreXErrors);
  display_ = XOpenDisplay(nullptr);
  // The window, or the end of a program that never opened one.
  Wait([&] { return Current() != 0 || !Running(); }, 20000);
}
Program::~Program() {
  if (Running()) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (display_) XCloseDisplay(display_);
  std::error_code ec;
  if (ownsDir_) fs::remove_all(dir, ec);
}
bool Program::Running() {
  int s = 0;
  if (status != -1 || waitpid(pid, &s, WNOHANG) != pid) return status == -1;
  status = WIFEXITED(s) ? WEXITSTATUS(s) : 1000 + WTERMSIG(s);
  return false;
}
unsigned long Program::Current() {
  XWindowAttributes a;
  if (!display_ || (window && XGetWindowAttributes(display_, window, &a) && a.map_state == IsViewable))
    return window;
  window =
      std::strtoul(Xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid)}).c_str(), nullptr, 10);
  return window;
}
Frame Program::Grab() {
  Frame f;
  XWindowAttributes a;
  if (!Current() || !XGetWindowAttributes(display_, window, &a)) return f;
  XImage* img = XGetImage(display_, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!img) return f;
  f.w = a.width;
  f.h = a.height;
  f.px.resize(static_cast<size_t>(f.w) * f.h);
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) f.px[static_cast<size_t>(y) * f.w + x] = XGetPixel(img, x, y) & 0xffffff;
  XDestroyImage(img);
  return f;
}
bool Program::WaitMenu() {
  return Wait([&] { return Output().find("Highscores Loaded\n") != std::string::npos; }) &&
         WaitFrame(MenuAtRest);
}
std::pair<int, int> Program::Size() {
  XWindowAttributes a;
  if (!Current() || !XGetWindowAttributes(display_, window, &a)) return {0, 0};
  return {a.width, a.height};
}
bool WritePng(const Frame& f, const fs::path& file) {
  std::vector<unsigned char> rgb;
  rgb.reserve(f.px.size() * 3);
  for (const unsigned p : f.px)
    rgb.insert(rgb.end(), {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                           static_cast<unsigned char>(p)});
  return f.w > 0 && stbi_write_png(file.c_str(), f.w, f.h, 3, rgb.data(), f.w * 3) != 0;
}
void Program::Unfocus() { Xdotool({"windowfocus", std::to_string(DefaultRootWindow(display_))}); }
void Program::Press(const std::vector<Cell>& points) {
  for (size_t i = 0; i < points.size(); ++i) {
    Xdotool({"mousemove", "--window", std::to_string(Current()), std::to_string(points[i].first),
             std::to_string(points[i].second)});
    if (i == 0) Xdotool({"mousedown", "1"});
    Sleep(100);
  }
}
void Program::Drag(const std::vector<Cell>& points) {
  Press(points);
  Release();
}
static bool WindowManagerRunning() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XWindowAttributes a;
  const bool running = XGetWindowAttributes(d, DefaultRootWindow(d), &a) &&
                       (a.all_event_masks & SubstructureRedirectMask) != 0;
  XCloseDisplay(d);
  return running;
}
void UnderWindowManager::SetUp() {
  if (WindowManagerRunning()) return;
  conf_ = fs::temp_directory_path() / ("lexorm-jwm-" + std::to_string(getpid()));
  std::ofstream(conf_) << "<JWM><FocusModel>click</FocusModel></JWM>\n";
  wm_ = fork();
  if (wm_ == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execlp("jwm", "jwm", "-f", conf_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end; Sleep(10))
    if (WindowManagerRunning()) return;
  ADD_FAILURE() << "jwm did not start";
}
// A stopped jwm leaves its _NET_ properties on the root window, among them a check window that
// has gone; the windowing library of the next program trips over it. They are removed.
void UnderWindowManager::TearDown() {
  if (wm_ > 0) {
    kill(wm_, SIGTERM);
    waitpid(wm_, nullptr, 0);
    if (Display* d = XOpenDisplay(nullptr)) {
      int n = 0;
      Atom* atoms = XListProperties(d, DefaultRootWindow(d), &n);
      for (int i = 0; i < n; ++i) {
        char* name = XGetAtomName(d, atoms[i]);
        if (name && std::strncmp(name, "_NET_", 5) == 0) XDeleteProperty(d, DefaultRootWindow(d), atoms[i]);
        XFree(name);
      }
      XFree(atoms);
      XCloseDisplay(d);
    }
  }
  std::remove(conf_.c_str());
}

} // namespace e2e
