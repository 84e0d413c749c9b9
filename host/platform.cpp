// host/platform.cpp — the Linux system calls behind platform.h.
// Depends on: platform.h, runtime/string.h; POSIX (readlink, posix_spawnp, waitpid, fsync, rename,
// nanosleep).
#include "platform.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

// ============================================================================
// [SECTION] Executable and files
// ============================================================================

String ExecutablePath() {
  std::vector<char> buf(256);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return String();
    if (static_cast<std::size_t>(n) < buf.size()) return String::FromUtf8(buf.data(), static_cast<int>(n));
    if (buf.size() >= (1u << 20)) return String(); // no real path is that long
    buf.resize(buf.size() * 2);
  }
}

std::FILE* OpenFile(const std::string& utf8Name, const char* mode) {
  // A NUL inside the name would silently open a shorter, different name.
  if (utf8Name.empty() || utf8Name.find('\0') != std::string::npos || !mode) {
    errno = EINVAL;
    return nullptr;
  }
  return std::fopen(utf8Name.c_str(), mode);
}

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

// ============================================================================
// [SECTION] Date and time
// ============================================================================

bool Now(LocalTime* out) {
  std::time_t t = std::time(nullptr);
  std::tm tm;
  if (t == static_cast<std::time_t>(-1) || !localtime_r(&t, &tm)) return false;
  out->year = tm.tm_year + 1900;
  out->month = tm.tm_mon + 1;
  out->day = tm.tm_mday;
  out->hour = tm.tm_hour;
  out->minute = tm.tm_min;
  out->second = tm.tm_sec;
  return true;
}

// ============================================================================
// [SECTION] Atomic replace
// ============================================================================

const char* ReplaceResultText(ReplaceResult r) {
  switch (r) {
  case ReplaceResult::kReplaced:
    return "replaced";
  case ReplaceResult::kCannotOpen:
    return "cannot open the temporary file";
  case ReplaceResult::kShortWrite:
    return "short write";
  case ReplaceResult::kFlushFailed:
    return "flush to disk failed";
  case ReplaceResult::kCloseFailed:
    return "close failed";
  case ReplaceResult::kRenameFailed:
    return "rename over the old file failed";
  }
  return "unknown";
}

// The folder part of a name, for syncing the directory entry after the rename.
static std::string FolderOf(const std::string& name) {
  std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return name.substr(0, slash);
}

// Where a save to `name` must land: `name` itself, or the file its symbolic links lead to.
static std::string ResolveLinks(std::string name) {
  for (int hops = 0; hops < 40; ++hops) {
    char target[4096];
    ssize_t n = readlink(name.c_str(), target, sizeof target - 1);
    if (n < 0) return name; // not a link (or not there): the name itself
    target[n] = 0;
    if (target[0] == '/') {
      name = target;
    } else {
      std::size_t slash = name.rfind('/');
      name = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) + target;
    }
  }
  return name;
}

ReplaceResult ReplaceFile(const std::string& utf8Name, const void* data, std::size_t size) {
  if (utf8Name.empty() || utf8Name.find('\0') != std::string::npos) return ReplaceResult::kCannotOpen;
  const std::string target = ResolveLinks(utf8Name);
  // A name of this process's own, never reused within it: saves of two processes, or two
  // saves of one, never share a temporary file.
  static std::atomic<unsigned> serial{0};
  const std::string tmp = target + ".tmp." + std::to_string(getpid()) + "." + std::to_string(serial++);
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  // Nothing was created, so nothing is removed (the name may even be someone's folder).
  if (fd < 0) return ReplaceResult::kCannotOpen;
  struct stat old;
  if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07777);

  ReplaceResult result = ReplaceResult::kReplaced;
  const char* bytes = static_cast<const char*>(data);
  for (std::size_t done = 0; done < size && result == ReplaceResult::kReplaced;) {
    ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      result = ReplaceResult::kShortWrite;
    else
      done += static_cast<std::size_t>(n);
  }
  if (result == ReplaceResult::kReplaced && fsync(fd) != 0) result = ReplaceResult::kFlushFailed;
  if (close(fd) != 0 && result == ReplaceResult::kReplaced) result = ReplaceResult::kCloseFailed;
  if (result == ReplaceResult::kReplaced && std::rename(tmp.c_str(), target.c_str()) != 0)
    result = ReplaceResult::kRenameFailed;
  if (result != ReplaceResult::kReplaced) {
    unlink(tmp.c_str());
    return result;
  }
  // Make the new directory entry itself durable; the data already is.
  int dir = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return result;
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

bool WatchEndSignals(void (*onEnd)()) {
  try {
    std::thread([onEnd] {
      sigset_t set = EndSignals();
      for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) == 0) onEnd();
      }
    }).detach();
    return true;
  } catch (...) {
    return false;
  }
}

// ============================================================================
// [SECTION] Sleeping
// ============================================================================

void SleepSeconds(double seconds) {
  if (!(seconds > 0) || !std::isfinite(seconds)) return;
  const double kLongest = 1e9; // about 31 years: far beyond any wait, well inside time_t
  if (seconds > kLongest) seconds = kLongest;
  timespec ts;
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
  if (ts.tv_nsec > 999999999) ts.tv_nsec = 999999999;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

} // namespace platform
