// tests/game/game_support.h — one c_MyApp per process on a host; audio, graphics, draw queue to read.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "audio/device.h"
#include "game/globals.h"
#include "game/my_app.h"
#include "graphics/device.h"
#include "host/game.h"
#include "tests/support/checks.h"

// Device size and clock (moved on by `tick` a reading) are the test's; the state stays in `state`.
class TestHost : public ZuGame, public ZuWindowHost {
public:
  int width = 640, height = 480, clock = 0, tick = 0;
  std::filesystem::path dataDir;
  bool stateInMemory = false;
  std::string state;
  std::vector<std::string> windows; // "1280x1024 full", "640x480 window"
  int fullscreen = -1;              // what the window says of full screen; -1: it cannot tell

  ZuWindowHost* WindowHost() override { return this; }
  ZuGlfwVideoMode* GetGlfwDesktopMode() override;
  void SetGlfwWindow(int w, int h, int, int, int, int, int, int, bool fullscreen) override;
  int WindowFullscreen() override { return fullscreen; }
  int GetDeviceWidth() override { return width; }
  int GetDeviceHeight() override { return height; }
  int Millisecs() override { return (clock += tick) - tick; }
  String PathToFilePath(const String& path) override;
  unsigned padButtons = 0; // the buttons held on pad 0, bit by bit: a pad is there while one is
  bool PollJoystick(int unit, Array<float>, Array<float>, Array<float>, Array<bool> held) override {
    for (int b = 0; b < held.Length(); ++b) held[b] = unit == 0 && (padButtons >> b & 1);
    return unit == 0 && padButtons;
  }
  int SaveState(const String& s) override {
    return stateInMemory ? (state = s.ToUtf8(), 0) : ZuGame::SaveState(s);
  }
  String LoadState() override {
    return stateInMemory ? String::FromUtf8(state.data(), static_cast<int>(state.size()))
                         : ZuGame::LoadState();
  }
};
extern TestHost* host;

// The game of this process with every module global, made on the first call; VButtonsGuard()
// reads the cell after its 20 virtual buttons, 7 unless something wrote past them.
c_MyApp* Game();
inline int VButtonsGuard() { return Game()->m_VButtons.begin()[20]; }
void RunUpdates(int n); // n updates 16 ms apart, each between the input module's begin and end
void Press(int code);
void Release(int code);
int Records();
const float* Record(int i);
std::vector<float> Field(int f);                                          // field f of every record
std::vector<float> Fields(int record, std::initializer_list<int> fields); // some fields of one
template <class T> std::vector<T> At(const Array<T>& a, std::initializer_list<int> at) {
  std::vector<T> out;
  for (int i : at) out.push_back(a[i]);
  return out;
}

// What reaches the device: each blend change, and each rectangle as "x,y wxh".
class RecordingGraphics : public gxtkGraphics {
public:
  std::vector<int> blends;
  std::vector<std::string> rects;
  void SetBlend(int blend) override { blends.push_back(blend); }
  void DrawRect(float x, float y, float w, float h) override {
    std::ostringstream r;
    r << x << ',' << y << ' ' << w << 'x' << h;
    rects.push_back(r.str());
  }
};

// Calls "stop 3", "play 3 0", "rate 3 1.5", "music PATH 1", ...; effects: "sfx/NNN.wav" numbers played.
class RecordingAudio : public gxtkAudio {
public:
  std::vector<std::string> loads, calls;
  std::vector<int> channels, effects;
  gxtkSample* LoadSample(const String& path) override;
  int PlaySample(gxtkSample* sample, int ch, int flags) override;
  int StopChannel(int ch) override { return Note("stop", ch); }
  int SetRate(int ch, float v) override { return Note("rate", ch, v); }
  int SetVolume(int ch, float v) override { return Note("volume", ch, v); }
  int SetPan(int ch, float v) override { return Note("pan", ch, v); }
  int PlayMusic(const String& path, int flags) override { return Note("music " + path.ToUtf8(), flags); }
  int StopMusic() override { return Note("stop music"); }
  int PauseMusic() override { return Note("pause music"); }
  int ResumeMusic() override { return Note("resume music"); }
  void Clear() { loads.clear(), calls.clear(), channels.clear(), effects.clear(); }
  std::map<gxtkSample*, int> effectOf;
  template <class... A> int Note(const std::string& what, A... a) {
    std::ostringstream line;
    line << what;
    ((line << ' ' << a), ...);
    return calls.push_back(line.str()), 0;
  }
};
