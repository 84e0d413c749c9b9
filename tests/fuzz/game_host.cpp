// tests/fuzz/game_host.cpp — see game_host.h.
// Depends on: game_host.h, app (globals), game (globals), fuzz_support.h.
#include "tests/fuzz/game_host.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "app/app.h"
#include "game/globals.h"
#include "tests/fuzz/fuzz_support.h"

FuzzGameHost* g_host = nullptr;

String FuzzGameHost::PathToFilePath(const String& path) {
  const String prefix("quokka://data/");
  if (!path.StartsWith(prefix)) return path;
  return String((dataDir + "/").c_str()) + path.Slice(prefix.Length());
}

std::FILE* FuzzGameHost::OpenFile(const String& path, const String& mode) {
  if (path == String("./.quokkastate")) {
    if (mode != String("rb")) return nullptr;
    static char none = 0;
    return fmemopen(state.empty() ? &none : &state[0], state.size(), "rb");
  }
  return ZuGame::OpenFile(path, mode);
}

int FuzzGameHost::SaveState(const String& text) {
  state = text.ToUtf8(); // as ZuGame::SaveState writes it
  return 0;
}

namespace {

namespace fs = std::filesystem;

fs::path folder;

void RemoveFolder() {
  std::error_code ec;
  fs::remove_all(folder, ec);
}

// The data folder of each harness process is /dev/shm/lexorm-fuzz-PID. One that ends at a fault
// cannot remove its own (libFuzzer leaves without exit handlers): the next one removes the
// folders of processes that are gone.
fs::path MakeFolder() {
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator("/dev/shm", ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("lexorm-fuzz-", 0) != 0) continue;
    const long pid = std::atol(name.c_str() + 12);
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(e.path(), ec);
  }
  const fs::path made = "/dev/shm/lexorm-fuzz-" + std::to_string(getpid());
  if (!fs::create_directories(made, ec) && !fs::is_directory(made)) std::abort();
  return made;
}

} // namespace

c_MyApp* FuzzGame() {
  static c_MyApp* game = [] {
    SilenceStdout();
    folder = MakeFolder();
    std::atexit(RemoveFolder);
    g_host = new FuzzGameHost;
    g_host->dataDir = folder.string();
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    c_MyApp* app = (new c_MyApp)->m_new();
    gc_init2();
    return app;
  }();
  return game;
}
