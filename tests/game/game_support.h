// tests/game/game_support.h — the set-up every game test shares: a host the test steers, the
// globals and one c_MyApp per process in a folder of its own, and the draw queue read back.
#pragma once

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

// A host without a real window. The device size and the clock are the test's (each reading
// returns the clock, then moves it on by `tick`); "quokka://data/" is `dataDir`; the saved state
// goes to ".quokkastate" in the current folder, or stays in `state`. Its window can be re-opened
// (each opening is written down and sets the device size) on a 1280 x 1024 desktop; `pads` game
// pads are plugged in, pad p holding the buttons of bit mask `padButtons[p]`.
class TestHost : public ZuGame, public ZuWindowHost {
public:
  int width = 640, height = 480, clock = 0, tick = 0;
  std::filesystem::path dataDir;
  bool stateInMemory = false;
  std::string state;
  std::vector<std::string> windows; // "1280x1024 full", "640x480 window"
  int pads = 0;
  unsigned padButtons[4] = {};

  ZuWindowHost* WindowHost() override { return this; }
  ZuGlfwVideoMode* GetGlfwDesktopMode() override;
  void SetGlfwWindow(int w, int h, int, int, int, int, int, int, bool fullscreen) override;
  bool PollJoystick(int port, Array<float>, Array<float>, Array<float>, Array<bool> buttons) override;

  int GetDeviceWidth() override { return width; }
  int GetDeviceHeight() override { return height; }
  int Millisecs() override { return (clock += tick) - tick; }
  String PathToFilePath(const String& path) override;
  int SaveState(const String& s) override;
  String LoadState() override;
};

extern TestHost* host;

// The game of this process, made on the first call with the host and every module global, in
// a fresh temporary folder (its "data" is not made); OpenAL Soft plays into nothing. No devices.
c_MyApp* Game();

// The entries of an array at the given places.
template <class T> std::vector<T> At(const Array<T>& a, std::initializer_list<int> at) {
  std::vector<T> out;
  for (int i : at) out.push_back(a[i]);
  return out;
}

// n updates of the game as the host runs them, 16 ms of the host clock apart: the input
// module's begin, p_OnUpdate, its end.
void RunUpdates(int n);

// Key events on the installed input device.
void Press(int code);
void Release(int code);

// The draw queue: its record count, one record, one field of every record, some fields of one.
int Records();
const float* Record(int i);
std::vector<float> Field(int f);
std::vector<float> Fields(int record, std::initializer_list<int> fields);

// The audio device, writing down what the sound module asks of it instead of playing.
class RecordingAudio : public gxtkAudio {
public:
  std::vector<std::string> loads, calls; // calls: "play 3 0", "rate 3 1.5", "music PATH 1", ...
  std::vector<int> channels;             // those played on
  std::vector<int> effects;              // the effect numbers played ("sfx/NNN.wav")
  gxtkSample* LoadSample(const String& path) override;
  int PlaySample(gxtkSample* sample, int ch, int flags) override;
  int StopChannel(int ch) override { return Note("stop", ch); }
  int SetRate(int ch, float v) override { return Note("rate", ch, v); }
  int SetVolume(int ch, float v) override { return Note("volume", ch, v); }
  int SetPan(int ch, float v) override { return Note("pan", ch, v); }
  int PlayMusic(const String& path, int flags) override { return Note("music " + path.ToUtf8(), flags); }
  int StopMusic() override { return Note("stop music"); }
  void Clear() { loads.clear(), calls.clear(), channels.clear(), effects.clear(); }
  template <class... A> int Note(const std::string& what, A... a) {
    std::ostringstream line;
    line << what;
    ((line << ' ' << a), ...);
    return calls.push_back(line.str()), 0;
  }

private:
  std::map<gxtkSample*, int> effectOf;
};

// Writes down the draw calls that reach it instead of drawing: no OpenGL.
class CountingDevice : public gxtkGraphics {
public:
  std::string calls; // a letter a call: r(ect), o(val), l(ine), i(mage)
  std::vector<float> lastRect;
  gxtkSurface* LoadSurface(const String&) override { return nullptr; }
  gxtkSurface* CreateSurface(int, int) override { return nullptr; }
  void SetColor(float, float, float) override {}
  void SetAlpha(float) override {}
  void SetBlend(int) override {}
  void SetScissor(int, int, int, int) override {}
  void SetMatrix(float, float, float, float, float, float) override {}
  void DrawRect(float x, float y, float w, float h) override { calls += 'r', lastRect = {x, y, w, h}; }
  void DrawOval(float, float, float, float) override { calls += 'o'; }
  void DrawLine(float, float, float, float) override { calls += 'l'; }
  void DrawSurface2(gxtkSurface*, float, float, int, int, int, int) override { calls += 'i'; }
};
