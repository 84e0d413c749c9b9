// tests/game/game_support.cpp — see game_support.h.
#include "game_support.h"

#include <cstdlib>
#include <unistd.h>

#include "app/app.h"

namespace fs = std::filesystem;
TestHost* host = nullptr;

String TestHost::PathToFilePath(const String& path) {
  const String prefix("quokka://data/");
  if (!path.StartsWith(prefix)) return path;
  return String((dataDir.string() + "/").c_str()) + path.Slice(prefix.Length());
}

ZuGlfwVideoMode* TestHost::GetGlfwDesktopMode() {
  auto* mode = new ZuGlfwVideoMode;
  mode->width = 1280, mode->height = 1024, mode->red = mode->green = mode->blue = 8;
  return mode;
}

void TestHost::SetGlfwWindow(int w, int h, int, int, int, int, int, int, bool fullscreen) {
  windows.push_back(std::to_string(w) + "x" + std::to_string(h) + (fullscreen ? " full" : " window"));
  width = w, height = h;
}

fs::path folder;

c_MyApp* Game() {
  static c_MyApp* game = [] {
    char name[] = "/tmp/lexorm-game-XXXXXX";
    if (!mkdtemp(name) || chdir(name) != 0) std::abort(); // never write into a folder not ours
    folder = name;
    static const pid_t owner = getpid(); // a child that ends (a death test's) leaves the folder alone
    std::atexit([] {
      std::error_code ec;
      if (getpid() == owner) fs::remove_all(folder, ec);
    });
    setenv("ALSOFT_DRIVERS", "null", 1);
    host = new TestHost;
    host->dataDir = folder / "data";
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    c_MyApp* made = (new c_MyApp)->m_new();
    Array<int> guarded(21); // a guard cell after the 20 virtual buttons: nothing writes past them
    guarded.rep->length = 20, guarded.begin()[20] = 7;
    gc_assign(made->m_VButtons, guarded);
    return made;
  }();
  return game;
}

void RunUpdates(int n) {
  for (int i = 0; i < n; ++i) {
    host->clock += 16;
    zu_input_device->p_BeginUpdate();
    Game()->p_OnUpdate();
    zu_input_device->p_EndUpdate();
  }
}
void Press(int code) { zu_input_device->p_KeyEvent(1, code); }
void Release(int code) { zu_input_device->p_KeyEvent(2, code); }

int Records() { return Game()->m_DrawCount / kRecordFloats; }
const float* Record(int i) { return &Game()->m_DrawQueue[i * kRecordFloats]; }
std::vector<float> Field(int f) {
  std::vector<float> out;
  for (int i = 0; i < Records(); ++i) out.push_back(Record(i)[f]);
  return out;
}
std::vector<float> Fields(int record, std::initializer_list<int> fields) {
  std::vector<float> out;
  for (int f : fields) out.push_back(Record(record)[f]);
  return out;
}

gxtkSample* RecordingAudio::LoadSample(const String& path) {
  const std::string name = path.ToUtf8();
  auto* sample = new gxtkSample;
  loads.push_back(name), effectOf[sample] = std::atoi(name.c_str() + name.rfind('/') + 1);
  return sample;
}
int RecordingAudio::PlaySample(gxtkSample* sample, int ch, int flags) {
  effects.push_back(effectOf[sample]), channels.push_back(ch);
  return Note("play", ch, flags);
}
