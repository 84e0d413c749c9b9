// host/standard_pads.cpp — the standard mapping turned into the host's second pad layout.
// Depends on: standard_pads.h.
#include "standard_pads.h"

namespace {

// The second layout's buttons, by its raw number: face buttons X A B Y, shoulders, triggers, Back,
// Start, the stick buttons, then the pad's directions left, up, right, down (read from its last
// four). In the standard mapping: 0 A, 1 B, 2 X, 3 Y, 4/5 shoulders, 6/7 triggers, 8 Back, 9 Start,
// 10/11 stick buttons, 12 up, 13 down, 14 left, 15 right, 16 the home button (unused).
const int kFromStandard[16] = {2, 0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 12, 15, 13};

} // namespace

bool StandardPads::Present(int joy) { return joy >= 0 && joy < kPads && pads[joy].connected; }

// Axes 0 to 3 are the left stick's x and y and the right stick's x and y in both, y down.
int StandardPads::Axes(int joy, float* axes, int max) {
  if (!Present(joy)) return 0;
  const StandardPadSample& p = pads[joy];
  int n = p.standard ? 4 : p.numAxes;
  if (n > max) n = max;
  for (int i = 0; i < n; ++i) axes[i] = i < p.numAxes ? p.axes[i] : 0.0f;
  return n;
}

int StandardPads::Buttons(int joy, unsigned char* buttons, int max) {
  if (!Present(joy)) return 0;
  const StandardPadSample& p = pads[joy];
  int n = p.standard ? 16 : p.numButtons;
  if (n > max) n = max;
  for (int i = 0; i < n; ++i) {
    const int from = p.standard ? kFromStandard[i] : i;
    buttons[i] = from < p.numButtons && p.buttons[from] ? GLFW2_PRESS : GLFW2_RELEASE;
  }
  return n;
}
