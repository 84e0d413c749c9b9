// host/platform.cpp — the file, time and sleep services of platform.h, on POSIX calls the browser
// build has too; programs and signals are in platform_process.cpp (web_platform.cpp there).
// Depends on: platform.h, runtime/string.h; POSIX (readlink, open, fstat, fsync, rename, readdir,
// kill, nanosleep).
#include "platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// ============================================================================
// [SECTION] Executable and files
// ============================================================================

// The length of the well-formed UTF-8 sequence at p (shortest form, no surrogates, at most
// U+10FFFF) and its code point; 0 when none starts there.
static std::size_t Utf8Sequence(const unsigned char* p, std::size_t n, unsigned* cp) {
  const unsigned b0 = p[0];
  if (b0 < 0x80) return *cp = b0, 1;
  const std::size_t len = b0 >= 0xC2 && b0 <= 0xDF   ? 2
                          : b0 >= 0xE0 && b0 <= 0xEF ? 3
                          : b0 >= 0xF0 && b0 <= 0xF4 ? 4
                                                     : 0;
  if (len == 0 || len > n) return 0;
  unsigned c = b0 & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    c = c << 6 | (p[i] & 0x3F);
  }
  static const unsigned kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return *cp = c, len;
}

String FileNameText(const char* bytes, std::size_t n) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  std::u16string text;
  for (std::size_t i = 0; i < n;) {
    unsigned c = 0;
    const std::size_t len = Utf8Sequence(p + i, n - i, &c);
    if (len == 0) {
      text += static_cast<char16_t>(0xDC00 + p[i++]); // not text: the byte itself, kept aside
    } else if (c >= 0x10000) {
      text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      i += len;
    } else {
      text += static_cast<char16_t>(c);
      i += len;
    }
  }
  return text.empty() ? String() : String(text.data(), static_cast<int>(text.size()));
}

std::string FileNameBytes(const String& text) {
  std::string out;
  const int n = text.Length();
  for (int i = 0; i < n; ++i) {
    unsigned c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out += static_cast<char>(c - 0xDC00); // a byte FileNameText kept aside
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 63));
    } else if (c < 0x10000) { // a lone surrogate too, as the runtime's UTF-8 writes it
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | ((c >> 6) & 63));
      out += static_cast<char>(0x80 | (c & 63));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | ((c >> 12) & 63));
      out += static_cast<char>(0x80 | ((c >> 6) & 63));
      out += static_cast<char>(0x80 | (c & 63));
    }
  }
  return out;
}

String ExecutablePath() {
  std::vector<char> buf(256);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return String();
    if (static_cast<std::size_t>(n) < buf.size())
      return FileNameText(buf.data(), static_cast<std::size_t>(n));
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

ReadResult ReadSmallFile(const std::string& name, std::size_t limit, std::string* out) {
  out->clear();
  if (name.empty() || name.find('\0') != std::string::npos) return ReadResult::kCannotOpen;
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, maybe for ever.
  const int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return ReadResult::kCannotOpen;
  struct stat st;
  ReadResult result = ReadResult::kRead;
  if (fstat(fd, &st) != 0)
    result = ReadResult::kReadError;
  else if (!S_ISREG(st.st_mode))
    result = ReadResult::kNotRegular;
  else if (static_cast<unsigned long long>(st.st_size) > limit)
    result = ReadResult::kTooLarge;
  // The file may grow after the look at its size: the reading stops past the limit all the same.
  char block[4096];
  while (result == ReadResult::kRead) {
    const ssize_t got = read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) result = ReadResult::kReadError;
    if (got <= 0) break;
    out->append(block, static_cast<std::size_t>(got));
    if (out->size() > limit) result = ReadResult::kTooLarge;
  }
  close(fd);
  if (result != ReadResult::kRead) out->clear();
  return result;
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
  // The permission bits only: a set-user-ID or set-group-ID bit on a data file is never wanted.
  if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 0777);

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

// The process number in a temporary name NAME.tmp.PID.N of ReplaceFile's; 0 when it is not one.
static pid_t TemporaryOwner(const std::string& entry, const std::string& base) {
  const std::string head = base + ".tmp.";
  if (entry.compare(0, head.size(), head) != 0) return 0;
  const std::size_t dot = entry.find('.', head.size());
  if (dot == std::string::npos || dot == head.size() || dot + 1 == entry.size()) return 0;
  for (std::size_t i = head.size(); i < entry.size(); ++i)
    if (i != dot && (entry[i] < '0' || entry[i] > '9')) return 0;
  const std::string pid = entry.substr(head.size(), dot - head.size());
  if (pid.size() > 9 || pid[0] == '0') return 0; // no real process number looks like that
  return static_cast<pid_t>(std::stol(pid));
}

int RemoveStaleTemporaries(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return 0;
  const std::string target = ResolveLinks(name), folder = FolderOf(target);
  const std::size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  const int dirFd = dirfd(dir);
  while (const dirent* e = readdir(dir)) {
    const pid_t pid = TemporaryOwner(e->d_name, base);
    // A process that exists, or may (another user's: EPERM), keeps its file.
    if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
    struct stat st;
    if (fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        unlinkat(dirFd, e->d_name, 0) == 0)
      ++removed;
  }
  closedir(dir);
  return removed;
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
