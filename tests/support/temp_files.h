// tests/support/temp_files.h — temporary folders, whole files read and written, waiting.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

// A fresh folder /tmp/lexorm-<tag>-XXXXXX, removed with everything in it at the end.
struct TempDir {
  std::filesystem::path path;
  explicit TempDir(const char* tag = "test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
};

// Works in another folder for a while.
struct InFolder {
  std::filesystem::path old = std::filesystem::current_path();
  explicit InFolder(const std::filesystem::path& p) { std::filesystem::current_path(p); }
  ~InFolder() { std::filesystem::current_path(old); }
};

// Folders named for this process in top folders beside the test program ("data", ...), removed
// with their contents at the end; the top folders stay, as other test processes may use them.
struct BesideProgram {
  std::vector<std::filesystem::path> made;
  // Writes `bytes` to <top>/lexorm-test-<pid>/<name> beside the program; returns that relative path.
  std::string Put(const std::string& top, const std::string& name, const std::string& bytes);
  ~BesideProgram();
};

// The whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& p);
// Replaces the file's contents, creating the folders above it first.
void WriteFile(const std::filesystem::path& p, const std::string& bytes);

// Asks `done` every 10 ms until it is true or `ms` milliseconds have passed; its last answer.
template <class Pred> bool WaitFor(Pred done, int ms) {
  for (int waited = 0; waited < ms; waited += 10) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}
