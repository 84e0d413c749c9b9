// tests/support/temp_files.cpp — see temp_files.h.
#include "temp_files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

TempDir::TempDir(const char* tag) {
  std::string name = std::string("/tmp/lexorm-") + tag + "-XXXXXX";
  if (!mkdtemp(&name[0])) {
    std::perror("TempDir: mkdtemp");
    std::abort(); // a test must never write into a folder it does not own
  }
  path = name;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path, ec);
}

static fs::path ProgramFolder() { return fs::read_symlink("/proc/self/exe").parent_path(); }

std::string BesideProgram::Put(const std::string& top, const std::string& name, const std::string& bytes) {
  std::string folder = top + "/lexorm-test-" + std::to_string(getpid());
  made.push_back(ProgramFolder() / folder);
  WriteFile(made.back() / fs::u8path(name), bytes);
  return folder + "/" + name;
}

BesideProgram::~BesideProgram() {
  std::error_code ec;
  for (const fs::path& p : made) fs::remove_all(p, ec);
}

std::string ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  if (p.has_parent_path()) {
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
  }
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f << bytes;
}
