// host/web_game.h — ZuWebGame, the browser's host (the web build only): one loop turn per
// animation frame, the page's visibility and focus as the window's focus, saves written back to
// IndexedDB, full screen on the canvas, touches and standard-mapping pads, and the end of the game
// as the end of the loop rather than of the process.
// Depends on: desktop_game.h (the GLFW host it extends), runtime; emscripten. Its JavaScript half
// is web_library.js.
#pragma once

#include "desktop_game.h"

// Thrown by the program's ending (zu_exit) past the game's frames to the entry the browser called:
// the loop turn or an event. The game has ended with this status.
struct ZuProgramEnd {
  int status;
};

class ZuWebGame : public ZuGlfwGame {
public:
  static ZuWebGame* _webGame;

  ZuWebGame();

  // The page's start-up: host, runtime, application, then the loop; returns at once.
  static int Main(int argc, char** argv);

  void Run() override;
  void UpdateGame() override;
  int SaveState(const String& state) override;
  void SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha, int depth, int stencil,
                     bool fullscreen) override;
  ZuGlfwVideoMode* GetGlfwDesktopMode() override;
  ZuDisplayMode* GetDesktopMode() override;
  Array<ZuDisplayMode*> GetDisplayModes() override;
  int WindowFullscreen() override;

  // The window's events, each an entry from the browser: an ending inside stops the game.
  void OnKey(int key, int action) override;
  void OnChar(int character, int action) override;
  void OnMouseButton(int button, int action) override;
  void OnMousePos(int x, int y) override;
  int OnWindowClose() override;

  // One turn: the canvas's size, the pads, the due updates, then a frame when anything changed.
  void Turn();
  // The page shown or hidden, focused or not: the game runs while it is shown and focused.
  void SetPageState(bool visible, bool focused);
  // The first finger plays as the mouse: 4 press, 6 move, 5 release, at canvas pixels.
  void Finger(int event, float x, float y);
  // The updates the game has run since the page loaded (the page's tests read it).
  double UpdateCount() const { return _updateCount; }

protected:
  String ProgramFolder() override { return String(); } // the data are packed at /data

private:
  template <class Call> void Entry(Call call);
  void End(int status);

  bool _ended = false;
  bool _visible = true, _focused = true;
  bool _drawn = false; // the canvas shows the game's state as it is
  double _updateCount = 0;
};
