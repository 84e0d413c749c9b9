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
  // A loop that has not taken the request within two seconds is stuck (a debug stop waiting on a
  // terminal, say): the watcher ends the process then, or at once on a second signal.
  platform::WatchEndSignals(ZuGlfwGame::RequestClose, ZuGlfwGame::CloseTaken, 2.0);
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
