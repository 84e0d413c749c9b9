// bench/game_bench_support.cpp — see game_bench_support.h.
#include "game_bench_support.h"

#include <GL/gl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/app.h"
#include "audio/sound.h"
#include "game/globals.h"
#include "graphics/drawing.h"
#include "host/desktop_game.h"

namespace {

// The data folder of the build.
class BenchHost : public ZuGlfwGame {
public:
  BenchHost() { _baseDir = String(LEXORM_BUILD_DIR); }
};

gxtkGraphics* device = nullptr;

} // namespace

c_MyApp* LoadedGame(const char* name) {
  setenv("ALSOFT_DRIVERS", "null", 0);
  if (!glfw2().Init()) {
    std::fprintf(stderr, "%s: no display\n", name);
    return nullptr;
  }
  BenchHost* host = new BenchHost;
  zu_app_InitGlobals();
  zu_Tessel_InitGlobals();
  host->SetSwapInterval(0);
  host->SetGlfwWindow(640, 480, 8, 8, 8, 8, 0, 0, false);
  zu_graphics_SetGraphicsDevice(device = new gxtkGraphics);
  zu_audio_SetAudioDevice(new gxtkAudio);
  zu_input_SetInputDevice((new c_InputDevice)->m_new());
  zu_app_ValidateDeviceWindow(false);
  c_MyApp* game = (new c_MyApp)->m_new();
  game->p_OnCreate();
  // The real loading sequence and the word list, then the menu state.
  for (int i = 0; i < 2000 && (game->m_LoadStep > 0 || game->m_BankState == 1); ++i) {
    RenderGame(game);
    UpdateGame(game);
  }
  if (game->m_LoadStep != 0 || game->m_BankState != 2 || game->m_Images[1] == nullptr ||
      game->m_Images[96] == nullptr) {
    std::fprintf(stderr, "%s: the data did not load from %s/data\n", name, LEXORM_BUILD_DIR);
    return nullptr;
  }
  return game;
}

gxtkGraphics* BenchDevice() { return device; }

void UpdateGame(c_MyApp* game) {
  zu_input_device->p_BeginUpdate();
  game->p_OnUpdate();
  zu_input_device->p_EndUpdate();
}

void RenderGame(c_MyApp* game) {
  device->BeginRender();
  zu_graphics_BeginRender();
  game->p_OnRender();
  zu_graphics_EndRender();
  device->EndRender();
  glFinish();
}

void CloseGame() { glfw2().Terminate(); }

double CpuMs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + t.tv_nsec * 1e-6;
}

double WallMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

const char* RendererName() {
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return renderer ? renderer : "?";
}
