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

int TestHost::SaveState(const String& s) {
  if (!stateInMemory) return ZuGame::SaveState(s);
  state = s.ToUtf8();
  return 0;
}

String TestHost::LoadState() {
  return stateInMemory ? String::FromUtf8(state.data(), static_cast<int>(state.size())) : ZuGame::LoadState();
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

bool TestHost::PollJoystick(int port, Array<float>, Array<float>, Array<float>, Array<bool> buttons) {
  if (port >= pads) return false;
  for (int b = 0; b < buttons.Length(); ++b) buttons[b] = (padButtons[port] >> b & 1) != 0;
  return true;
}

namespace {
fs::path folder;
pid_t owner;
// Only the process that made the folder removes it: death-test children exit through here too.
void RemoveFolder() {
  std::error_code ec;
  if (getpid() == owner) fs::remove_all(folder, ec);
}
} // namespace

c_MyApp* Game() {
  static c_MyApp* game = [] {
    char name[] = "/tmp/lexorm-game-XXXXXX";
    if (!mkdtemp(name) || chdir(name) != 0) std::abort(); // never write into a folder not ours
    folder = name;
    owner = getpid();
    std::atexit(RemoveFolder);
    setenv("ALSOFT_DRIVERS", "null", 1);
    host = new TestHost;
    host->dataDir = folder / "data";
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    return (new c_MyApp)->m_new();
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
  loads.push_back(path.ToUtf8());
  auto* sample = new gxtkSample;
  const std::string name = path.ToUtf8();
  const size_t at = name.rfind("sfx/");
  effectOf[sample] = at == std::string::npos ? -1 : std::atoi(name.c_str() + at + 4);
  return sample;
}

int RecordingAudio::PlaySample(gxtkSample* sample, int ch, int flags) {
  auto it = effectOf.find(sample);
  effects.push_back(it == effectOf.end() ? -1 : it->second);
  channels.push_back(ch);
  return Note("play", ch, flags);
}
