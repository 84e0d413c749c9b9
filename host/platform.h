// host/platform.h — Linux stand-ins: executable path, UTF-8 file names, spawn, local date, sleep,
// atomic replace.
// Depends on: runtime/string.h (the executable's path comes back as a String).
//
// This pair of files is the only place with Linux system calls for these services; the
// rest of the host calls these plain functions.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/string.h"

namespace platform {

// The running program's full path (readlink of /proc/self/exe) decoded as UTF-8; the
// empty string when it cannot be read.
String ExecutablePath();

// fopen of a UTF-8 file name; null when it cannot be opened (or the name holds a NUL).
std::FILE* OpenFile(const std::string& utf8Name, const char* mode);

// Starts argv[0] (looked up on PATH) with the arguments, with no shell in between, and
// returns at once; a background thread reaps the child when it ends, so none is left as
// a zombie. False (and errno-style text in *error) when it could not be started.
bool Spawn(const std::vector<std::string>& argv, std::string* error = nullptr);

struct LocalTime {
  int year = 0;   // four digits
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0; // 0..59
  int second = 0; // 0..60
};
// The current local date and time; false when the clock or time zone cannot be read.
bool Now(LocalTime* out);

// The signals that end a desktop session's programs politely (SIGTERM, SIGHUP): blocked in the
// calling thread and so in every thread it starts afterwards; call it first thing in main.
void BlockEndSignals();
// Starts a thread that waits for one of those signals and then calls `onEnd` (on that thread),
// once for each signal that arrives. False when the thread cannot be started.
bool WatchEndSignals(void (*onEnd)());

// Sleeps for the given number of seconds, resuming after an interruption by a signal (and only
// then). A wait that is not a positive finite number returns at once.
void SleepSeconds(double seconds);

enum class ReplaceResult {
  kReplaced = 0,
  kCannotOpen,  // the temporary file could not be created
  kShortWrite,  // fewer bytes written than asked
  kFlushFailed, // fflush or fsync failed
  kCloseFailed, // fclose reported an error
  kRenameFailed // the temporary file could not take the old one's place
};
const char* ReplaceResultText(ReplaceResult r);

// Replaces the file's contents in one step: writes a temporary file of a name no other save
// uses (in the same folder), flushes it to the disk and renames it over `name`, so two
// processes saving at once each leave one complete file and the last rename wins. A `name`
// that is a symbolic link stays one: its target is replaced. The old file's permissions are
// kept. On any failure the temporary file is removed and the old file is left as it was.
ReplaceResult ReplaceFile(const std::string& utf8Name, const void* data, std::size_t size);

} // namespace platform
