// host/main.cpp — the process entry and ZuQuokkaGame::Main, the start-up sequence.
// Depends on: desktop_game.h, window_api.h, platform.h, runtime (startup.h). The program supplies zuInit and
// zuMain.
#include <cstdio>
#include <cstdlib>

#include "desktop_game.h"
#include "platform.h"
#include "runtime/startup.h"

int ZuQuokkaGame::Main(int argc, char** argv) {
  // Before any thread exists, so that only the watcher below ever takes these signals.
  platform::BlockEndSignals();
  if (!glfw2().Init()) {
    std::fputs("glfwInit failed\n", stdout);
    std::fflush(stdout);
    std::exit(-1);
  }
  ZuQuokkaGame* game = new ZuQuokkaGame;
  platform::WatchEndSignals(ZuGlfwGame::RequestClose);
  try {
    zu_std_main(argc, argv);
  } catch (ThrowableObject* ex) {
    glfw2().Terminate();
    game->Die(ex);
  }
  if (game->Delegate()) game->Run();
  glfw2().Terminate();
  return 0;
}

int main(int argc, char** argv) {
  ZuQuokkaGame::Main(argc, argv);
  return 0;
}
