// host/platform.h — Linux stand-ins: executable path, file names byte for byte, small-file reads,
// spawn, local date, sleep, atomic replace and its leftovers, the end signals.
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

// File names are bytes; the runtime's texts are UTF-16. A name read from the system becomes text
// with FileNameText: its UTF-8 sequences as characters, every byte that is not part of one as the
// lone surrogate U+DC00 + byte (0x80..0xFF give U+DC80..U+DCFF), which no decoded name holds.
// FileNameBytes turns such text back into the very same bytes (and any other text into UTF-8),
// so a folder named in Latin-1 or any other bytes keeps its name through the host's paths.
String FileNameText(const char* bytes, std::size_t n);
std::string FileNameBytes(const String& text);

// The running program's full path (readlink of /proc/self/exe) as FileNameText; the empty string
// when it cannot be read.
String ExecutablePath();

// fopen of a file name's bytes; null when it cannot be opened (or the name holds a NUL).
std::FILE* OpenFile(const std::string& utf8Name, const char* mode);

enum class ReadResult {
  kRead = 0,
  kCannotOpen, // missing, or not to be opened by this user
  kNotRegular, // a FIFO, a device, a folder, a socket
  kTooLarge,   // more than the limit
  kReadError
};
// The whole content of a regular file of at most `limit` bytes, into *out (emptied first). The
// name is opened without waiting and read only when it is a regular file, so a FIFO or a device in
// its place never blocks the caller, and never more than limit + 1 bytes are read.
ReadResult ReadSmallFile(const std::string& name, std::size_t limit, std::string* out);

// Starts argv[0] (looked up on PATH) with the arguments, with no shell in between, and
// returns at once; a background thread reaps the child when it ends, so none is left as
// a zombie. False (and errno-style text in *error) when it could not be started.
bool Spawn(const std::vector<std::string>& argv, std::string* error = nullptr);

// Opens the address (http or https, as UTF-8) in the player's browser: xdg-open on the desktop, a
// new tab in the browser build. False, with what went wrong in *error, when it cannot.
bool OpenInBrowser(const std::string& url, std::string* error);

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
// Starts a thread that waits for one of those signals and then calls `onEnd` (on that thread) to ask
// the main loop to close. The loop may be stuck where it cannot see the request (a debug stop
// waiting on a terminal, a file that blocks as it is opened): when `taken` has not said so within
// `grace` seconds, or when a second such signal arrives, the process ends at once with
// _exit(128 + the signal), after one line on standard error. Every save replaces the state file
// whole, so an end at any moment loses nothing already saved. False when the thread cannot start.
bool WatchEndSignals(void (*onEnd)(), bool (*taken)(), double grace);

// Whether worker threads can start here: true on the desktop, never in the browser build (built
// without threads, where the network's operations are refused instead of run). Tests turn it off
// on the desktop to run the browser's rule.
bool ThreadsAvailable();
void SetThreadsAvailable(bool available);

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
// kept, but for the set-user-ID, set-group-ID and sticky bits: only the permission bits (0777).
// On any failure the temporary file is removed and the old file is left as it was.
ReplaceResult ReplaceFile(const std::string& utf8Name, const void* data, std::size_t size);

// Removes the temporary files that saves to `name` left where ReplaceFile writes them (NAME.tmp.PID.N
// beside the file its links lead to) when their process was killed before the rename: only regular
// files, and only of processes that no longer exist (another copy of the program may be saving in
// the same folder right now). Returns how many were removed.
int RemoveStaleTemporaries(const std::string& name);

} // namespace platform
