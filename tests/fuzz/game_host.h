// tests/fuzz/game_host.h — the game for the harnesses that need one: a host without a window
// whose saved state lives in memory (read back through ZuGame::LoadState, that is String::Load,
// as on disk) and whose "quokka://data/" is a folder of the harness's own, and one c_MyApp.
// Depends on: host (ZuGame), game (c_MyApp, its globals).
#pragma once

#include <string>

#include "game/my_app.h"
#include "host/game.h"

class FuzzGameHost : public ZuGame {
public:
  std::string dataDir; // "quokka://data/NAME" is dataDir + "/NAME"
  std::string state;   // the bytes of the saved state

  String PathToFilePath(const String& path) override;
  std::FILE* OpenFile(const String& path, const String& mode) override;
  int SaveState(const String& text) override;
};

extern FuzzGameHost* g_host;

// Made on the first call: standard output silenced, the host with a data folder of its own
// under /dev/shm (removed at exit), the module globals, the game.
c_MyApp* FuzzGame();
