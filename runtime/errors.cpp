// runtime/errors.cpp — zuError, the debug stop, zuPrint, the signal-safe fatal-signal report, formatters.
// Depends on: errors.h, gc.h (to recognise live objects), string.h.
#include "errors.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

const char* dbg_info = nullptr;
String dbg_exstack;
int dbg_suspend;
int dbg_stepmode;

// ============================================================================
// [SECTION] Printing
// ============================================================================

void zuPrint(const String& text) {
  static std::string out; // reused between calls
  out = text.ToUtf8();
  out += '\n';
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

void zuDebugLog(const String& text) { zuPrint(text); }

void dbg_print(const String& text) {
  static std::string out;
  out.assign(text.Length(), '\0');
  for (int i = 0; i < text.Length(); ++i) out[i] = static_cast<char>(text[i]);
  out += '\n';
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

String dbg_stacktrace() {
  if (!dbg_info || !*dbg_info) return String();
  return String(dbg_info) + String("\n");
}

// ============================================================================
// [SECTION] Errors and the debug stop
// ============================================================================

namespace {
void (*g_exitHandler)(int) = nullptr;
} // namespace

void zu_set_exit_handler(void (*handler)(int)) { g_exitHandler = handler; }

void zu_exit(int status) {
  if (g_exitHandler) g_exitHandler(status);
  std::exit(status);
}

void zuError(const String& message) {
  if (message.Length() == 0) zu_exit(0);
  String::CString<char> text(message);
  dbg_error(text);
}

void dbg_error(const char* text) {
  for (;;) {
    zuPrint(String("Quokka Runtime Error : ") + String(text));
    zuPrint(dbg_stacktrace());
    dbg_stop();
  }
}

void zuDebugStop() { dbg_stop(); }

void dbg_throw(const char* text) {
  dbg_exstack = dbg_stacktrace();
  throw text;
}

// '@' names an object by address. Only an object found on the collector's live lists
// is asked for its description: an address read from input is never dereferenced.
static void describe_object(const char* arg) {
  void* p = nullptr;
  if (std::sscanf(arg, "%p", &p) == 1 && gc_is_live_object(p)) {
    if (Object* o = dynamic_cast<Object*>(static_cast<gc_object*>(p))) {
      dbg_print(o->debug());
      return;
    }
  }
  dbg_print(String());
}

void dbg_stop() {
  std::fprintf(stderr, "{{~~%s~~}}\n", dbg_info ? dbg_info : "");
  dbg_print(String());
  std::fflush(stderr);
  for (;;) {
    char line[256];
    if (!std::fgets(line, sizeof line, stdin)) zu_exit(-1);
    std::size_t n = std::strlen(line);
    if (n == 0 || line[n - 1] != '\n') zu_exit(-1);
    line[n - 1] = 0;
    switch (line[0]) {
    case '?':
      continue;
    case '@':
      describe_object(line + 1);
      continue;
    case 'r':
      dbg_suspend = 0;
      dbg_stepmode = 0;
      return;
    case 's':
    case 'e':
      dbg_suspend = 1;
      dbg_stepmode = line[0];
      return;
    case 'l':
      dbg_suspend = 0;
      dbg_stepmode = 'l';
      return;
    case 'q':
      zu_exit(0);
    default:
      std::printf("????? %s ?????", line);
      std::fflush(stdout);
      zu_exit(-1);
    }
  }
}

// ============================================================================
// [SECTION] Signals
// ============================================================================

// The report of a fatal signal, made only of calls that are safe inside a signal handler: the
// heap may be damaged or its lock held by the code that crashed, so nothing here allocates,
// takes a lock or goes through standard I/O. The texts, the stop protocol and the exit
// statuses are those of dbg_error; an object description ('@') answers with an empty line.
namespace {

void WriteAll(int fd, const char* text, std::size_t n) {
  while (n > 0) {
    ssize_t done = write(fd, text, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return;
    text += done;
    n -= static_cast<std::size_t>(done);
  }
}

void WriteText(int fd, const char* text) { WriteAll(fd, text, std::strlen(text)); }

// One line of at most 255 characters from standard input, without its newline; false at the
// end of input or when the line has no newline within that length.
bool ReadLine(char (&line)[256]) {
  std::size_t n = 0;
  for (;;) {
    char c;
    ssize_t got = read(0, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (c == '\n') break;
    if (n + 1 >= sizeof line) return false;
    line[n++] = c;
  }
  line[n] = 0;
  return true;
}

[[noreturn]] void SignalReport(const char* text) {
  for (;;) {
    WriteText(1, "Quokka Runtime Error : ");
    WriteText(1, text);
    WriteText(1, "\n");
    if (dbg_info && *dbg_info) {
      WriteText(1, dbg_info);
      WriteText(1, "\n");
    }
    WriteText(1, "\n");
    WriteText(2, "{{~~");
    if (dbg_info) WriteText(2, dbg_info);
    WriteText(2, "~~}}\n\n");
    for (bool resumed = false; !resumed;) {
      char line[256];
      if (!ReadLine(line)) _exit(-1);
      switch (line[0]) {
      case '?':
        break;
      case '@':
        WriteText(2, "\n");
        break;
      case 'r':
      case 's':
      case 'e':
      case 'l':
        dbg_suspend = line[0] == 's' || line[0] == 'e' ? 1 : 0;
        dbg_stepmode = line[0] == 'r' ? 0 : line[0];
        resumed = true;
        break;
      case 'q':
        _exit(0);
      default:
        WriteText(1, "????? ");
        WriteText(1, line);
        WriteText(1, " ?????");
        _exit(-1);
      }
    }
  }
}

} // namespace

void sighandler(int sig) {
  // One report for the process: a second fault, on this thread or another, waits for the
  // first report to end the process.
  static std::atomic<int> reporting{0};
  if (reporting.exchange(1) != 0)
    for (;;) pause();
  const char* text = "Unknown signal";
  if (sig == SIGSEGV)
    text = "Memory access violation";
  else if (sig == SIGILL)
    text = "Illegal instruction";
  else if (sig == SIGFPE)
    text = "Floating point exception";
  SignalReport(text);
}

void zu_install_signal_handlers() {
#ifdef __EMSCRIPTEN__
  // In the browser a fault traps the page's WebAssembly and is never a signal: the page reports
  // it. (There is no sigaltstack there either.)
  return;
#endif
  // A stack of its own lets a stack overflow still be reported.
  static char alt_stack[64 * 1024];
  stack_t ss{};
  ss.ss_sp = alt_stack;
  ss.ss_size = sizeof alt_stack;
  sigaltstack(&ss, nullptr);

  struct sigaction sa {};
  sa.sa_handler = sighandler;
  sa.sa_flags = SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGSEGV, &sa, nullptr);
  sigaction(SIGILL, &sa, nullptr);
  sigaction(SIGFPE, &sa, nullptr);
}

// ============================================================================
// [SECTION] Value formatters
// ============================================================================

String dbg_type(bool*) { return String("Bool"); }
String dbg_type(int*) { return String("Int"); }
String dbg_type(float*) { return String("Float"); }
String dbg_type(String*) { return String("String"); }

String dbg_value(bool v) { return String(v ? "True" : "False"); }
String dbg_value(int v) { return String(v); }
String dbg_value(float v) { return String(v); }

String dbg_value(const String& v) {
  String t = v;
  if (t.Length() > 100) t = t.Slice(0, 100) + String("...");
  t = t.Replace(String("\""), String("~q"));
  t = t.Replace(String("\t"), String("~t"));
  t = t.Replace(String("\n"), String("~n"));
  t = t.Replace(String("\r"), String("~r"));
  return String("\"") + t + String("\"");
}

String dbg_ptr_value(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", p);
  const char* s = (buf[0] == '0' && buf[1] == 'x') ? buf + 2 : buf;
  return String(s);
}
