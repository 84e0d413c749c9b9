// tests/support/runtime_output.h — what the runtime prints on standard output, run-time errors too.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <utility>

// Everything the call prints on standard output.
template <class F> std::string StdoutOf(F&& call) {
  testing::internal::CaptureStdout();
  std::forward<F>(call)();
  return testing::internal::GetCapturedStdout();
}

// For death tests: the runtime reports errors on standard output while the death test reads
// standard error; with nothing on standard input the debug stop ends the process with 255.
inline void PrepareToDie() {
  std::fflush(stdout);
  dup2(2, 1);
  if (!std::freopen("/dev/null", "r", stdin)) std::exit(3);
}

// The statement ends the process with the run-time error `text` (a string literal, read as
// a regular expression). Statements that return normally fail the check.
#define EXPECT_RUNTIME_ERROR(statement, text)                                                                \
  EXPECT_EXIT(                                                                                               \
      {                                                                                                      \
        PrepareToDie();                                                                                      \
        statement;                                                                                           \
        std::exit(0);                                                                                        \
      },                                                                                                     \
      ::testing::ExitedWithCode(255), "(^|\n)Quokka Runtime Error : " text "\n")
