// tests/support/subprocess.h — runs a program as a child process and collects what it did.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  int exit_code = -1; // 0..255, or -1 when the child was killed by a signal
  std::string out;    // everything written to standard output (standard error stays the test's)
};

// Runs argv[0] with the arguments, its standard input closed or empty; gives up (killing the
// child) after `timeout_s`.
ProcessResult RunProcess(const std::vector<std::string>& argv, bool close_stdin = false, int timeout_s = 30);

// True when this process has no child at all, running or waiting to be reaped.
bool NoChildren();
