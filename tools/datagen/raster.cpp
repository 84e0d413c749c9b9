// tools/datagen/raster.cpp — colours, the float canvas and the shapes' distance functions.
// Depends on: raster.h.
#include "raster.h"

namespace datagen {

Color Rgb(int r, int g, int b, float a) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }
Color Grey(float v, float a) { return {v, v, v, a}; }

Canvas::Canvas(int width, int height)
    : width_(width), height_(height),
      px_(static_cast<size_t>(width) * height * 4, 0.0f), clip_{0, 0, width, height} {}

void Canvas::SetClip(const Rect& r) {
  clip_ = {std::max(0, r.x0), std::max(0, r.y0), std::min(width_, r.x1), std::min(height_, r.y1)};
}

Image Canvas::ToImage() const {
  Image out(width_, height_);
  for (size_t i = 0; i < px_.size(); i += 4) {
    const float a = px_[i + 3];
    const int alpha = static_cast<int>(Clamp01(a) * 255 + 0.5f);
    uint8_t* o = &out.rgba[i];
    o[3] = static_cast<uint8_t>(alpha);
    if (alpha == 0) continue;
    for (int k = 0; k < 3; ++k) o[k] = static_cast<uint8_t>(Clamp01(px_[i + k] / a) * 255 + 0.5f);
  }
  return out;
}

float SdSegment(float x, float y, float ax, float ay, float bx, float by, float halfWidth) {
  const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
  const float len2 = dx * dx + dy * dy;
  const float t = len2 > 0 ? Clamp01((px * dx + py * dy) / len2) : 0;
  const float ex = px - dx * t, ey = py - dy * t;
  return std::sqrt(ex * ex + ey * ey) - halfWidth;
}

float SdPolygon(float x, float y, const float* pts, int n) {
  // Distance to the nearest edge, negative where the crossing count is odd.
  float best = 1e30f;
  bool inside = false;
  for (int i = 0, j = n - 1; i < n; j = i++) {
    const float ax = pts[2 * j], ay = pts[2 * j + 1], bx = pts[2 * i], by = pts[2 * i + 1];
    best = std::min(best, SdSegment(x, y, ax, ay, bx, by, 0));
    if ((by > y) != (ay > y) && x < (ax - bx) * (y - by) / (ay - by) + bx) inside = !inside;
  }
  return inside ? -best : best;
}

float SdEllipse(float x, float y, float rx, float ry) {
  const float k0 = std::sqrt((x / rx) * (x / rx) + (y / ry) * (y / ry));
  const float k1 = std::sqrt((x / (rx * rx)) * (x / (rx * rx)) + (y / (ry * ry)) * (y / (ry * ry)));
  return k1 > 0 ? k0 * (k0 - 1) / k1 : -std::min(rx, ry);
}

float SdStar(float x, float y, int points, float outer, float inner) {
  // Fold the point into one half-sector and measure against its two edges.
  const float sector = 6.2831853f / points;
  float a = std::atan2(x, -y); // 0 = up, clockwise
  const float r = std::sqrt(x * x + y * y);
  a = std::fmod(a + 100 * sector, sector);
  if (a > sector / 2) a = sector - a;
  const float px = r * std::sin(a), py = -r * std::cos(a);
  const float tip[2] = {0, -outer};
  const float notch[2] = {inner * std::sin(sector / 2), -inner * std::cos(sector / 2)};
  const float tri[6] = {0, 0, tip[0], tip[1], notch[0], notch[1]};
  const float d = SdPolygon(px, py, tri, 3);
  // Inside the folded triangle or beyond its outer edge; the two inner edges are not real.
  const float edge = SdSegment(px, py, tip[0], tip[1], notch[0], notch[1], 0);
  return d < 0 ? -edge : edge;
}

} // namespace datagen
