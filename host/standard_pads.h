// host/standard_pads.h — game pads in the browsers' "standard" mapping (17 buttons, 4 axes) as the
// joystick source of the window layer, laid out as the host's second pad layout, so that every
// pad control means on the web what it means on the desktop.
// Depends on: window_api.h. The browser build feeds it; the desktop's tests feed it by hand.
#pragma once

#include "window_api.h"

// One pad as the browser samples it.
struct StandardPadSample {
  bool connected = false;
  bool standard = false; // the "standard" mapping; other pads pass through as they come
  int numAxes = 0, numButtons = 0;
  float axes[64] = {};
  bool buttons[64] = {};
};

class StandardPads : public Glfw2JoystickSource {
public:
  static constexpr int kPads = 4;
  // The latest sample of each pad, written before the game polls.
  StandardPadSample pads[kPads];

  bool Present(int joy) override;
  int Axes(int joy, float* axes, int max) override;
  int Buttons(int joy, unsigned char* buttons, int max) override;
};
