// host/platform_process.cpp — the desktop's programs and signals of platform.h: starting a program
// (the browser for a URL) and the watcher of the signals that end a session.
// Depends on: platform.h; POSIX (posix_spawnp, waitpid, sigwait, sigtimedwait) and threads.
#include "platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

// ============================================================================
// [SECTION] Threads
// ============================================================================

namespace {
std::atomic<bool> g_threads{true};
} // namespace

bool ThreadsAvailable() { return g_threads.load(std::memory_order_relaxed); }
void SetThreadsAvailable(bool available) { g_threads.store(available, std::memory_order_relaxed); }

// ============================================================================
// [SECTION] Programs
// ============================================================================

bool Spawn(const std::vector<std::string>& argv, std::string* error) {
  auto fail = [error](const char* what, int code) {
    if (error) *error = std::string(what) + ": " + std::strerror(code);
    return false;
  };
  if (argv.empty() || argv[0].empty()) return fail("spawn", EINVAL);
  std::vector<char*> args;
  for (const std::string& a : argv) {
    if (a.find('\0') != std::string::npos) return fail("spawn", EINVAL);
    args.push_back(const_cast<char*>(a.c_str()));
  }
  args.push_back(nullptr);

  // The child starts with every signal at its default and none blocked, whatever the game
  // ignores or blocks itself.
  posix_spawnattr_t attr;
  if (int rc = posix_spawnattr_init(&attr)) return fail("spawn", rc);
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return fail(args[0], rc);

  // The program may run for a long time (a browser); the game does not wait for it.
  auto reap = [pid] {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  };
  try {
    std::thread(reap).detach();
  } catch (...) {
    reap(); // no thread: reap here instead, which may wait, rather than leave a zombie behind
  }
  return true;
}

bool OpenInBrowser(const std::string& url, std::string* error) {
  std::string why;
  if (Spawn({"xdg-open", url}, &why)) return true;
  if (error) *error = "cannot run xdg-open (" + why + ")";
  return false;
}

// ============================================================================
// [SECTION] Signals that end the session
// ============================================================================

static sigset_t EndSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

void BlockEndSignals() {
  sigset_t set = EndSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// One line on standard error and the end, without running anything of the stuck program's.
[[noreturn]] static void EndNow(int sig, const char* why) {
  char line[160];
  int n = std::snprintf(line, sizeof line, "Signal %d: %s; ending the program now\n", sig, why);
  if (n > 0 &&
      write(STDERR_FILENO, line, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof line - 1))) {
  }
  _exit(128 + sig);
}

static double MonotonicSeconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool WatchEndSignals(void (*onEnd)(), bool (*taken)(), double grace) {
  try {
    std::thread([onEnd, taken, grace] {
      sigset_t set = EndSignals();
      int sig = 0;
      while (sigwait(&set, &sig) != 0) {
      }
      onEnd();
      const double deadline = MonotonicSeconds() + grace;
      for (;;) {
        if (taken()) { // the loop is closing: only another signal ends it from here
          int again = 0;
          if (sigwait(&set, &again) == 0) EndNow(again, "a second signal to end");
          continue;
        }
        const double left = deadline - MonotonicSeconds();
        if (left <= 0) EndNow(sig, "the game did not take the request to close in time");
        const double step = std::min(left, 0.05); // how often `taken` is looked at
        timespec ts;
        ts.tv_sec = static_cast<time_t>(step);
        ts.tv_nsec = static_cast<long>((step - static_cast<double>(ts.tv_sec)) * 1e9);
        const int again = sigtimedwait(&set, nullptr, &ts);
        if (again > 0) EndNow(again, "a second signal to end");
      }
    }).detach();
    return true;
  } catch (...) {
    return false;
  }
}

} // namespace platform
