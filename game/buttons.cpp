// game/buttons.cpp — hit tests: images and bars that record themselves and answer whether a
// held touch lies on them, and the plain box, centred box and round tests.
// Depends on: my_app.h.
#include <cmath>

#include "my_app.h"

namespace {

constexpr int kTouches = 10;
constexpr float kTouchLeftTop = 6, kTouchRightBottom = 12; // p_Touch's margins

} // namespace

// ============================================================================
// [SECTION] Images that can be pressed
// ============================================================================

// The image as drawn: frame size at the detail level times the current scale. Inactive
// touches sit at NO_TOUCH and so never fall inside.
static int ImageTouched(c_MyApp* app, int slot, float x, float y, int firstTouch, int lastTouch) {
  if (app->m_Down <= 0 || slot < 0 || slot > 99) return 0;
  const float halfW = static_cast<float>(app->m_ImageInfo[3 * slot]) * app->m_HDScale * app->m_SizeX / 2;
  const float halfH = static_cast<float>(app->m_ImageInfo[3 * slot + 1]) * app->m_HDScale * app->m_SizeY / 2;
  for (int i = firstTouch; i <= lastTouch; ++i)
    if (std::fabs(static_cast<float>(app->m_TouchX[i]) - x) < std::fabs(halfW) &&
        std::fabs(static_cast<float>(app->m_TouchY[i]) - y) < std::fabs(halfH))
      return 1;
  return 0;
}

int c_MyApp::p_Button(int slot, float x, float y, int frame) {
  p_DrawImg(slot, x, y, frame);
  m_ButtonHit = ImageTouched(this, slot, x, y, 0, kTouches - 1);
  return m_ButtonHit;
}

int c_MyApp::p_Button2(float x, float y, int frame) { return p_Button(97, x, y, frame); }

int c_MyApp::p_Button0(int slot, float x, float y, int frame) {
  p_DrawImg(slot, x, y, frame);
  m_ButtonHit = ImageTouched(this, slot, x, y, 0, 0);
  return m_ButtonHit;
}

// The options gear: three wheels of image 95 turning at 1, -2 and 4 times m_GearAngle at the
// current scale and colour; pressed when a touch lies on the outer one as drawn.
int c_MyApp::p_Gear(float x, float y) {
  p_SetRot(m_GearAngle);
  p_DrawImg(95, x, y, 8);
  p_SetRot(-2 * m_GearAngle);
  p_DrawImg(95, x, y, 9);
  p_SetRot(4 * m_GearAngle);
  const int hit = p_Button(95, x, y, 10);
  p_SetRot(0);
  return hit;
}

// ============================================================================
// [SECTION] Boxes
// ============================================================================

int c_MyApp::p_Touch(float x, float y, float w, float h) {
  p_Rect(x, y, w, h);
  for (int i = 0; i < kTouches; ++i) {
    if (m_TouchDown[i] == 0) continue;
    const float tx = static_cast<float>(m_TouchX[i]), ty = static_cast<float>(m_TouchY[i]);
    if (tx > x - kTouchLeftTop && tx < x + w + kTouchRightBottom && ty > y - kTouchLeftTop &&
        ty < y + h + kTouchRightBottom)
      return 1;
  }
  return 0;
}

int c_MyApp::p_Touch2(float y, float w) { return p_Touch(84, y, w, 24); }

int c_MyApp::p_MouseIn(float x, float y, float w, float h) {
  for (int i = 0; i < kTouches; ++i) {
    if (m_TouchDown[i] == 0) continue;
    const float tx = static_cast<float>(m_TouchX[i]), ty = static_cast<float>(m_TouchY[i]);
    if (tx > x && tx < x + w && ty > y && ty < y + h) return 1;
  }
  return 0;
}

int c_MyApp::p_MouseIn_Centered(float x, float y, float w, float h) {
  return p_MouseIn(x - w / 2, y - h / 2, w, h);
}

int c_MyApp::p_MouseIn_Radius(float x, float y, float w, float h) {
  const float reach = (w / 2) * (w / 2) + (h / 2) * (h / 2);
  for (int i = 0; i < kTouches; ++i) {
    if (m_TouchDown[i] == 0) continue;
    const float dx = static_cast<float>(m_TouchX[i]) - x, dy = static_cast<float>(m_TouchY[i]) - y;
    if (dx * dx + dy * dy <= reach) return 1;
  }
  return 0;
}
