// tools/datagen/art_board.cpp — the board's art: letter tiles with their values, the
// cursor ring and clock dot, the title logo, the badge medallions, the game-length discs
// and the bronze options gear.
// Depends on: sheets.h, font.h, raster.h.
#include <cmath>

#include "sheets.h"

namespace datagen {

// ============================================================================
// [SECTION] Letter tiles
// ============================================================================

void DrawTile(const Frame& f, float u, float v, float half, char letter, int value, bool taken,
              float degrees) {
  const float k = half / 13.0f; // the tile is designed at half-size 13
  const float corner = 5.0f * k;
  auto local = [&](float& x, float& y) {
    x -= u;
    y -= v;
    Turn(x, y, -degrees);
  };
  auto body = [&](float inset, float dy) {
    return [=](float x, float y) {
      local(x, y);
      return SdBox(x, y - dy, half - inset, half - inset, corner - inset);
    };
  };
  const Bounds box = Around(half + 2.5f * k, half + 2.5f * k, u, v);
  // Soft drop shadow, then the rim, then the face inside it.
  Fill(f.pen, box, body(0, 1.2f * k), Grey(0, 0.38f), 1.6f * k);
  const float rim = (taken ? 1.9f : 1.0f) * k;
  const Color rimColor = taken ? Rgb(255, 214, 64) : Rgb(122, 92, 52);
  Fill(f.pen, box, body(0, 0), rimColor);
  const Color top = taken ? Rgb(58, 104, 214) : Rgb(255, 251, 238);
  const Color bottom = taken ? Rgb(20, 46, 128) : Rgb(236, 206, 150);
  Shade(f.pen, box, body(rim, 0), [&](float x, float y) {
    local(x, y);
    return Mix(top, bottom, (y + half) / (2 * half));
  });
  // Gloss: a pale band across the upper face, fading downwards.
  const float gloss = taken ? 0.28f : 0.7f;
  Shade(
      f.pen, box,
      [&](float x, float y) {
        local(x, y);
        return std::max(SdBox(x, y, half - rim - 1.2f * k, half - rim - 1.2f * k, corner - rim),
                        SdEllipse(x, y + half * 0.95f, half * 1.15f, half * 0.78f));
      },
      [&](float x, float y) {
        local(x, y);
        return Grey(1, gloss * (1 - Clamp01((y + half) / (half * 0.95f))));
      });
  // The letter, a little up and left of centre to leave the value its corner.
  const Color ink = taken ? Rgb(255, 255, 255) : Rgb(31, 36, 48);
  Typeface& face = f.faces.bold;
  const float caps = 13.2f * k;
  float lx = -1.6f * k, ly = -1.2f * k;
  Turn(lx, ly, degrees);
  const InkBox wide = face.Ink(static_cast<uint8_t>(letter), face.SizeForCaps(caps * f.level));
  const float maxWidth = 15.0f * k * f.level;
  const float sx = wide.Width() > maxWidth ? maxWidth / wide.Width() : 1.0f;
  DrawCentred(f.pen, face, static_cast<uint8_t>(letter), face.SizeForCaps(caps), u + lx, v + ly, ink, sx,
              degrees);
  if (value < 0) return;
  // The value, small in the bottom-right corner.
  const char digit = static_cast<char>('0' + value);
  float vx = 9.0f * k, vy = 8.7f * k;
  Turn(vx, vy, degrees);
  const Color valueInk = taken ? Rgb(255, 226, 120) : Rgb(84, 56, 22);
  DrawCentred(f.pen, face, static_cast<uint8_t>(digit), face.SizeForCaps(5.8f * k), u + vx, v + vy, valueInk,
              1, degrees);
}

namespace {

const int kValues[27] = {1, 3, 3, 2, 1, 4, 2, 4, 1, 7, 5, 4, 3, 2, 1, 3, 8, 1, 1, 1, 2, 5, 4, 6, 4, 8, 0};

} // namespace

// 0-25 A-Z, 26 the blank "?"; +32 the taken look; 29 the hollow ring; 30 the solid dot.
void PaintBubbles(const Frame& f) {
  const int tile = f.index % 32;
  if (tile <= 26 && f.index < 59) {
    const char letter = tile == 26 ? '?' : static_cast<char>('A' + tile);
    DrawTile(f, 0, -0.5f, 13, letter, kValues[tile], f.index >= 32);
  } else if (f.index == 29) {
    Fill(
        f.pen, Around(15), [](float u, float v) { return SdRing(u, v, 13.2f, 1.7f); }, Grey(0, 0.55f));
    Fill(
        f.pen, Around(15), [](float u, float v) { return SdRing(u, v, 13.2f, 1.0f); }, Grey(1));
  } else if (f.index == 30) {
    Shade(
        f.pen, Around(14), [](float u, float v) { return SdCircle(u, v, 13); },
        [](float, float v) { return Grey(1 - 0.12f * Clamp01((v + 13) / 26)); });
  }
}

// ============================================================================
// [SECTION] Title
// ============================================================================

// "LEXORM" as six tiles on a gentle wave, each turned a little.
void PaintLogo(const Frame& f) {
  static const char kWord[] = "LEXORM";
  static const int kWordValues[] = {1, 1, 6, 1, 1, 3};
  for (int i = 0; i < 6; ++i) {
    const float u = (i - 2.5f) * 35.5f, v = i % 2 ? 5.0f : -5.0f;
    const float turn = (i % 2 ? 5.0f : -4.0f);
    DrawTile(f, u, v, 16.5f, kWord[i], kWordValues[i], false, turn);
  }
}

// ============================================================================
// [SECTION] Badges
// ============================================================================

// 64 medallions: eight enamel colours (columns) by eight emblems (rows), in a gold rim.
void PaintBadges(const Frame& f) {
  static const Color kEnamel[8] = {Rgb(214, 60, 52),  Rgb(232, 132, 30), Rgb(222, 184, 36),
                                   Rgb(70, 160, 70),  Rgb(36, 160, 170), Rgb(52, 98, 206),
                                   Rgb(124, 70, 200), Rgb(200, 62, 140)};
  static const uint32_t kEmblem[8] = {0x2605, 0x2665, 0x2666, 0x2663, 0x2660, 0x2714, 0x266B, 0x263C};
  const Color enamel = kEnamel[f.index % 8];
  Fill(
      f.pen, Around(30), [](float u, float v) { return SdCircle(u, v - 1.2f, 27); }, Grey(0, 0.35f), 2);
  Shade(
      f.pen, Around(29), [](float u, float v) { return SdCircle(u, v, 27); },
      [](float u, float v) { return Mix(Rgb(255, 226, 120), Rgb(170, 112, 20), (u + v + 38) / 76); });
  for (int k = 0; k < 16; ++k) { // beads around the rim
    float bx = 0, by = -24.5f;
    Turn(bx, by, k * 22.5f);
    Fill(
        f.pen, Around(2, 2, bx, by), [=](float u, float v) { return SdCircle(u - bx, v - by, 1.1f); },
        Rgb(255, 246, 200));
  }
  Fill(
      f.pen, Around(23), [](float u, float v) { return SdCircle(u, v, 21.5f); }, Rgb(120, 78, 12));
  Shade(
      f.pen, Around(22), [](float u, float v) { return SdCircle(u, v, 20.5f); },
      [&](float u, float v) {
        const float r = std::sqrt((u + 6) * (u + 6) + (v + 8) * (v + 8)) / 34;
        return Mix(Mix(enamel, Grey(1), 0.35f), Mix(enamel, Grey(0), 0.35f), r);
      });
  Typeface& face = f.faces.sans.Has(kEmblem[f.index / 8]) ? f.faces.sans : f.faces.bold;
  const float size = 31;
  DrawCentred(f.pen, face, kEmblem[f.index / 8], size, 0.8f, 1.2f, Grey(0, 0.4f));
  DrawCentred(f.pen, face, kEmblem[f.index / 8], size, 0, 0, Grey(1));
  // A sheen over the upper half.
  Shade(
      f.pen, Around(22),
      [](float u, float v) { return std::max(SdCircle(u, v, 19.5f), SdCircle(u, v + 14, 20)); },
      [](float, float v) { return Grey(1, 0.25f * (1 - Clamp01((v + 20) / 16))); });
}

// ============================================================================
// [SECTION] Game-length discs and the options gear
// ============================================================================

namespace {

// A gear body: `teeth` tapered teeth from radius `root` to `tip` around a disc of `root`,
// less a hole of `hole`.
float SdGear(float u, float v, int teeth, float root, float tip, float width, float hole) {
  const float sector = 360.0f / teeth;
  const float a = std::atan2(u, -v) * 57.29578f;
  float x = u, y = v;
  Turn(x, y, -std::round(a / sector) * sector);
  const float w = width / 2;
  const float tooth[8] = {-w, -(root - 1), w, -(root - 1), w * 0.55f, -tip, -w * 0.55f, -tip};
  const float body = std::min(SdCircle(u, v, root), SdPolygon(x, y, tooth, 4) - 0.4f) + 0.4f;
  return std::max(body, hole - std::sqrt(u * u + v * v));
}

void Gear(const Frame& f, int teeth, float root, float tip, float width, float hole, const Color& light,
          const Color& dark) {
  auto sd = [=](float u, float v) { return SdGear(u, v, teeth, root, tip, width, hole); };
  Fill(
      f.pen, Around(tip + 2, tip + 2, 0.8f, 1.2f), [&](float u, float v) { return sd(u - 0.8f, v - 1.2f); },
      Grey(0, 0.35f), 1.2f);
  Fill(f.pen, Around(tip + 1), sd, Rgb(64, 30, 0));
  Shade(
      f.pen, Around(tip + 1), [&](float u, float v) { return sd(u, v) + 0.9f; },
      [&](float u, float v) { return Mix(light, dark, (u + v + tip * 1.4f) / (tip * 2.8f)); });
  // A bevel line just inside the root circle shows the rotation.
  Fill(
      f.pen, Around(root),
      [=](float u, float v) {
        return std::max(SdRing(u, v, root - 2.2f, 0.45f), hole + 1.5f - std::sqrt(u * u + v * v));
      },
      Fade(light, 0.7f));
}

} // namespace

// 0, 1, 2: the 30, 60 and 120 second discs (a half, a full and a double ring round the rim);
// 8, 9, 10: the gear's outer toothed ring, middle gear and inner cog.
void PaintButtons(const Frame& f) {
  const Color bronzeLight = Rgb(214, 132, 40), bronze = Rgb(150, 75, 0), bronzeDark = Rgb(96, 46, 0);
  if (f.index <= 2) {
    static const Color kFace[3] = {Rgb(28, 150, 136), Rgb(44, 104, 210), Rgb(126, 70, 206)};
    const Color face = kFace[f.index];
    Fill(
        f.pen, Around(30), [](float u, float v) { return SdCircle(u, v - 1.4f, 27.5f); }, Grey(0, 0.4f), 2);
    Fill(
        f.pen, Around(29), [](float u, float v) { return SdCircle(u, v, 27.5f); }, Rgb(24, 28, 40));
    Shade(
        f.pen, Around(28), [](float u, float v) { return SdCircle(u, v, 25.8f); },
        [&](float u, float v) {
          const float r = std::sqrt((u + 8) * (u + 8) + (v + 10) * (v + 10)) / 40;
          return Mix(Mix(face, Grey(1), 0.3f), Mix(face, Grey(0), 0.45f), r);
        });
    // The length as rings: the arc runs clockwise from the top.
    const float sweep = f.index == 0 ? 180.0f : 360.0f;
    auto arc = [sweep](float radius) {
      return [=](float u, float v) {
        float a = std::atan2(u, -v) * 57.29578f;
        if (a < 0) a += 360;
        const float ring = SdRing(u, v, radius, 1.5f);
        if (a <= sweep) return ring;
        // Round cap at the arc's end.
        float ex = 0, ey = -radius;
        Turn(ex, ey, sweep);
        return std::min(SdCircle(u - ex, v - ey, 1.5f), SdCircle(u, v + radius, 1.5f));
      };
    };
    Fill(f.pen, Around(26), arc(22.2f), Grey(1, 0.95f));
    if (f.index == 2) Fill(f.pen, Around(26), arc(17.8f), Grey(1, 0.95f));
    Shade(
        f.pen, Around(26),
        [](float u, float v) { return std::max(SdCircle(u, v, 24.5f), SdCircle(u, v + 16, 22)); },
        [](float, float v) { return Grey(1, 0.3f * (1 - Clamp01((v + 25) / 20))); });
  } else if (f.index == 8) {
    Gear(f, 20, 25, 29.6f, 5.4f, 19.6f, Mix(bronzeLight, bronze, 0.35f), bronzeDark);
  } else if (f.index == 9) {
    Gear(f, 14, 15, 18.8f, 4.6f, 9.6f, bronzeLight, bronze);
  } else if (f.index == 10) {
    Gear(f, 8, 6.4f, 9.0f, 3.4f, 0, Mix(bronzeLight, Grey(1), 0.25f), bronze);
    Fill(
        f.pen, Around(4), [](float u, float v) { return SdCircle(u, v, 2.2f); }, Rgb(64, 30, 0));
  }
}

} // namespace datagen
