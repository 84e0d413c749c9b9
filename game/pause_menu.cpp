// game/pause_menu.cpp — the pause menu over a paused game: the fade and slide, the pen-trail
// decoration, "PAUSED", and the resume, quit and options buttons with their keys.
// Depends on: my_app.h, globals.h.
#include <cmath>

#include "globals.h"
#include "my_app.h"

namespace {

constexpr float kDeg = 3.14159265358979f / 180.0f;
constexpr int kSlideStep = 24;
constexpr int PAUSE_QUIT = -1, PAUSE_RESUME = 0, PAUSE_OPTIONS = 1;

float Clamp(float v, float low, float high) { return v < low ? low : (v > high ? high : v); }

} // namespace

int c_MyApp::p_PauseMenu() {
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  p_DoBG(-123, -123, -123, -123);
  p_SetCol(0, 0, 0, Clamp(static_cast<float>(m_PauseSlide) / (0.8f * h), 0, 1));
  p_Rect(-1, -1, w + 2, h + 2);

  // Slide in while shown; slide out, then play on.
  const int half = static_cast<int>(h / 2);
  if (m_PauseMenuShown == 1 && m_PauseSlide < half) {
    m_PauseSlide += kSlideStep;
    if (m_PauseSlide > half) m_PauseSlide = half;
  } else if (m_PauseMenuShown == -1) {
    const int was = m_PauseSlide;
    m_PauseSlide -= kSlideStep;
    if (m_PauseSlide < -32 || was < -63) {
      p_ResumeGame();
      return 0;
    }
  }

  p_PenTrail();
  p_ResetDraw();
  p_SetSize(4);
  p_Text(w / 2 + 96, h / 2, String("PAUSED"), 1, 1);

  // The three buttons slide in from the left.
  const float x = 64 + static_cast<float>(m_PauseSlide) - h / 2;
  const bool portrait = m_Landscape != 1;
  const float resumeX = x, resumeY = 196;
  const float quitX = portrait ? w / 2 - 96 : x,
              quitY = portrait ? static_cast<float>(m_PauseSlide) - 24 : 96;
  const float gearX = portrait ? w / 2 + 96 : x,
              gearY = portrait ? static_cast<float>(m_PauseSlide) - 96 : 296;
  const float selX[3] = {quitX, resumeX, gearX}, selY[3] = {quitY, resumeY, gearY};
  p_ResetDraw();
  p_SetSize(2.5f);
  p_SetCol(255, 255, 100, 1);
  const int sel = m_PauseSel < PAUSE_QUIT || m_PauseSel > PAUSE_OPTIONS ? PAUSE_RESUME : m_PauseSel;
  p_DrawImg(97, selX[sel + 1], selY[sel + 1], 6);
  p_ResetDraw();
  p_SetSize(2);
  const bool onResume = p_Button2(resumeX, resumeY, 3) != 0;
  const bool onQuit = p_Button2(quitX, quitY, 1) != 0;
  if (m_OptionsOpen == 0) m_GearAngle = std::fmod(m_GearAngle + 0.2f, 360.0f);
  const bool onGear = p_Gear(gearX, gearY) != 0;
  p_ResetDraw();
  if (m_PauseMenuShown != 1) return 0; // no input while the menu slides out

  int act = 2; // nothing
  bool byKey = false;
  if (m_TouchLatch == 0 && (onResume || onQuit || onGear)) {
    act = onResume ? PAUSE_RESUME : (onQuit ? PAUSE_QUIT : PAUSE_OPTIONS);
    m_KeyLatch = m_TouchLatch = 1;
  } else if (m_KeyLatch == 0) {
    const bool confirm =
        p_PlayKeyAll(CTRL_A, 1) > 0 || p_PlayKeyAll(CTRL_B, 1) > 0 || p_PlayKeyAll(CTRL_X, 1) > 0;
    if (p_PlayKeyAll(CTRL_BACK, 1) > 0 && m_BackLatch == 0) {
      act = PAUSE_RESUME;
    } else if (confirm) {
      act = sel;
      byKey = true;
    } else if (p_PlayKeyAll(CTRL_UP, 1) > 0 && sel >= PAUSE_RESUME) {
      p_PlaySFX(99, 0.8f, 0.5f, 0);
      m_PauseSel = sel - 1;
      m_KeyLatch = 1;
    } else if (p_PlayKeyAll(CTRL_DOWN, 1) > 0 && sel <= PAUSE_RESUME) {
      p_PlaySFX(99, sel == PAUSE_RESUME ? 1.2f : 0.8f, 0.5f, 0);
      m_PauseSel = sel + 1;
      m_KeyLatch = 1;
    }
    if (act != 2) m_KeyLatch = 1;
  }

  switch (act) {
  case PAUSE_RESUME:
    m_PauseMenuShown = -1; // still paused until the menu has slid out
    p_PlaySFX(98, 1, 0.5f, 0);
    break;
  case PAUSE_QUIT:
    m_Paused = 0;
    m_PauseMenuShown = -1;
    m_PauseSlide = -64;
    m_GameEnded = 1;
    m_QuitGame = -1;
    p_PlaySFX(98, 0.5f, 0.5f, 0);
    break;
  case PAUSE_OPTIONS:
    m_OptionsOpen = 1;
    if (byKey)
      p_PlaySFX(98, 1, 0.5f, 0);
    else
      p_PlaySFX(99, 1, 1, 0);
    break;
  default:
    break;
  }
  return 0;
}

// A pen on a circle rolling inside a larger one leaves a fading trail of coloured segments.
// Up and down change the inner radius, left and right the pen's speed.
void c_MyApp::p_PenTrail() {
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  const float cx = w / 2 + 96, cy = h / 2;
  const float big = std::fmin(0.45f * h, 0.45f * (w - 96));
  if (p_PlayKeyAll(CTRL_UP, 1) > 0) m_PenRadius += 1;
  if (p_PlayKeyAll(CTRL_DOWN, 1) > 0) m_PenRadius -= 1;
  if (p_PlayKeyAll(CTRL_RIGHT, 1) > 0) m_PenSpeed += 0.25f;
  if (p_PlayKeyAll(CTRL_LEFT, 1) > 0) m_PenSpeed -= 0.25f;
  m_PenRadius = Clamp(m_PenRadius, 0, big);
  m_PenSpeed = Clamp(m_PenSpeed, 0, 128);
  m_PenA1 = std::fmod(m_PenA1 + 1, 360.0f);
  m_PenA2 = std::fmod(m_PenA2 + m_PenSpeed, 360.0f);
  m_PenA3 = std::fmod(m_PenA3 + 1.5f, 360.0f);

  // The newest position first; older ones move down the trail.
  for (int i = 2 * kPenTrailLength - 1; i >= 2; --i) m_PenTrail[i] = m_PenTrail[i - 2];
  m_PenTrail[0] =
      cx + (big - m_PenRadius) * std::sin(m_PenA1 * kDeg) + m_PenRadius * std::sin(m_PenA2 * kDeg);
  m_PenTrail[1] =
      cy - (big - m_PenRadius) * std::cos(m_PenA1 * kDeg) - m_PenRadius * std::cos(m_PenA2 * kDeg);
  if (m_PenCount < kPenTrailLength) m_PenCount += 1;

  for (int i = 0; i + 1 < m_PenCount; ++i) {
    const float age = static_cast<float>(i) / kPenTrailLength;
    const float hue = (m_PenA3 + 4 * static_cast<float>(i)) * kDeg;
    p_SetCol(128 + 127 * std::sin(hue), 128 + 127 * std::sin(hue + 2.094f),
             128 + 127 * std::sin(hue + 4.189f), 1 - age);
    const float x1 = m_PenTrail[2 * i], y1 = m_PenTrail[2 * i + 1];
    const float x2 = m_PenTrail[2 * i + 2], y2 = m_PenTrail[2 * i + 3];
    p_Line(x1, y1, x2, y2);
    p_Line(x1 + 0.5f, y1 + 0.5f, x2 + 0.5f, y2 + 0.5f);
  }
  p_SetSize(1);
  p_SetCol(100, 255, 100, 0.8f);
  p_Text(w - 8, h - 8,
         String(static_cast<int>(m_PenSpeed)) + String(":") + String(static_cast<int>(m_PenRadius)), 2, 2);
}
