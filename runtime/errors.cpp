// runtime/errors.cpp — zuError, dbg_error and the debug stop, zuPrint, signal handlers, formatters.
// Depends on: errors.h, gc.h (to recognise live objects), string.h.
#include "errors.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

void zuError(const String& message) {
  if (message.Length() == 0) std::exit(0);
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
    if (!std::fgets(line, sizeof line, stdin)) std::exit(-1);
    std::size_t n = std::strlen(line);
    if (n == 0 || line[n - 1] != '\n') std::exit(-1);
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
      std::exit(0);
    default:
      std::printf("????? %s ?????", line);
      std::fflush(stdout);
      std::exit(-1);
    }
  }
}

// ============================================================================
// [SECTION] Signals
// ============================================================================

void sighandler(int sig) {
  const char* text = "Unknown signal";
  if (sig == SIGSEGV)
    text = "Memory access violation";
  else if (sig == SIGILL)
    text = "Illegal instruction";
  else if (sig == SIGFPE)
    text = "Floating point exception";
  dbg_error(text);
}

void zu_install_signal_handlers() {
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
