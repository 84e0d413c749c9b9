// tools/datagen/art_font.cpp — the game's bitmap font (white glyphs with a black drop shadow,
// fitted to the text renderer's advances, and the controller and keyboard button glyphs)
// and the default font strip.
// Depends on: sheets.h, font.h, raster.h.
#include <cmath>
#include <cstring>

#include "sheets.h"

namespace datagen {
namespace {

// ============================================================================
// [SECTION] Text glyphs
// ============================================================================

constexpr int kAdvance = 7;     // the font's advance, before the per-letter adjustment
constexpr float kCaps = 7.0f;   // capital height, units
constexpr float kBaseline = 3;  // units below the cell's centre
constexpr float kMiddle = -0.5; // the middle of a capital letter, units from the centre

// The text renderer's per-letter spacing; a glyph's ink stays one unit inside its advance.
int Adjustment(int c) {
  const auto in = [c](const char* set) { return c > 0 && std::strchr(set, c) != nullptr; };
  if (in("wm")) return 2;
  if (in("WM")) return 1;
  if (in("ifl")) return -3;
  if (in("jskrztn")) return -1;
  return 0;
}

// White glyph over its shadow (+L, +L), squeezed to fit its advance less one unit, ink
// centred across the cell on whole pixels, standing on the common baseline.
void TextGlyph(const Frame& f, int code) {
  Typeface& face = f.faces.condensed;
  const float size = face.SizeForCaps(kCaps * f.level);
  const float limit = (kAdvance + Adjustment(code) - 1) * f.level - 0.05f;
  const InkBox natural = face.Ink(code, size);
  if (natural.Empty()) return;
  const float sx = natural.Width() > limit ? limit / natural.Width() : 1.0f;
  const InkBox ink = face.Ink(code, size, sx);
  const float left = std::round(f.pen.cx - ink.Width() / 2);
  const float ox = left - ink.x0, oy = f.pen.cy + kBaseline * f.level;
  face.Draw(*f.pen.canvas, code, size, ox + f.level, oy + f.level, Grey(0), sx);
  face.Draw(*f.pen.canvas, code, size, ox, oy, Grey(1), sx);
}

// ============================================================================
// [SECTION] Button glyphs
// ============================================================================

const Color kCap = Grey(1), kInk = Grey(0.13f), kDim = Grey(0.62f);

// The shape's shadow one unit down and right, then the shape.
template <class Sd> void Shadowed(const Frame& f, const Bounds& b, Sd sd, const Color& c) {
  Fill(
      f.pen, {b.x0 + 1, b.y0 + 1, b.x1 + 1, b.y1 + 1}, [&](float u, float v) { return sd(u - 1, v - 1); },
      Grey(0));
  Fill(f.pen, b, sd, c);
}

void Letter(const Frame& f, uint32_t code, float caps, float u, float v, const Color& c, float sx = 1) {
  Typeface& face = f.faces.bold.Has(code) ? f.faces.bold : f.faces.sans;
  DrawCentred(f.pen, face, code, face.SizeForCaps(caps), u, v, c, sx);
}

// A small solid arrow pointing `degrees` clockwise from up.
void Arrow(const Frame& f, float u, float v, float degrees, float size, const Color& c) {
  const float head[6] = {0, -size, size * 0.8f, 0, -size * 0.8f, 0};
  auto sd = [&](float x, float y) {
    x -= u;
    y -= v;
    Turn(x, y, -degrees);
    return std::min(SdPolygon(x, y, head, 3), SdSegment(x, y, 0, 0, 0, size * 0.9f, size * 0.22f));
  };
  Fill(f.pen, Around(size * 1.2f, size * 1.2f, u, v), sd, c);
}

// Pad face button: a white disc with its letter.
void FaceButton(const Frame& f, char letter) {
  Shadowed(
      f, Around(5, 5, 0, kMiddle), [](float u, float v) { return SdCircle(u, v - kMiddle, 4.5f); }, kCap);
  Letter(f, static_cast<uint8_t>(letter), 4.4f, 0, kMiddle, kInk);
}

void Shoulder(const Frame& f, char letter) {
  Shadowed(
      f, Around(6, 4, 0, kMiddle), [](float u, float v) { return SdBox(u, v - kMiddle, 5.4f, 3.2f, 2.4f); },
      kCap);
  if (letter) Letter(f, static_cast<uint8_t>(letter), 4.2f, 0, kMiddle, kInk);
}

void Pill(const Frame& f, float turn) {
  Shadowed(
      f, Around(5, 4, 0, kMiddle), [](float u, float v) { return SdBox(u, v - kMiddle, 4.6f, 3.0f, 3.0f); },
      kCap);
  const float tri[6] = {-1.4f, -2.0f, 2.0f, 0, -1.4f, 2.0f};
  Fill(
      f.pen, Around(3, 3, 0, kMiddle),
      [&](float u, float v) {
        float x = u, y = v - kMiddle;
        Turn(x, y, -turn);
        return SdPolygon(x, y, tri, 3) - 0.2f;
      },
      kInk);
}

// The pad's cross, the arm pointing `lit` degrees clockwise from up lit (or all when < 0).
void Cross(const Frame& f, int lit) {
  auto sd = [](float u, float v) {
    v -= kMiddle;
    return std::min(SdBox(u, v, 5, 1.8f, 0.8f), SdBox(u, v, 1.8f, 5, 0.8f));
  };
  Shadowed(f, Around(6, 6, 0, kMiddle), sd, lit < 0 ? kCap : kDim);
  if (lit < 0) {
    Fill(
        f.pen, Around(2, 2, 0, kMiddle), [](float u, float v) { return SdCircle(u, v - kMiddle, 0.9f); },
        kDim);
    return;
  }
  Fill(
      f.pen, Around(6, 6, 0, kMiddle),
      [&](float u, float v) {
        float x = u, y = v - kMiddle;
        Turn(x, y, -static_cast<float>(lit));
        return std::max(sd(x, y + kMiddle), y + 1.2f);
      },
      kCap);
  float ax = 0, ay = -3.0f;
  Turn(ax, ay, static_cast<float>(lit));
  Arrow(f, ax, ay + kMiddle, static_cast<float>(lit), 1.4f, kInk);
}

// Keyboard key: a white cap with a darker lip along its bottom.
void Keycap(const Frame& f, float hw) {
  auto sd = [hw](float u, float v) { return SdBox(u, v - kMiddle, hw, 4.6f, 1.5f); };
  Shadowed(f, Around(hw + 1, 5.5f, 0, kMiddle), sd, kDim);
  Fill(
      f.pen, Around(hw + 1, 5.5f, 0, kMiddle),
      [&](float u, float v) { return SdBox(u, v - kMiddle + 0.6f, hw - 0.6f, 3.8f, 1.2f); }, kCap);
}

void KeyLetter(const Frame& f, char letter) {
  Keycap(f, 4.6f);
  Letter(f, static_cast<uint8_t>(letter), 4.2f, 0, kMiddle - 0.6f, kInk);
}

void ButtonGlyph(const Frame& f, int cell) {
  switch (cell) {
  case 96:
    return FaceButton(f, 'A');
  case 97:
    return FaceButton(f, 'B');
  case 98:
    return FaceButton(f, 'X');
  case 99:
    return FaceButton(f, 'Y');
  case 100:
    return Shoulder(f, 'L');
  case 101:
    return Shoulder(f, 'R');
  case 102:
    return Pill(f, 180);
  case 103:
    return Pill(f, 0);
  case 104:
    return Cross(f, -1);
  case 105:
    return Cross(f, 0);
  case 106:
    return Cross(f, 180);
  case 107:
    return Cross(f, 270);
  case 108:
    return Cross(f, 90);
  case 109: // a face button held down: sunk onto its shadow, darker, no letter
    Fill(
        f.pen, Around(5, 5, 1, kMiddle + 1),
        [](float u, float v) { return SdCircle(u - 0.6f, v - kMiddle - 0.6f, 4.4f); }, Grey(0));
    Fill(
        f.pen, Around(5, 5, 1, kMiddle + 1),
        [](float u, float v) { return SdCircle(u - 0.6f, v - kMiddle - 0.6f, 3.9f); }, kDim);
    return;
  case 110: // a shoulder held down
    Fill(
        f.pen, Around(6, 4, 0.6f, kMiddle + 0.6f),
        [](float u, float v) { return SdBox(u - 0.6f, v - kMiddle - 0.6f, 5.4f, 3.2f, 2.4f); }, Grey(0));
    Fill(
        f.pen, Around(6, 4, 0.6f, kMiddle + 0.6f),
        [](float u, float v) { return SdBox(u - 0.6f, v - kMiddle - 0.6f, 4.9f, 2.7f, 2.0f); }, kDim);
    return;
  case 112:
    return KeyLetter(f, 'Z');
  case 113:
    return KeyLetter(f, 'X');
  case 114:
    return KeyLetter(f, 'C');
  case 115:
    return KeyLetter(f, 'V');
  case 116:
    return KeyLetter(f, 'B');
  case 117:
    return KeyLetter(f, 'N');
  case 118:
    Keycap(f, 4.6f);
    Letter(f, 'E', 2.8f, -2.4f, kMiddle - 0.6f, kInk, 0.8f);
    Letter(f, 's', 2.1f, -0.1f, kMiddle - 0.25f, kInk, 0.8f);
    Letter(f, 'c', 2.1f, 2.1f, kMiddle - 0.25f, kInk, 0.8f);
    return;
  case 119:
    Keycap(f, 4.6f);
    Letter(f, 0x21B5, 4.0f, 0, kMiddle - 0.6f, kInk);
    return;
  case 120: // the arrow keys as an inverted T
    for (int k = 0; k < 4; ++k) {
      const float x = k == 0 ? 0 : (k - 2) * 3.3f, y = kMiddle + (k == 0 ? -2.3f : 1.7f);
      Shadowed(
          f, Around(2, 2, x, y), [=](float u, float v) { return SdBox(u - x, v - y, 1.45f, 1.45f, 0.5f); },
          kCap);
    }
    return;
  case 121:
    Keycap(f, 4.6f);
    return Arrow(f, 0, kMiddle - 0.6f, 0, 2.6f, kInk);
  case 122:
    Keycap(f, 4.6f);
    return Arrow(f, 0, kMiddle - 0.6f, 180, 2.6f, kInk);
  case 123:
    Keycap(f, 4.6f);
    return Arrow(f, 0, kMiddle - 0.6f, 270, 2.6f, kInk);
  case 124:
    Keycap(f, 4.6f);
    return Arrow(f, 0, kMiddle - 0.6f, 90, 2.6f, kInk);
  default:
    return; // 111, 125-127: unused
  }
}

} // namespace

// Cell k is character 32 + k for k 1..94 (k 0 is the space, 95 unused); the button glyphs
// follow from 96.
void PaintFont(const Frame& f) {
  if (f.index >= 1 && f.index <= 94) return TextGlyph(f, 32 + f.index);
  if (f.index >= 96) ButtonGlyph(f, f.index);
}

// ============================================================================
// [SECTION] The default font strip
// ============================================================================

bool PaintDefaultFont(Faces& faces, Image* out) {
  constexpr int kCell = 10, kInkWidth = 8, kHeight = 16;
  Canvas canvas(96 * kCell, kHeight);
  Typeface& face = faces.mono;
  const float size = face.SizeForCaps(9);
  for (int i = 1; i < 95; ++i) {
    const int code = 32 + i, x0 = kCell * i + 1;
    canvas.SetClip({x0, 0, x0 + kInkWidth, kHeight});
    const InkBox natural = face.Ink(code, size);
    if (natural.Empty()) continue;
    const float limit = kInkWidth - 0.05f;
    const float sx = natural.Width() > limit ? limit / natural.Width() : 1.0f;
    const InkBox ink = face.Ink(code, size, sx);
    const float left = std::round(x0 + (kInkWidth - ink.Width()) / 2);
    face.Draw(canvas, code, size, left - ink.x0, 12, Grey(1), sx);
  }
  *out = canvas.ToImage();
  return true;
}

} // namespace datagen
