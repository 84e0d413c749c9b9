// tests/app/app_child.cpp — a program with its own application, started by the real entry.
//   run     checks devices and bracketing, then ends itself after 20 updates
//   close   sends key up 432 (ignored), then key down 432, which must end the program
//   back    the same with 416
//   twice   creates a second application
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "audio/sound.h"
#include "graphics/drawing.h"
#include "runtime/startup.h"

extern int argc;
extern char** argv;

namespace {

const char* Mode() { return argc > 1 ? argv[1] : "run"; }

class TestApp : public c_App {
public:
  int updates = 0;
  bool rendered_inside = true;

  int p_OnCreate() override {
    bool devices = zu_graphics_device && zu_audio_device && zu_input_device && zu_app__delegate;
    std::printf("created %dx%d devices %s\n", zu_app_DeviceWidth(), zu_app_DeviceHeight(),
                devices ? "ok" : "missing");
    zu_app_SetUpdateRate(60);
    return 0;
  }
  int p_OnUpdate() override {
    ++updates;
    if (!std::strcmp(Mode(), "run")) {
      if (updates == 20) {
        std::printf("updates %d rendered %s\n", updates, rendered_inside ? "inside frames" : "outside");
        std::fflush(stdout);
        zu_app_EndApp();
      }
    } else if (updates == 3) {
      int key = !std::strcmp(Mode(), "close") ? 432 : 416;
      zu_app__game->KeyEvent(2, key);
      std::printf("key up alone ignored\n");
      zu_app__game->KeyEvent(1, key);
      std::printf("after the key\n");
    }
    return 0;
  }
  int p_OnRender() override {
    rendered_inside = rendered_inside && zu_graphics_renderDevice != nullptr;
    zu_graphics_DrawRect(10, 10, 20, 20);
    return 0;
  }
  int p_OnClose() override { return Save(); }
  int p_OnBack() override { return Save(); }
  int Save() {
    std::printf("saving before the end\n");
    std::fflush(stdout);
    return c_App::p_OnClose();
  }
};

} // namespace

void zuInit() { zu_app_InitGlobals(); }

int zuMain() {
  (new TestApp)->m_new();
  if (!std::strcmp(Mode(), "twice")) (new TestApp)->m_new();
  return 0;
}
