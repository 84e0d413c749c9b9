// host/window_api.h — the windowing calls the host is written against, with the behaviour of the
// classic single-window API: one window at a time, re-opening gives a fresh context, key
// numbers of that API, polled joysticks, a close request the host may refuse.
// Depends on: nothing. window_api.cpp implements it over GLFW 3 (the only file that includes
// GLFW); tests install a fake with glfw2_install.
#pragma once

// ============================================================================
// [SECTION] Constants
// ============================================================================

enum {
  GLFW2_RELEASE = 0,
  GLFW2_PRESS = 1,

  // Printable keys are their character (letters upper case); special keys from 256.
  GLFW2_KEY_SPECIAL = 256,
  GLFW2_KEY_ESC = 257,
  GLFW2_KEY_F1 = 258, // F1..F25 are 258..282
  GLFW2_KEY_F25 = 282,
  GLFW2_KEY_UP = 283,
  GLFW2_KEY_DOWN = 284,
  GLFW2_KEY_LEFT = 285,
  GLFW2_KEY_RIGHT = 286,
  GLFW2_KEY_LSHIFT = 287,
  GLFW2_KEY_RSHIFT = 288,
  GLFW2_KEY_LCTRL = 289,
  GLFW2_KEY_RCTRL = 290,
  GLFW2_KEY_LALT = 291,
  GLFW2_KEY_RALT = 292,
  GLFW2_KEY_TAB = 293,
  GLFW2_KEY_ENTER = 294,
  GLFW2_KEY_BACKSPACE = 295,
  GLFW2_KEY_INSERT = 296,
  GLFW2_KEY_DEL = 297,
  GLFW2_KEY_PAGEUP = 298,
  GLFW2_KEY_PAGEDOWN = 299,
  GLFW2_KEY_HOME = 300,
  GLFW2_KEY_END = 301,
  GLFW2_KEY_KP_0 = 302, // keypad digits 302..311
  GLFW2_KEY_KP_DIVIDE = 312,
  GLFW2_KEY_KP_MULTIPLY = 313,
  GLFW2_KEY_KP_SUBTRACT = 314,
  GLFW2_KEY_KP_ADD = 315,
  GLFW2_KEY_KP_DECIMAL = 316,
  GLFW2_KEY_KP_EQUAL = 317,
  GLFW2_KEY_KP_ENTER = 318,
  GLFW2_KEY_KP_NUM_LOCK = 319,
  GLFW2_KEY_CAPS_LOCK = 320,
  GLFW2_KEY_SCROLL_LOCK = 321,
  GLFW2_KEY_PAUSE = 322,
  GLFW2_KEY_LSUPER = 323,
  GLFW2_KEY_RSUPER = 324,
  GLFW2_KEY_MENU = 325,
  GLFW2_KEY_LAST = 325,

  GLFW2_MOUSE_BUTTON_LEFT = 0,
  GLFW2_MOUSE_BUTTON_RIGHT = 1,
  GLFW2_MOUSE_BUTTON_MIDDLE = 2,

  // Window modes and parameters.
  GLFW2_WINDOW = 0x00010001,
  GLFW2_FULLSCREEN = 0x00010002,
  GLFW2_OPENED = 0x00020001,
  GLFW2_ACTIVE = 0x00020002,
  GLFW2_ICONIFIED = 0x00020003,

  // Hints and switches.
  GLFW2_REFRESH_RATE = 0x0002000B,
  GLFW2_WINDOW_NO_RESIZE = 0x00020012,
  GLFW2_MOUSE_CURSOR = 0x00030001,
  GLFW2_KEY_REPEAT = 0x00030004,
  GLFW2_AUTO_POLL_EVENTS = 0x00030006,

  // Joysticks.
  GLFW2_JOYSTICK_LAST = 15,
  GLFW2_PRESENT = 0x00050001,
  GLFW2_AXES = 0x00050002,
  GLFW2_BUTTONS = 0x00050003,
};

struct Glfw2VidMode {
  int Width, Height;
  int RedBits, BlueBits, GreenBits;
};

// What the window reports; the host implements it.
class Glfw2Events {
public:
  virtual ~Glfw2Events() {}
  virtual void OnKey(int key, int action) = 0;
  virtual void OnChar(int character, int action) = 0;
  virtual void OnMouseButton(int button, int action) = 0;
  virtual void OnMousePos(int x, int y) = 0;
  // Returns whether the window may close; the host says no and handles it itself.
  virtual int OnWindowClose() = 0;
};

// ============================================================================
// [SECTION] The calls
// ============================================================================

class Glfw2 {
public:
  virtual ~Glfw2() {}
  virtual int Init() = 0;
  virtual void Terminate() = 0;
  virtual double GetTime() = 0;
  virtual void Sleep(double seconds) = 0;

  virtual void OpenWindowHint(int target, int hint) = 0;
  // Opens the one window (closing any open one first) with a new OpenGL context.
  virtual int OpenWindow(int width, int height, int red, int green, int blue, int alpha, int depth,
                         int stencil, int mode) = 0;
  virtual void CloseWindow() = 0;
  virtual void SetWindowTitle(const char* title) = 0;
  virtual void SetWindowPos(int x, int y) = 0;
  // The size in framebuffer pixels, the unit of the viewport and of pointer positions.
  virtual void GetWindowSize(int* width, int* height) = 0;
  virtual int GetWindowParam(int param) = 0;
  virtual void SwapBuffers() = 0;
  virtual void SwapInterval(int interval) = 0;
  virtual void PollEvents() = 0;
  virtual void WaitEvents() = 0;
  // Wakes a WaitEvents from another thread; safe from any thread once initialised.
  virtual void PostEmptyEvent() {}
  virtual void Enable(int token) = 0;
  virtual void Disable(int token) = 0;
  virtual void SetEvents(Glfw2Events* events) = 0;

  virtual int GetKey(int key) = 0;
  virtual void GetMousePos(int* x, int* y) = 0;

  virtual void GetDesktopMode(Glfw2VidMode* mode) = 0;
  virtual int GetVideoModes(Glfw2VidMode* list, int max) = 0;

  // Axes as the classic API gave them: odd axes (the Y of each stick) positive upwards.
  virtual int GetJoystickParam(int joy, int param) = 0;
  virtual int GetJoystickPos(int joy, float* pos, int numaxes) = 0;
  virtual int GetJoystickButtons(int joy, unsigned char* buttons, int numbuttons) = 0;
};

// The layer in use: the GLFW 3 one unless a test installed another (null restores it).
Glfw2& glfw2();
void glfw2_install(Glfw2* layer);

// Where joysticks come from in the GLFW 3 layer. Pads cannot be faked at the system
// level, so tests put their own source behind the real layer.
class Glfw2JoystickSource {
public:
  virtual ~Glfw2JoystickSource() {}
  virtual bool Present(int joy) = 0;
  // Raw axes (GLFW 3 orientation) and buttons; return the counts, at most max.
  virtual int Axes(int joy, float* axes, int max) = 0;
  virtual int Buttons(int joy, unsigned char* buttons, int max) = 0;
};
void glfw2_set_joystick_source(Glfw2JoystickSource* source); // null: the system's pads
