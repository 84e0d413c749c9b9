// game/render.cpp — the frame: clearing by rectangle, reloading on a size change, the virtual
// screen fitted to the window, and the replay of the draw queue through the drawing module.
// Depends on: my_app.h, globals.h, app (device size, clock), graphics (drawing, device).
#include <cmath>

#include "app/app.h"
#include "globals.h"
#include "graphics/drawing.h"
#include "my_app.h"

// The 640 x 480 reference (1.5 times larger in portrait) fitted to a w x h device: the
// larger scale wins, and the virtual size along the other axis follows the device's aspect.
// A device with no drawable area (minimised) keeps the screen it had.
int c_MyApp::p_FitScreen(int w, int h) {
  if (w <= 0 || h <= 0) return 0;
  float W = static_cast<float>(w), H = static_cast<float>(h);
  float o = zu_Tessel_overscan;
  float k = w < h ? 1.5f : 1.0f;
  float refW = zu_Tessel_rawscrw * k, refH = zu_Tessel_rawscrh * k;
  float sx = (W - 2 * o) / refW, sy = (H - 2 * o) / refH;
  if (sx > sy)
    m_FitMode = 1;
  else if (sx < sy)
    m_FitMode = 2;
  else
    m_FitMode = std::fabs(sy - 1) < std::fabs(sx - 1) ? 2 : 1;
  if (m_FitMode == 1) {
    m_ScaleX = m_ScaleY = sx;
    zu_Tessel_jscrw = W / (W / refW);
    zu_Tessel_jscrh = H / (W / refW);
  } else {
    m_ScaleX = m_ScaleY = sy;
    zu_Tessel_jscrw = W / (H / refH);
    zu_Tessel_jscrh = H / (H / refH);
  }
  m_Landscape = zu_Tessel_jscrh <= zu_Tessel_jscrw ? 1 : 0;
  return 0;
}

int c_MyApp::p_OnRender() {
  int now = zu_app_Millisecs();
  if (now > m_RenderLastMs)
    m_RenderFps = static_cast<int>(1000.0f / static_cast<float>(now - m_RenderLastMs));
  m_RenderFpsAvg = static_cast<int>(static_cast<float>(m_RenderFps + 9 * m_RenderFpsAvg) / 10.0f);
  m_RenderLastMs = now;

  int w = zu_app_DeviceWidth(), h = zu_app_DeviceHeight();
  zu_graphics_SetColor(m_ClsRed, m_ClsGreen, m_ClsBlue);
  zu_graphics_SetAlpha(m_ClsAlpha);
  zu_graphics_DrawRect(-1, -1, static_cast<float>(w + 2), static_cast<float>(h + 2));
  zu_graphics_SetColor(255, 255, 255);
  zu_graphics_SetAlpha(1);

  // A minimised window (no drawable area) is no new size: nothing reloads, the screen stays.
  if (w > 0 && h > 0 && (w != m_LastDevWidth || h != m_LastDevHeight)) {
    m_LoadStep = 1;
    m_LastDevWidth = w;
    m_LastDevHeight = h;
  }
  p_FitScreen(w, h);

  if (m_DrawCount > 14) {
    float ox = zu_Tessel_overscan;
    float oy = w > 0 ? ox * static_cast<float>(h) / static_cast<float>(w) : 0;
    int blend = -1;
    float* q = &m_DrawQueue[0];
    int records = m_DrawCount / kRecordFloats;
    if (records > kDrawQueueFloats / kRecordFloats) records = kDrawQueueFloats / kRecordFloats;
    for (int r = 0; r < records; ++r, q += kRecordFloats) {
      zu_graphics_SetAlpha(q[7]);
      zu_graphics_SetColor(q[10], q[11], q[12]);
      int b = q[13] == 3 ? 1 : 0; // additive for code 3, alpha blending otherwise
      if (b != blend) {
        zu_graphics_SetBlend(b);
        blend = b;
      }
      float x = ox + m_ScaleX * q[1], y = oy + m_ScaleY * q[2];
      int kind = static_cast<int>(q[0]);
      if (kind == KIND_RECT) {
        zu_graphics_DrawRect(x, y, q[4] * m_ScaleX, q[5] * m_ScaleY);
      } else if (kind == KIND_OVAL) {
        zu_graphics_DrawEllipse(x, y, q[4] * m_ScaleX, q[5] * m_ScaleY);
      } else if (kind == KIND_LINE) {
        zu_graphics_DrawLine(x, y, ox + m_ScaleX * q[4], oy + m_ScaleY * q[5]);
      } else if (kind >= 0 && kind < m_Images.Length()) {
        c_Image* image = m_Images[kind];
        int frame = static_cast<int>(q[6]);
        // A frame the image does not have is skipped like an empty slot.
        if (image && frame >= 0 && frame < image->m_frames.Length())
          zu_graphics_DrawImage2(image, x, y, q[3], q[4] * m_ScaleX * m_HDScale, q[5] * m_ScaleY * m_HDScale,
                                 frame);
      }
    }
  }
  zu_graphics_SetAlpha(0.5f);
  zu_graphics_SetColor(255, 255, 255);
  return 0;
}
