// runtime/errors.h — run-time errors, the debug stop protocol, printing and value formatting.
// Depends on: gc.h, string.h.
#pragma once

#include "gc.h"
#include "string.h"

// Base of every exception object module code throws (thrown and caught as pointers).
class ThrowableObject : public Object {};

extern const char* dbg_info; // location shown in the stop line; null or empty in release
extern String dbg_exstack;
extern int dbg_suspend;
extern int dbg_stepmode;

// Writes the text as UTF-8 and a newline to standard output, then flushes.
void zuPrint(const String& text);
void zuDebugLog(const String& text);
void zuDebugStop();
// Raises a run-time error; an empty message ends the program quietly with status 0.
[[noreturn]] void zuError(const String& message);

// Ends the program with the status: std::exit, unless the host installed an ending of its own.
// A host whose process must outlive the game (a page in the browser) installs one that throws
// past the game's frames to its loop, which then stops; such an ending must never return (if it
// does, std::exit follows). Null restores std::exit.
[[noreturn]] void zu_exit(int status);
void zu_set_exit_handler(void (*handler)(int status));

[[noreturn]] void dbg_error(const char* text);
void dbg_stop();
void dbg_print(const String& text);
String dbg_stacktrace();
[[noreturn]] void dbg_throw(const char* text);

// Turns SIGSEGV, SIGILL and SIGFPE into run-time errors.
void sighandler(int sig);
void zu_install_signal_handlers();

// Formatters an object uses to describe itself to a debugger.
String dbg_type(bool*);
String dbg_type(int*);
String dbg_type(float*);
String dbg_type(String*);
String dbg_value(bool v);
String dbg_value(int v);
String dbg_value(float v);
String dbg_value(const String& v);
String dbg_ptr_value(const void* p);
