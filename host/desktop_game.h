// host/desktop_game.h — ZuGlfwGame, the desktop host: the window, the main loop, display modes,
// keyboard, mouse and game-pad input, paths, files and images; ZuQuokkaGame, the one the
// program creates.
// Depends on: game.h, window_api.h, runtime.
#pragma once

#include <string>

#include "game.h"
#include "window_api.h"

// Raised each time a window is opened: every OpenGL object of the old context is gone.
extern int glfwGraphicsSeq;
// Game-pad ports 0..3 → joystick numbers, -1 for an unused port; rebuilt when port 0 is polled.
extern int pjoys[4];

class ZuGlfwGame : public ZuGame, public Glfw2Events, public ZuWindowHost {
public:
  static ZuGlfwGame* _glfwGame;

  ZuGlfwGame();

  // ZuGame
  int Millisecs() override;
  void SetUpdateRate(int hz) override;
  void SetSwapInterval(int interval) override;
  int GetDeviceWidth() override;
  int GetDeviceHeight() override;
  void SetDeviceWindow(int width, int height, int flags) override;
  Array<ZuDisplayMode*> GetDisplayModes() override;
  ZuDisplayMode* GetDesktopMode() override;
  bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                    Array<bool> buttons) override;
  void OpenUrl(const String& url) override;
  void SetMouseVisible(bool visible) override;
  String PathToFilePath(const String& path) override;
  unsigned char* LoadImageData(const String& path, int* width, int* height, int* depth) override;
  unsigned char* LoadAudioData(const String& path, int* length, int* channels, int* format,
                               int* hertz) override;
  ZuWindowHost* WindowHost() override { return this; }

  // ZuWindowHost
  void SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha, int depth, int stencil,
                     bool fullscreen) override;
  ZuGlfwVideoMode* GetGlfwDesktopMode() override;
  int WindowFullscreen() override { return _fullscreen ? 1 : 0; }

  virtual Array<ZuGlfwVideoMode*> GetGlfwVideoModes();
  virtual void Run();
  void UpdateEvents();

  // An update, then the releases held back for it (see OnKey).
  void UpdateGame() override;
  void SuspendGame() override;

  // Glfw2Events: the window's callbacks.
  void OnKey(int key, int action) override;
  void OnChar(int character, int action) override;
  void OnMouseButton(int button, int action) override;
  void OnMousePos(int x, int y) override;
  int OnWindowClose() override;

  // Asks the loop, from any thread, to close the game as the window's close button does (a
  // session ending with SIGTERM or SIGHUP): the next turn of the loop sends the close key.
  static void RequestClose();
  // True once a turn of the loop has taken such a request (the signal watcher's deadline).
  static bool CloseTaken();

  // Says once that a data file cannot be used: "who: what file", then ": detail" when given.
  void SayCannotLoad(const char* who, const String& path, const char* what, const char* detail = nullptr);

  static int TransKey(int glfwKey);
  static int KeyToChar(int key);

  // Readers for LoadAudioData by lower-case extension (".wav", ".ogg"); the audio layer
  // registers them.
  static void SetAudioReader(const char* extension, ZuAudioReader reader);

  // The loop's schedule, for inspection.
  double NextUpdate() const { return _nextUpdate; }

  // For a loop that never waits (a turn per display frame, whatever its rate): the updates due
  // at `now` on the update rate's clock. None while the next is more than a quarter of a period
  // away, else one, or more to catch up, at most four; further behind than that the schedule
  // starts again from now. With no update rate, one.
  void RunDueUpdates(double now);

protected:
  // One turn of the main loop after the first frame: render, wait, events, focus, updates.
  void LoopOnce();
  // The folder that holds the program and its "data" folder; "" stands for the root.
  virtual String ProgramFolder();

  double _updatePeriod = 0;
  double _nextUpdate = 0;
  String _baseDir;
  String _internalDir;
  int _swapInterval = 1;
  int _buttonsDown = 0; // mouse buttons reported pressed and not yet released, bit a button
  bool _fullscreen = false;
  // A key or mouse button pressed and released between two updates would never read as held, and
  // the game reads most controls as held: its release waits until an update has run. Per key code
  // (and per mouse button): pressed since the last update, and a release waiting.
  static constexpr int kKeyCodes = 256;
  bool _pressedSinceUpdate[kKeyCodes] = {};
  bool _releaseWaiting[kKeyCodes] = {};
  int _buttonsPressedSinceUpdate = 0, _buttonsReleaseWaiting = 0; // bit a mouse button
  bool _pressedAny = false;                                       // any of them since the last update
  float _waitingAt[3][2] = {};                                    // where each waiting release was
  void DeliverWaitingReleases();
  // A mouse button (0..2) pressed or let go at a place: the window's button, or a finger.
  void ButtonEvent(int button, int action, float x, float y);
  bool _replacingWindow = false; // a close reported while the window is replaced is not the player's
};

class ZuQuokkaGame : public ZuGlfwGame {
public:
  // The program's start-up: windowing library, host, runtime, application, main loop.
  static int Main(int argc, char** argv);
};
