// host/game.h — ZuGame, the platform-neutral game host: the delegate it calls, the update
// rate, the started and suspended flags, and the guarded calls into the delegate, the
// outermost of them followed by one collection step. Also the delegate interface, the
// display-mode records and the window-host interface.
// Depends on: runtime.
#pragma once

#include <cstdio>

#include "runtime/array.h"
#include "runtime/errors.h"
#include "runtime/gc.h"
#include "runtime/string.h"

// ============================================================================
// [SECTION] Delegate and records
// ============================================================================

// How the host calls the application. Event codes belong to the application framework.
class ZuGameDelegate : public Object {
public:
  virtual void StartGame() {}
  virtual void SuspendGame() {}
  virtual void ResumeGame() {}
  virtual void UpdateGame() {}
  virtual void RenderGame() {}
  virtual void KeyEvent(int, int) {}
  virtual void MouseEvent(int, int, float, float) {}
  virtual void TouchEvent(int, int, float, float) {}
  virtual void MotionEvent(int, int, float, float, float) {}
  virtual void DiscardGraphics() {}
};

class ZuDisplayMode : public Object {
public:
  int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
};

class ZuGlfwVideoMode : public Object {
public:
  int width = 0, height = 0, red = 0, green = 0, blue = 0;
};

// An audio file reader: PCM frames, channels, bytes per sample and rate; null on failure.
using ZuAudioReader = unsigned char* (*)(std::FILE* f, int* length, int* channels, int* format, int* hertz);

// The window side of a host that can re-open its window (the desktop host; a test's host).
class ZuWindowHost {
public:
  virtual ~ZuWindowHost() {}
  virtual ZuGlfwVideoMode* GetGlfwDesktopMode() = 0;
  virtual void SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha, int depth,
                             int stencil, bool fullscreen) = 0;
  // 1 while the window fills the screen, 0 while it does not, -1 when the host cannot tell. A
  // window may leave full screen without being asked (a browser's own Escape key does that).
  virtual int WindowFullscreen() { return -1; }
};

// ============================================================================
// [SECTION] The host
// ============================================================================

class ZuGame {
public:
  static ZuGame* _game;

  ZuGame();
  virtual ~ZuGame() {}

  virtual void SetDelegate(ZuGameDelegate* d) { _delegate = d; }
  virtual ZuGameDelegate* Delegate() { return _delegate; }
  virtual void SetKeyboardEnabled(bool enabled) { _keyboardEnabled = enabled; }
  virtual bool KeyboardEnabled() { return _keyboardEnabled; }
  virtual void SetUpdateRate(int hz) { _updateRate = hz; }
  virtual int UpdateRate() { return _updateRate; }
  virtual bool Started() { return _started; }
  virtual bool Suspended() { return _suspended; }
  virtual int Millisecs() { return 0; }
  virtual void GetDate(Array<int> date);
  virtual int SaveState(const String& state);
  virtual String LoadState();
  virtual String LoadString(const String& path);
  virtual bool PollJoystick(int, Array<float>, Array<float>, Array<float>, Array<bool>) { return false; }
  virtual void OpenUrl(const String&) {}
  virtual void SetMouseVisible(bool) {}
  virtual int GetDeviceWidth() { return 0; }
  virtual int GetDeviceHeight() { return 0; }
  virtual void SetDeviceWindow(int, int, int) {}
  virtual Array<ZuDisplayMode*> GetDisplayModes() { return Array<ZuDisplayMode*>(); }
  virtual ZuDisplayMode* GetDesktopMode() { return nullptr; }
  virtual void SetSwapInterval(int) {}
  // The window that can be re-opened; null when the host has none.
  virtual ZuWindowHost* WindowHost() { return nullptr; }
  virtual String PathToFilePath(const String& path) { return path; }
  virtual std::FILE* OpenFile(const String& path, const String& mode);
  // The whole file in one heap block (free with std::free); null when it cannot be read.
  virtual unsigned char* LoadData(const String& path, int* length);
  virtual unsigned char* LoadImageData(const String&, int*, int*, int*) { return nullptr; }
  virtual unsigned char* LoadAudioData(const String&, int*, int*, int*, int*) { return nullptr; }
  // Reports an uncaught exception and ends the program with status -1.
  [[noreturn]] virtual void Die(ThrowableObject* ex);
  virtual void gc_collect();

  virtual void StartGame();
  virtual void SuspendGame();
  virtual void ResumeGame();
  virtual void UpdateGame();
  virtual void RenderGame();
  virtual void KeyEvent(int event, int data);
  virtual void MouseEvent(int event, int data, float x, float y);
  virtual void TouchEvent(int event, int data, float x, float y);
  virtual void MotionEvent(int event, int data, float x, float y, float z);
  virtual void DiscardGraphics();

protected:
  ZuGameDelegate* _delegate = nullptr;
  bool _keyboardEnabled = false;
  int _updateRate = 0;
  bool _started = false;
  bool _suspended = false;

private:
  template <class Call> void Guarded(Call call);

  int _guardedDepth = 0; // guarded calls under way; the collection step waits for 0
};

// Reads a 4-byte little-endian int; -1 when four bytes cannot be read.
int readInt(std::FILE* f);

// "quokka://data/" in front of a plain relative path; schemes, "./" and "/" paths unchanged.
String zu_data_FixDataPath(const String& path);
