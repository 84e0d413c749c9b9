// bench/perf_game.cpp — the whole game measured in its real window and main loop: start to
// menu, then a stretch in the menu and a stretch of play driven by a fixed key script; for
// each, process CPU per second of wall time, update and render step times, quads and draw
// calls per frame, heap allocations per frame (and where they come from) and peak memory.
// The figures go to standard output and, as key=value lines, to the file named by --out.
// Depends on: host (ZuGlfwGame, its loop and callbacks), game (c_MyApp), graphics (counters),
// perf_alloc_count.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "app/app.h"
#include "game/my_app.h"
#include "graphics/drawing.h"
#include "host/desktop_game.h"
#include "host/platform.h"
#include "perf_alloc_count.h"
#include "runtime/startup.h"

namespace {

// ============================================================================
// [SECTION] Clocks and memory
// ============================================================================

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuSeconds() { // user + system, every thread of the process
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double PeakRssMb() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
}

// Seconds since the process was started by the kernel (clock-tick resolution).
double SecondsSinceExec() {
  std::ifstream stat("/proc/self/stat"), uptime("/proc/uptime");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  double up = 0;
  uptime >> up;
  return up - std::atof(field.c_str()) / sysconf(_SC_CLK_TCK);
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

// ============================================================================
// [SECTION] One measured stretch
// ============================================================================

struct Stretch {
  explicit Stretch(const char* label) : name(label) {}
  const char* name;
  double wall0 = 0, cpu0 = 0, wall = 0, cpu = 0;
  long long vertices0 = 0, calls0 = 0, vertices = 0, calls = 0;
  std::vector<double> updateMs, renderMs;
  std::vector<alloc_count::Site> sites;
  double peakRssMb = 0;

  void Begin() {
    alloc_count::ResetSites();
    wall0 = Now();
    cpu0 = CpuSeconds();
    vertices0 = zu_graphics_device->verticesDrawn;
    calls0 = zu_graphics_device->drawCalls;
  }
  void End() {
    wall = Now() - wall0;
    cpu = CpuSeconds() - cpu0;
    vertices = zu_graphics_device->verticesDrawn - vertices0;
    calls = zu_graphics_device->drawCalls - calls0;
    sites = alloc_count::Sites();
    peakRssMb = PeakRssMb();
  }

  // Where an allocation site belongs: the runtime's texts, the rest of our program, or the
  // system's libraries (the OpenGL driver, X), which a bare window pays for too.
  enum Kind { kText, kOurs, kSystem };
  static Kind KindOf(const alloc_count::Site& s) {
    if (s.function.rfind("String::", 0) == 0) return kText;
    return s.inOurProgram ? kOurs : kSystem;
  }
  static const char* KindName(Kind k) { return k == kText ? "  (text)" : k == kSystem ? "  (system)" : ""; }

  void Report(std::ostream& out, std::FILE* human) const {
    double frames = std::max<std::size_t>(1, renderMs.size());
    long long count[3] = {};
    for (const auto& s : sites) count[KindOf(s)] += s.count;
    double frameCount = std::max<std::size_t>(1, updateMs.size() + renderMs.size()) / 2.0;
    out << name << ".wall_s=" << wall << "\n"
        << name << ".cpu_per_s=" << cpu / wall << "\n"
        << name << ".updates=" << updateMs.size() << "\n"
        << name << ".frames=" << renderMs.size() << "\n"
        << name << ".update_ms_median=" << Percentile(updateMs, 0.5) << "\n"
        << name << ".update_ms_p99=" << Percentile(updateMs, 0.99) << "\n"
        << name << ".render_ms_median=" << Percentile(renderMs, 0.5) << "\n"
        << name << ".render_ms_p99=" << Percentile(renderMs, 0.99) << "\n"
        << name << ".quads_per_frame=" << static_cast<long long>(vertices / 4 / frames) << "\n"
        << name << ".draw_calls_per_frame=" << calls / frames << "\n"
        << name << ".text_allocs_per_frame=" << count[kText] / frameCount << "\n"
        << name << ".other_allocs_per_frame=" << count[kOurs] / frameCount << "\n"
        << name << ".system_allocs_per_frame=" << count[kSystem] / frameCount << "\n"
        << name << ".peak_rss_mb=" << peakRssMb << "\n";
    std::fprintf(
        human,
        "%-5s %5.1f s: CPU %.3f s/s; update median %.3f ms, p99 %.3f ms; render median %.3f ms, p99 "
        "%.3f ms;\n      %lld quads and %.1f draw calls a frame; heap allocations a frame: %.2f texts, "
        "%.2f other, %.2f in system libraries; peak RSS %.1f MB\n",
        name, wall, cpu / wall, Percentile(updateMs, 0.5), Percentile(updateMs, 0.99),
        Percentile(renderMs, 0.5), Percentile(renderMs, 0.99), static_cast<long long>(vertices / 4 / frames),
        calls / frames, count[kText] / frameCount, count[kOurs] / frameCount, count[kSystem] / frameCount,
        peakRssMb);
    int shown = 0;
    for (const auto& s : sites) {
      if (shown++ == 12) break;
      std::fprintf(human, "      %8lld  %s%s\n", s.count, s.function.substr(0, 90).c_str(),
                   KindName(KindOf(s)));
    }
  }
};

// ============================================================================
// [SECTION] The host with its script
// ============================================================================

struct Options {
  double menuSeconds = 20, playSeconds = 20, warmSeconds = 2;
  std::string out;
};

// The play script: one step every kStepUpdates updates, a key pressed and released 3 updates
// later. Select, move, select, ... complete with X; every other chain is cancelled with C.
constexpr int kStepUpdates = 9;
const int kPlayKeys[] = {' ',
                         GLFW2_KEY_RIGHT,
                         ' ',
                         GLFW2_KEY_DOWN,
                         ' ',
                         'X',
                         GLFW2_KEY_LEFT,
                         ' ',
                         GLFW2_KEY_UP,
                         ' ',
                         GLFW2_KEY_RIGHT,
                         ' ',
                         'C',
                         GLFW2_KEY_DOWN,
                         GLFW2_KEY_DOWN,
                         ' ',
                         GLFW2_KEY_LEFT,
                         ' ',
                         GLFW2_KEY_UP,
                         ' ',
                         'X',
                         GLFW2_KEY_UP,
                         GLFW2_KEY_RIGHT};

class PerfHost : public ZuGlfwGame {
public:
  explicit PerfHost(const Options& options) : options_(options) { _baseDir = String(LEXORM_BUILD_DIR); }

  void UpdateGame() override {
    Script();
    double t = Now();
    alloc_count::SetCounting(measuring_);
    ZuGlfwGame::UpdateGame();
    alloc_count::SetCounting(false);
    if (measuring_) current_->updateMs.push_back((Now() - t) * 1e3);
  }

  void RenderGame() override {
    double t = Now();
    alloc_count::SetCounting(measuring_);
    ZuGlfwGame::RenderGame();
    alloc_count::SetCounting(false);
    if (measuring_) current_->renderMs.push_back((Now() - t) * 1e3);
  }

private:
  enum Step { kLoading, kMenuWarm, kMenu, kChooseLength, kPlayWarm, kPlay };

  void Press(int key) {
    OnKey(key, GLFW2_PRESS);
    heldKey_ = key;
    releaseAt_ = updates_ + 3;
  }

  void Script() {
    ++updates_;
    if (heldKey_ && updates_ >= releaseAt_) {
      OnKey(heldKey_, GLFW2_RELEASE);
      heldKey_ = 0;
    }
    c_MyApp* app = dynamic_cast<c_MyApp*>(zu_app__app);
    if (!app) return;
    const int warmUpdates = static_cast<int>(options_.warmSeconds * 60);
    switch (step_) {
    case kLoading:
      // The menu is up once the loading steps are done; the word list goes on loading in
      // slices behind it.
      if (app->m_GameMode == 1 && app->m_LoadStep == 0 && startToMenu_ == 0)
        startToMenu_ = SecondsSinceExec();
      if (startToMenu_ > 0 && app->m_BankState == 2) {
        startToWords_ = SecondsSinceExec();
        Next(kMenuWarm);
      }
      break;
    case kMenuWarm:
      if (updates_ - stepStart_ >= warmUpdates) {
        Next(kMenu);
        Measure(&menu_);
      }
      break;
    case kMenu:
      if (updates_ - stepStart_ >= options_.menuSeconds * 60) {
        StopMeasuring();
        Next(kChooseLength);
        Press(GLFW2_KEY_DOWN); // the two-minute game, so the stretch ends before the game does
      }
      break;
    case kChooseLength:
      if (updates_ - stepStart_ == 20) Press(' ');
      if (app->m_GameMode == 10) Next(kPlayWarm);
      if (updates_ - stepStart_ > 600) Fail("the game did not start");
      break;
    case kPlayWarm:
    case kPlay:
      if (app->m_GameMode != 10) Fail("the game ended before the measurement did");
      if ((updates_ - stepStart_) % kStepUpdates == 0) {
        Press(kPlayKeys[keyIndex_]);
        keyIndex_ = (keyIndex_ + 1) % static_cast<int>(sizeof kPlayKeys / sizeof kPlayKeys[0]);
      }
      if (step_ == kPlayWarm && updates_ - stepStart_ >= warmUpdates) {
        step_ = kPlay;
        playStart_ = updates_;
        Measure(&play_);
      }
      if (step_ == kPlay && updates_ - playStart_ >= options_.playSeconds * 60) {
        StopMeasuring();
        Finish();
      }
      break;
    }
    if (updates_ > 60 * 600) Fail("no menu after ten minutes");
  }

  void Next(Step s) {
    step_ = s;
    stepStart_ = updates_;
  }

  void Measure(Stretch* s) {
    current_ = s;
    measuring_ = true;
    s->Begin();
  }

  void StopMeasuring() {
    current_->End();
    measuring_ = false;
  }

  [[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "perf_game: %s\n", why);
    std::exit(1);
  }

  [[noreturn]] void Finish() {
    std::ostringstream out;
    out << "start_to_menu_s=" << startToMenu_ << "\n"
        << "start_to_word_list_s=" << startToWords_ << "\n";
    menu_.Report(out, stdout);
    play_.Report(out, stdout);
    std::printf("start to menu %.2f s, to the word list loaded %.2f s\n", startToMenu_, startToWords_);
    std::fflush(stdout);
    if (!options_.out.empty()) {
      std::ofstream file(options_.out);
      file << out.str();
      if (!file) Fail("cannot write the figures");
    }
    std::_Exit(0); // no saving, no tearing down: the figures are all that was wanted
  }

  Options options_;
  Step step_ = kLoading;
  long long updates_ = 0, stepStart_ = 0, playStart_ = 0, releaseAt_ = 0;
  int heldKey_ = 0, keyIndex_ = 0;
  bool measuring_ = false;
  double startToMenu_ = 0, startToWords_ = 0;
  Stretch menu_{"menu"};
  Stretch play_{"play"};
  Stretch* current_ = &menu_;
};

} // namespace

// The program's own start-up (see host/main.cpp), with the measuring host in place of the
// program's.
int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--menu-seconds"))
      options.menuSeconds = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--play-seconds"))
      options.playSeconds = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--out"))
      options.out = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: %s [--menu-seconds S] [--play-seconds S] [--out FILE]\n", argv[0]);
      return 2;
    }
  }
  platform::BlockEndSignals();
  if (!glfw2().Init()) {
    std::fputs("perf_game: glfwInit failed (no display?)\n", stderr);
    return 1;
  }
  PerfHost* host = new PerfHost(options);
  char* args[] = {argv[0], nullptr};
  try {
    zu_std_main(1, args);
  } catch (ThrowableObject* ex) {
    glfw2().Terminate();
    host->Die(ex);
  }
  if (host->Delegate()) host->Run();
  glfw2().Terminate();
  std::fputs("perf_game: the window closed before the measurement ended\n", stderr);
  return 1;
}
