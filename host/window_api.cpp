// host/window_api.cpp — the classic windowing calls implemented over GLFW 3. The only file that
// includes GLFW.
// Depends on: window_api.h, GLFW 3.
#include "window_api.h"
#include "platform.h"

#include <GLFW/glfw3.h>

#include <cmath>
#include <cstring>
#include <ctime>

namespace {

// ============================================================================
// [SECTION] Key numbers
// ============================================================================

// GLFW 3 key → classic key number; 0 when the classic API had no such key.
int ClassicKey(int key) {
  if (key >= 32 && key <= 96) return key; // printable keys keep their character
  switch (key) {
  case GLFW_KEY_ESCAPE:
    return GLFW2_KEY_ESC;
  case GLFW_KEY_ENTER:
    return GLFW2_KEY_ENTER;
  case GLFW_KEY_TAB:
    return GLFW2_KEY_TAB;
  case GLFW_KEY_BACKSPACE:
    return GLFW2_KEY_BACKSPACE;
  case GLFW_KEY_INSERT:
    return GLFW2_KEY_INSERT;
  case GLFW_KEY_DELETE:
    return GLFW2_KEY_DEL;
  case GLFW_KEY_RIGHT:
    return GLFW2_KEY_RIGHT;
  case GLFW_KEY_LEFT:
    return GLFW2_KEY_LEFT;
  case GLFW_KEY_DOWN:
    return GLFW2_KEY_DOWN;
  case GLFW_KEY_UP:
    return GLFW2_KEY_UP;
  case GLFW_KEY_PAGE_UP:
    return GLFW2_KEY_PAGEUP;
  case GLFW_KEY_PAGE_DOWN:
    return GLFW2_KEY_PAGEDOWN;
  case GLFW_KEY_HOME:
    return GLFW2_KEY_HOME;
  case GLFW_KEY_END:
    return GLFW2_KEY_END;
  case GLFW_KEY_CAPS_LOCK:
    return GLFW2_KEY_CAPS_LOCK;
  case GLFW_KEY_SCROLL_LOCK:
    return GLFW2_KEY_SCROLL_LOCK;
  case GLFW_KEY_NUM_LOCK:
    return GLFW2_KEY_KP_NUM_LOCK;
  case GLFW_KEY_PAUSE:
    return GLFW2_KEY_PAUSE;
  case GLFW_KEY_KP_DECIMAL:
    return GLFW2_KEY_KP_DECIMAL;
  case GLFW_KEY_KP_DIVIDE:
    return GLFW2_KEY_KP_DIVIDE;
  case GLFW_KEY_KP_MULTIPLY:
    return GLFW2_KEY_KP_MULTIPLY;
  case GLFW_KEY_KP_SUBTRACT:
    return GLFW2_KEY_KP_SUBTRACT;
  case GLFW_KEY_KP_ADD:
    return GLFW2_KEY_KP_ADD;
  case GLFW_KEY_KP_ENTER:
    return GLFW2_KEY_KP_ENTER;
  case GLFW_KEY_KP_EQUAL:
    return GLFW2_KEY_KP_EQUAL;
  case GLFW_KEY_LEFT_SHIFT:
    return GLFW2_KEY_LSHIFT;
  case GLFW_KEY_RIGHT_SHIFT:
    return GLFW2_KEY_RSHIFT;
  case GLFW_KEY_LEFT_CONTROL:
    return GLFW2_KEY_LCTRL;
  case GLFW_KEY_RIGHT_CONTROL:
    return GLFW2_KEY_RCTRL;
  case GLFW_KEY_LEFT_ALT:
    return GLFW2_KEY_LALT;
  case GLFW_KEY_RIGHT_ALT:
    return GLFW2_KEY_RALT;
  case GLFW_KEY_LEFT_SUPER:
    return GLFW2_KEY_LSUPER;
  case GLFW_KEY_RIGHT_SUPER:
    return GLFW2_KEY_RSUPER;
  case GLFW_KEY_MENU:
    return GLFW2_KEY_MENU;
  }
  if (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F25) return GLFW2_KEY_F1 + (key - GLFW_KEY_F1);
  if (key >= GLFW_KEY_KP_0 && key <= GLFW_KEY_KP_9) return GLFW2_KEY_KP_0 + (key - GLFW_KEY_KP_0);
  return 0;
}

// Classic key number → GLFW 3 key, for GetKey; built once from ClassicKey.
int g_modern_key[GLFW2_KEY_LAST + 1];
void BuildKeyTable() {
  for (int k = GLFW_KEY_SPACE; k <= GLFW_KEY_LAST; ++k) {
    int classic = ClassicKey(k);
    if (classic > 0 && !g_modern_key[classic]) g_modern_key[classic] = k;
  }
}

// ============================================================================
// [SECTION] Joysticks from the system
// ============================================================================

class SystemJoysticks : public Glfw2JoystickSource {
public:
  bool Present(int joy) override { return glfwJoystickPresent(joy) == GLFW_TRUE; }
  int Axes(int joy, float* axes, int max) override {
    int n = 0;
    const float* a = glfwGetJoystickAxes(joy, &n);
    if (!a) return 0;
    if (n > max) n = max;
    std::memcpy(axes, a, sizeof(float) * n);
    return n;
  }
  int Buttons(int joy, unsigned char* buttons, int max) override {
    int n = 0;
    const unsigned char* b = glfwGetJoystickButtons(joy, &n);
    if (!b) return 0;
    if (n > max) n = max;
    std::memcpy(buttons, b, n);
    return n;
  }
};

SystemJoysticks g_system_joysticks;
Glfw2JoystickSource* g_joysticks = &g_system_joysticks;

// ============================================================================
// [SECTION] The layer
// ============================================================================

class Glfw3Layer : public Glfw2 {
public:
  int Init() override {
    if (!glfwInit()) return 0;
    BuildKeyTable();
    return 1;
  }
  void Terminate() override {
    window_ = nullptr;
    glfwTerminate();
  }
  double GetTime() override { return glfwGetTime(); }
  void Sleep(double seconds) override { platform::SleepSeconds(seconds); }

  void OpenWindowHint(int target, int hint) override {
    if (target == GLFW2_REFRESH_RATE) refresh_ = hint;
    if (target == GLFW2_WINDOW_NO_RESIZE) no_resize_ = hint != 0;
  }

  int OpenWindow(int width, int height, int red, int green, int blue, int alpha, int depth, int stencil,
                 int mode) override {
    CloseWindow();
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_RED_BITS, red > 0 ? red : GLFW_DONT_CARE);
    glfwWindowHint(GLFW_GREEN_BITS, green > 0 ? green : GLFW_DONT_CARE);
    glfwWindowHint(GLFW_BLUE_BITS, blue > 0 ? blue : GLFW_DONT_CARE);
    glfwWindowHint(GLFW_ALPHA_BITS, alpha);
    glfwWindowHint(GLFW_DEPTH_BITS, depth);
    glfwWindowHint(GLFW_STENCIL_BITS, stencil);
    glfwWindowHint(GLFW_RESIZABLE, no_resize_ ? GLFW_FALSE : GLFW_TRUE);
    glfwWindowHint(GLFW_REFRESH_RATE, refresh_ > 0 ? refresh_ : GLFW_DONT_CARE);
    // A full-screen window stays on screen when the focus leaves it for a moment (a window
    // manager passes it around while mapping the new window); it is not minimised.
    glfwWindowHint(GLFW_AUTO_ICONIFY, GLFW_FALSE);
    // The default hints give a compatibility context: the fixed-function pipeline works.
    GLFWmonitor* monitor = mode == GLFW2_FULLSCREEN ? glfwGetPrimaryMonitor() : nullptr;
    window_ = glfwCreateWindow(width, height, "", monitor, nullptr);
    refresh_ = 0; // hints last for one window, as they used to
    no_resize_ = false;
    if (!window_) return 0;
    if (monitor) glfwFocusWindow(window_); // the game runs only while its window has the focus
    glfwMakeContextCurrent(window_);
    glfwSetWindowUserPointer(window_, this);
    glfwSetKeyCallback(window_, KeyCallback);
    glfwSetCharCallback(window_, CharCallback);
    glfwSetMouseButtonCallback(window_, MouseButtonCallback);
    glfwSetCursorPosCallback(window_, CursorPosCallback);
    glfwSetWindowCloseCallback(window_, CloseCallback);
    // What the game asks for every frame is kept here and brought up to date by the window's
    // events, as it always was: asking the X server instead costs a round trip per question.
    glfwSetWindowSizeCallback(window_, WindowSizeCallback);
    glfwSetFramebufferSizeCallback(window_, FramebufferSizeCallback);
    glfwSetWindowFocusCallback(window_, FocusCallback);
    glfwSetWindowIconifyCallback(window_, IconifyCallback);
    glfwGetWindowSize(window_, &window_w_, &window_h_);
    glfwGetFramebufferSize(window_, &framebuffer_w_, &framebuffer_h_);
    focused_ = glfwGetWindowAttrib(window_, GLFW_FOCUSED) != 0;
    iconified_ = glfwGetWindowAttrib(window_, GLFW_ICONIFIED) != 0;
    glfwGetCursorPos(window_, &cursor_x_, &cursor_y_);
    return 1;
  }

  void CloseWindow() override {
    if (!window_) return;
    glfwDestroyWindow(window_);
    window_ = nullptr;
  }
  void SetWindowTitle(const char* title) override {
    if (window_) glfwSetWindowTitle(window_, title);
  }
  void SetWindowPos(int x, int y) override {
    if (window_) glfwSetWindowPos(window_, x, y);
  }
  void GetWindowSize(int* width, int* height) override {
    *width = window_ ? framebuffer_w_ : 0;
    *height = window_ ? framebuffer_h_ : 0;
  }
  int GetWindowParam(int param) override {
    if (param == GLFW2_OPENED) return window_ && !glfwWindowShouldClose(window_);
    if (!window_) return 0;
    if (param == GLFW2_ACTIVE) return focused_ ? 1 : 0;
    if (param == GLFW2_ICONIFIED) return iconified_ ? 1 : 0;
    return 0;
  }
  void SwapBuffers() override {
    if (window_) glfwSwapBuffers(window_);
  }
  void SwapInterval(int interval) override {
    if (window_) glfwSwapInterval(interval);
  }
  void PollEvents() override { glfwPollEvents(); }
  void WaitEvents() override { glfwWaitEvents(); }
  void PostEmptyEvent() override { glfwPostEmptyEvent(); }
  void Enable(int token) override {
    if (token == GLFW2_KEY_REPEAT) key_repeat_ = true;
    if (token == GLFW2_MOUSE_CURSOR && window_) glfwSetInputMode(window_, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
  }
  void Disable(int token) override {
    if (token == GLFW2_KEY_REPEAT) key_repeat_ = false;
    if (token == GLFW2_MOUSE_CURSOR && window_) glfwSetInputMode(window_, GLFW_CURSOR, GLFW_CURSOR_HIDDEN);
  }
  void SetEvents(Glfw2Events* events) override { events_ = events; }

  int GetKey(int key) override {
    if (!window_ || key < 0) return GLFW2_RELEASE;
    int modern = key <= GLFW2_KEY_LAST ? g_modern_key[key] : 0;
    if (!modern) return GLFW2_RELEASE;
    return glfwGetKey(window_, modern) == GLFW_PRESS ? GLFW2_PRESS : GLFW2_RELEASE;
  }
  void GetMousePos(int* x, int* y) override {
    *x = *y = 0;
    if (window_) ScaleToFramebuffer(cursor_x_, cursor_y_, x, y);
  }

  void GetDesktopMode(Glfw2VidMode* mode) override {
    *mode = Glfw2VidMode{0, 0, 0, 0, 0};
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* m = monitor ? glfwGetVideoMode(monitor) : nullptr;
    if (m) *mode = Convert(*m);
  }
  int GetVideoModes(Glfw2VidMode* list, int max) override {
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    if (!monitor) return 0;
    int count = 0;
    const GLFWvidmode* modes = glfwGetVideoModes(monitor, &count);
    if (!modes) return 0;
    if (count > max) count = max;
    for (int i = 0; i < count; ++i) list[i] = Convert(modes[i]);
    return count;
  }

  int GetJoystickParam(int joy, int param) override {
    if (joy < 0 || joy > GLFW2_JOYSTICK_LAST || !g_joysticks->Present(joy)) return 0;
    float axes[64];
    unsigned char buttons[256];
    if (param == GLFW2_PRESENT) return 1;
    if (param == GLFW2_AXES) return g_joysticks->Axes(joy, axes, 64);
    if (param == GLFW2_BUTTONS) return g_joysticks->Buttons(joy, buttons, 256);
    return 0;
  }
  int GetJoystickPos(int joy, float* pos, int numaxes) override {
    for (int i = 0; i < numaxes; ++i) pos[i] = 0;
    if (joy < 0 || joy > GLFW2_JOYSTICK_LAST || !g_joysticks->Present(joy)) return 0;
    int n = g_joysticks->Axes(joy, pos, numaxes);
    for (int i = 1; i < n; i += 2) pos[i] = -pos[i]; // Y axes point up
    return n;
  }
  int GetJoystickButtons(int joy, unsigned char* buttons, int numbuttons) override {
    for (int i = 0; i < numbuttons; ++i) buttons[i] = 0;
    if (joy < 0 || joy > GLFW2_JOYSTICK_LAST || !g_joysticks->Present(joy)) return 0;
    return g_joysticks->Buttons(joy, buttons, numbuttons);
  }

private:
  static Glfw3Layer* Of(GLFWwindow* w) { return static_cast<Glfw3Layer*>(glfwGetWindowUserPointer(w)); }

  static Glfw2VidMode Convert(const GLFWvidmode& m) {
    return Glfw2VidMode{m.width, m.height, m.redBits, m.blueBits, m.greenBits};
  }

  // Cursor positions come in screen coordinates; the host works in framebuffer pixels.
  void ScaleToFramebuffer(double cx, double cy, int* x, int* y) const {
    double sx = window_w_ > 0 ? static_cast<double>(framebuffer_w_) / window_w_ : 1.0;
    double sy = window_h_ > 0 ? static_cast<double>(framebuffer_h_) / window_h_ : 1.0;
    *x = static_cast<int>(std::floor(cx * sx));
    *y = static_cast<int>(std::floor(cy * sy));
  }

  static void KeyCallback(GLFWwindow* w, int key, int, int action, int) {
    Glfw3Layer* self = Of(w);
    if (!self || !self->events_) return;
    int classic = ClassicKey(key);
    if (!classic) return;
    if (action == GLFW_REPEAT) {
      if (!self->key_repeat_) return;
      action = GLFW_PRESS;
    }
    self->events_->OnKey(classic, action == GLFW_PRESS ? GLFW2_PRESS : GLFW2_RELEASE);
  }
  static void CharCallback(GLFWwindow* w, unsigned int codepoint) {
    Glfw3Layer* self = Of(w);
    if (self && self->events_) self->events_->OnChar(static_cast<int>(codepoint), GLFW2_PRESS);
  }
  static void MouseButtonCallback(GLFWwindow* w, int button, int action, int) {
    Glfw3Layer* self = Of(w);
    if (self && self->events_)
      self->events_->OnMouseButton(button, action == GLFW_PRESS ? GLFW2_PRESS : GLFW2_RELEASE);
  }
  static void CursorPosCallback(GLFWwindow* w, double cx, double cy) {
    Glfw3Layer* self = Of(w);
    if (!self) return;
    self->cursor_x_ = cx;
    self->cursor_y_ = cy;
    if (!self->events_) return;
    int x, y;
    self->ScaleToFramebuffer(cx, cy, &x, &y);
    self->events_->OnMousePos(x, y);
  }
  static void WindowSizeCallback(GLFWwindow* w, int width, int height) {
    if (Glfw3Layer* self = Of(w)) self->window_w_ = width, self->window_h_ = height;
  }
  static void FramebufferSizeCallback(GLFWwindow* w, int width, int height) {
    if (Glfw3Layer* self = Of(w)) self->framebuffer_w_ = width, self->framebuffer_h_ = height;
  }
  static void FocusCallback(GLFWwindow* w, int focused) {
    if (Glfw3Layer* self = Of(w)) self->focused_ = focused != 0;
  }
  static void IconifyCallback(GLFWwindow* w, int iconified) {
    if (Glfw3Layer* self = Of(w)) self->iconified_ = iconified != 0;
  }
  static void CloseCallback(GLFWwindow* w) {
    Glfw3Layer* self = Of(w);
    // A window may not be destroyed inside its own callback: an accepted close request
    // stays flagged, and the window counts as closed from then on.
    bool close = !self || !self->events_ || self->events_->OnWindowClose();
    glfwSetWindowShouldClose(w, close ? GLFW_TRUE : GLFW_FALSE);
  }

  GLFWwindow* window_ = nullptr;
  Glfw2Events* events_ = nullptr;
  // The open window's state, from its events (see OpenWindow).
  int window_w_ = 0, window_h_ = 0, framebuffer_w_ = 0, framebuffer_h_ = 0;
  bool focused_ = false, iconified_ = false;
  double cursor_x_ = 0, cursor_y_ = 0;
  int refresh_ = 0;
  bool no_resize_ = false;
  bool key_repeat_ = false;
};

Glfw3Layer g_glfw3;
Glfw2* g_layer = &g_glfw3;

} // namespace

Glfw2& glfw2() { return *g_layer; }
void glfw2_install(Glfw2* layer) { g_layer = layer ? layer : &g_glfw3; }
void glfw2_set_joystick_source(Glfw2JoystickSource* source) {
  g_joysticks = source ? source : &g_system_joysticks;
}
