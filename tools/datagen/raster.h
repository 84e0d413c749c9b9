// tools/datagen/raster.h — the generator's anti-aliased drawing: a float canvas, colours,
// signed-distance shapes (discs, rings, rounded boxes, segments, polygons) and fills.
// Depends on: common.h (Image), the C++ standard library.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "common.h"

namespace datagen {

// ============================================================================
// [SECTION] Colours and the canvas
// ============================================================================

// Straight-alpha colour, every channel 0..1.
struct Color {
  float r = 0, g = 0, b = 0, a = 0;
};

Color Rgb(int r, int g, int b, float a = 1.0f);
Color Grey(float v, float a = 1.0f);
inline float Clamp01(float t) { return t < 0 ? 0 : (t > 1 ? 1 : t); }
// From p to q by t, clamped to 0..1.
inline Color Mix(const Color& p, const Color& q, float t) {
  t = Clamp01(t);
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t, p.a + (q.a - p.a) * t};
}
inline Color Fade(Color c, float alpha) {
  c.a *= alpha;
  return c;
}

struct Rect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // half-open
};

// Premultiplied float RGBA pixels; all drawing stays inside the clip rectangle.
class Canvas {
public:
  Canvas(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetClip(const Rect& r); // intersected with the canvas
  const Rect& Clip() const { return clip_; }

  // Source-over of `c` at `cover` (0..1) on one pixel, which must lie inside the clip.
  void Blend(int x, int y, const Color& c, float cover) {
    const float a = c.a * cover;
    if (a <= 0) return;
    float* p = &px_[(static_cast<size_t>(y) * width_ + x) * 4];
    const float k = 1 - a;
    p[0] = c.r * a + p[0] * k;
    p[1] = c.g * a + p[1] * k;
    p[2] = c.b * a + p[2] * k;
    p[3] = a + p[3] * k;
  }
  // Removes `cover` of what is there (a hole punched through earlier drawing).
  void Erase(int x, int y, float cover) {
    float* p = &px_[(static_cast<size_t>(y) * width_ + x) * 4];
    const float k = 1 - std::min(1.0f, cover);
    for (int i = 0; i < 4; ++i) p[i] *= k;
  }
  // Straight-alpha 8-bit copy.
  Image ToImage() const;

private:
  int width_, height_;
  std::vector<float> px_;
  Rect clip_;
};

// Level-1 units around a centre: unit point (u, v) is canvas pixel (cx + u·s, cy + v·s).
struct Pen {
  Canvas* canvas;
  float cx, cy, s;
};

// ============================================================================
// [SECTION] Signed distances, in units, negative inside
// ============================================================================

inline float SdCircle(float x, float y, float r) { return std::sqrt(x * x + y * y) - r; }
inline float SdRing(float x, float y, float r, float halfWidth) {
  return std::fabs(std::sqrt(x * x + y * y) - r) - halfWidth;
}
// Box of half-size (hw, hh) centred on the origin with corners rounded by `radius`.
inline float SdBox(float x, float y, float hw, float hh, float radius) {
  const float qx = std::fabs(x) - hw + radius, qy = std::fabs(y) - hh + radius;
  const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}
// Capsule around the segment (ax, ay)-(bx, by).
float SdSegment(float x, float y, float ax, float ay, float bx, float by, float halfWidth);
// Closed polygon of n points (xy pairs), any winding.
float SdPolygon(float x, float y, const float* pts, int n);
// Ellipse outline with radii (rx, ry), approximate but smooth near the curve.
float SdEllipse(float x, float y, float rx, float ry);
// Star with `points` tips at radius `outer` and notches at `inner`, a tip pointing up.
float SdStar(float x, float y, int points, float outer, float inner);

// Turns (x, y) about the origin by `degrees` (positive: clockwise on screen, y down).
inline void Turn(float& x, float& y, float degrees) {
  const float r = degrees * 0.017453292f, c = std::cos(r), s = std::sin(r);
  const float nx = c * x - s * y, ny = s * x + c * y;
  x = nx;
  y = ny;
}

inline float Smooth(float e0, float e1, float x) {
  const float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// ============================================================================
// [SECTION] Fills
// ============================================================================

// A box in units, around the pen's centre.
struct Bounds {
  float x0, y0, x1, y1;
};
inline Bounds Around(float r) { return {-r, -r, r, r}; }
inline Bounds Around(float hw, float hh, float dx = 0, float dy = 0) {
  return {dx - hw, dy - hh, dx + hw, dy + hh};
}

// Paints every pixel of `box` (clipped) whose centre has distance d = sd(u, v) below half a
// pixel, with coverage ramping over one pixel — or over `soft` units when that is wider —
// in the colour paint(u, v).
template <class Sd, class Paint>
void Shade(const Pen& pen, const Bounds& box, Sd sd, Paint paint, float soft = 0) {
  Canvas& c = *pen.canvas;
  const Rect& clip = c.Clip();
  const int x0 = std::max(clip.x0, static_cast<int>(std::floor(pen.cx + box.x0 * pen.s)) - 1);
  const int y0 = std::max(clip.y0, static_cast<int>(std::floor(pen.cy + box.y0 * pen.s)) - 1);
  const int x1 = std::min(clip.x1, static_cast<int>(std::ceil(pen.cx + box.x1 * pen.s)) + 1);
  const int y1 = std::min(clip.y1, static_cast<int>(std::ceil(pen.cy + box.y1 * pen.s)) + 1);
  const float ramp = std::max(1.0f, soft * pen.s);
  for (int py = y0; py < y1; ++py) {
    const float v = (py + 0.5f - pen.cy) / pen.s;
    for (int px = x0; px < x1; ++px) {
      const float u = (px + 0.5f - pen.cx) / pen.s;
      const float cover = 0.5f - sd(u, v) * pen.s / ramp;
      if (cover <= 0) continue;
      c.Blend(px, py, paint(u, v), std::min(cover, 1.0f));
    }
  }
}

template <class Sd> void Fill(const Pen& pen, const Bounds& box, Sd sd, const Color& color, float soft = 0) {
  Shade(
      pen, box, sd, [&](float, float) { return color; }, soft);
}

// Punches the shape out of what is already drawn.
template <class Sd> void Cut(const Pen& pen, const Bounds& box, Sd sd) {
  Canvas& c = *pen.canvas;
  const Rect& clip = c.Clip();
  const int x0 = std::max(clip.x0, static_cast<int>(std::floor(pen.cx + box.x0 * pen.s)) - 1);
  const int y0 = std::max(clip.y0, static_cast<int>(std::floor(pen.cy + box.y0 * pen.s)) - 1);
  const int x1 = std::min(clip.x1, static_cast<int>(std::ceil(pen.cx + box.x1 * pen.s)) + 1);
  const int y1 = std::min(clip.y1, static_cast<int>(std::ceil(pen.cy + box.y1 * pen.s)) + 1);
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px) {
      const float cover = 0.5f - sd((px + 0.5f - pen.cx) / pen.s, (py + 0.5f - pen.cy) / pen.s) * pen.s;
      if (cover > 0) c.Erase(px, py, cover);
    }
}

// A vertical gradient from `top` at v = y0 to `bottom` at v = y1.
inline auto Vertical(const Color& top, const Color& bottom, float y0, float y1) {
  return [=](float, float v) { return Mix(top, bottom, (v - y0) / (y1 - y0)); };
}

} // namespace datagen
