// tools/datagen/art_ui.cpp — the interface art: the soft disc and the wheel track, glows,
// the studio orb, d-pad pieces, particles and stars, icons and menu panels. Everything the
// game tints is white or grey.
// Depends on: sheets.h, font.h, raster.h, common.h (Random).
#include <cmath>
#include <string>

#include "sheets.h"

namespace datagen {

// ============================================================================
// [SECTION] Circle and light
// ============================================================================

// 1: a soft white disc; 3: the wheel's track ring with a notch every 30 degrees.
void PaintCircle(const Frame& f) {
  if (f.index == 1) {
    Shade(
        f.pen, Around(124), [](float u, float v) { return SdCircle(u, v, 122); },
        [](float u, float v) { return Grey(1, 1 - Smooth(70, 122, std::sqrt(u * u + v * v))); });
  } else if (f.index == 3) {
    auto track = [](float u, float v) {
      float a = std::atan2(u, -v) * 57.29578f;
      a -= std::round(a / 30) * 30;
      float x = u, y = v;
      Turn(x, y, -std::round((std::atan2(u, -v) * 57.29578f) / 30) * 30);
      const float notch = SdBox(x, y + 74, 1.4f, 5.5f, 1.2f);
      return std::max(SdRing(u, v, 74, 3.2f), -notch);
    };
    Fill(
        f.pen, Around(80), [&](float u, float v) { return track(u, v) - 0.8f; }, Grey(0, 0.3f), 1.5f);
    Fill(f.pen, Around(80), track, Grey(1));
    // A bead at every notch's outer end keeps the turn visible even when blurred.
    for (int k = 0; k < 12; ++k) {
      float bx = 0, by = -80.5f;
      Turn(bx, by, k * 30.0f);
      Fill(
          f.pen, Around(3, 3, bx, by),
          [=](float u, float v) { return SdCircle(u - bx, v - by, k % 3 ? 1.2f : 2.0f); }, Grey(1));
    }
  }
}

// Four soft white glows: round, tight, a four-point flare, a halo.
void PaintLight(const Frame& f) {
  auto glow = [&](auto alpha) {
    Shade(
        f.pen, Around(14.5f), [](float u, float v) { return SdCircle(u, v, 14.5f); },
        [&](float u, float v) { return Grey(1, Clamp01(alpha(std::sqrt(u * u + v * v), u, v))); });
  };
  switch (f.index) {
  case 0:
    return glow([](float r, float, float) { return std::exp(-r * r / 40) * (1 - Smooth(10, 14.5f, r)); });
  case 1:
    return glow([](float r, float, float) {
      return std::exp(-r * r / 10) + 0.3f * std::exp(-r * r / 60) * (1 - Smooth(10, 14.5f, r));
    });
  case 2:
    return glow([](float r, float u, float v) {
      const float ray = std::exp(-std::fabs(u) * 1.6f) + std::exp(-std::fabs(v) * 1.6f);
      return (std::exp(-r * r / 14) + 0.7f * ray * std::exp(-r / 6)) * (1 - Smooth(9, 14.5f, r));
    });
  default:
    return glow(
        [](float r, float, float) { return std::exp(-(r - 9) * (r - 9) / 5) * (1 - Smooth(12, 14.5f, r)); });
  }
}

// ============================================================================
// [SECTION] Studio mark
// ============================================================================

// A pearly orb with a warm orbit ring about it, within 75 units of the centre.
void PaintOrb(const Frame& f) {
  const float tilt = -18;
  auto ring = [tilt](float u, float v) {
    Turn(u, v, -tilt);
    return std::fabs(SdEllipse(u, v, 70, 19)) - 3.2f;
  };
  auto behind = [&](float u, float v) {
    float x = u, y = v;
    Turn(x, y, -tilt);
    return std::max(ring(u, v), y);
  };
  auto front = [&](float u, float v) {
    float x = u, y = v;
    Turn(x, y, -tilt);
    return std::max(ring(u, v), -y);
  };
  const Color gold = Rgb(255, 170, 60), goldDark = Rgb(200, 96, 20);
  auto ringPaint = [&](float u, float v) {
    Turn(u, v, -tilt);
    return Mix(gold, goldDark, Clamp01((u + 70) / 140) * 0.7f + Clamp01((v + 19) / 38) * 0.3f);
  };
  Fill(
      f.pen, Around(60), [](float u, float v) { return SdCircle(u - 2, v - 4, 52); }, Rgb(0, 0, 0, 0.5f), 6);
  Shade(f.pen, Around(76), behind, ringPaint);
  Shade(
      f.pen, Around(54), [](float u, float v) { return SdCircle(u, v, 52); },
      [](float u, float v) {
        const float r = std::sqrt((u + 18) * (u + 18) + (v + 22) * (v + 22)) / 86;
        return Mix(Mix(Rgb(236, 244, 255), Rgb(120, 170, 240), Smooth(0, 0.7f, r)), Rgb(40, 60, 150),
                   Smooth(0.6f, 1.05f, r));
      });
  // Rim light and highlight.
  Fill(
      f.pen, Around(54),
      [](float u, float v) { return std::max(SdRing(u, v, 50.5f, 1.2f), -(u + v) * 0.7f - 10); },
      Rgb(170, 210, 255, 0.6f));
  Fill(
      f.pen, Around(30, 20, -20, -26), [](float u, float v) { return SdEllipse(u + 20, v + 26, 17, 10); },
      Grey(1, 0.55f), 5);
  Shade(f.pen, Around(76), front, ringPaint);
  // Two small moons riding the ring, one on each side of the orb.
  for (float t : {158.0f, -24.0f}) {
    float x = 70 * std::cos(t * 0.017453292f), y = 19 * std::sin(t * 0.017453292f);
    Turn(x, y, tilt);
    Shade(
        f.pen, Around(6, 6, x, y), [=](float u, float v) { return SdCircle(u - x, v - y, 4.6f); },
        [=](float u, float v) {
          return Mix(Rgb(255, 248, 230), Rgb(230, 150, 70), (u - x + v - y + 6) / 12);
        });
  }
}

// ============================================================================
// [SECTION] D-pad pieces
// ============================================================================

namespace {

void PadArrow(const Frame& f, float u, float v, float degrees, float size, const Color& c) {
  const float tri[6] = {0, -size, size, size * 0.6f, -size, size * 0.6f};
  Fill(
      f.pen, Around(size + 1, size + 1, u, v),
      [&](float x, float y) {
        x -= u;
        y -= v;
        Turn(x, y, -degrees);
        return SdPolygon(x, y, tri, 3) - 0.5f;
      },
      c);
}

template <class Sd> void Piece(const Frame& f, Sd sd, bool pressed) {
  const float drop = pressed ? 0.5f : 1.5f;
  Fill(
      f.pen, Around(15), [&](float u, float v) { return sd(u, v - drop); }, Grey(0, 0.4f), 1.2f);
  Fill(f.pen, Around(15), sd, Grey(pressed ? 0.45f : 0.3f));
  Shade(
      f.pen, Around(15), [&](float u, float v) { return sd(u, v) + 1; },
      [&](float, float v) {
        return Mix(Grey(pressed ? 1.0f : 0.92f), Grey(pressed ? 0.82f : 0.62f), (v + 14) / 28);
      });
}

} // namespace

// 0 the whole cross; 1-4 its arms up, right, down, left; 5-8 the arms pressed; 9 the hub;
// 10 a stick's well, 11 its knob; 12, 13 a round button and pressed; 14, 15 a shoulder and pressed.
void PaintDpad(const Frame& f) {
  const int i = f.index;
  auto cross = [](float u, float v) { return std::min(SdBox(u, v, 13, 4.8f, 2), SdBox(u, v, 4.8f, 13, 2)); };
  if (i == 0) {
    Piece(f, cross, false);
    for (int k = 0; k < 4; ++k) {
      float x = 0, y = -8.5f;
      Turn(x, y, k * 90.0f);
      PadArrow(f, x, y, k * 90.0f, 2.2f, Grey(0.35f));
    }
  } else if (i >= 1 && i <= 8) {
    const float turn = ((i - 1) % 4) * 90.0f;
    auto arm = [turn](float u, float v) {
      Turn(u, v, -turn);
      return SdBox(u, v + 5, 5.5f, 9, 2.2f);
    };
    Piece(f, arm, i >= 5);
    float x = 0, y = -8;
    Turn(x, y, turn);
    PadArrow(f, x, y, turn, 2.6f, Grey(i >= 5 ? 0.2f : 0.35f));
  } else if (i == 9) {
    Piece(
        f, [](float u, float v) { return SdCircle(u, v, 6); }, false);
  } else if (i == 10) {
    Fill(
        f.pen, Around(15), [](float u, float v) { return SdCircle(u, v, 13.5f); }, Grey(0.25f, 0.8f));
    Fill(
        f.pen, Around(15), [](float u, float v) { return SdRing(u, v, 12.5f, 0.8f); }, Grey(0.85f));
  } else if (i == 11) {
    Piece(
        f, [](float u, float v) { return SdCircle(u, v, 8.5f); }, false);
    Fill(
        f.pen, Around(8), [](float u, float v) { return SdRing(u, v, 5.5f, 0.6f); }, Grey(0.55f));
  } else if (i == 12 || i == 13) {
    Piece(
        f, [](float u, float v) { return SdCircle(u, v, 10); }, i == 13);
  } else if (i == 14 || i == 15) {
    Piece(
        f, [](float u, float v) { return SdBox(u, v, 13, 6, 5); }, i == 15);
  }
}

// ============================================================================
// [SECTION] Particles and stars
// ============================================================================

// 256 small white and grey sprites: dots, soft dots, sparkles, stars, rings, diamonds.
void PaintParts(const Frame& f) {
  Random rnd("parts#" + std::to_string(f.index));
  const float grey = rnd.Range(0.72f, 1.0f), turn = rnd.Range(0, 90);
  const float size = rnd.Range(0.55f, 1.0f);
  const Color c = Grey(grey);
  switch (f.index % 8) {
  case 0: // dot
    Fill(
        f.pen, Around(3), [=](float u, float v) { return SdCircle(u, v, 0.9f + 1.7f * size); }, c);
    break;
  case 1: // soft dot
    Shade(
        f.pen, Around(3), [](float u, float v) { return SdCircle(u, v, 2.9f); },
        [=](float u, float v) { return Fade(c, std::exp(-(u * u + v * v) / (1.5f + 2.5f * size))); });
    break;
  case 2: // four-point sparkle
  case 6:
    Shade(
        f.pen, Around(3), [=](float u, float v) { return SdStar(u, v, 4, 2.0f + 0.9f * size, 0.65f); },
        [=](float u, float v) { return Fade(c, 1 - 0.35f * Clamp01(std::sqrt(u * u + v * v) / 3)); });
    break;
  case 3: { // five-point star
    Fill(
        f.pen, Around(3),
        [=](float u, float v) {
          Turn(u, v, -turn);
          return SdStar(u, v, 5, 1.8f + 1.1f * size, 0.9f + 0.5f * size);
        },
        c);
    break;
  }
  case 4: // ring
    Fill(
        f.pen, Around(3), [=](float u, float v) { return SdRing(u, v, 1.6f + 0.9f * size, 0.5f); }, c);
    break;
  case 5: // diamond
    Fill(
        f.pen, Around(3),
        [=](float u, float v) {
          Turn(u, v, -turn * 0.2f);
          const float b = 1.9f + 0.9f * size, a = b * 0.62f; // half height and half width
          return (std::fabs(u) * b + std::fabs(v) * a - a * b) / std::sqrt(a * a + b * b);
        },
        c);
    break;
  default: { // six-point star
    Fill(
        f.pen, Around(3),
        [=](float u, float v) {
          Turn(u, v, -turn);
          return SdStar(u, v, 6, 1.8f + 1.1f * size, 1.0f + 0.3f * size);
        },
        c);
    break;
  }
  }
}

// ============================================================================
// [SECTION] Icons
// ============================================================================

namespace {

// A white shape over a soft dark shadow, so it reads on light and dark backgrounds.
template <class Sd> void Icon(const Frame& f, Sd sd) {
  Fill(
      f.pen, Around(15), [&](float u, float v) { return sd(u - 0.6f, v - 1.0f) - 0.6f; }, Grey(0, 0.45f),
      1.5f);
  Fill(f.pen, Around(15), sd, Grey(1));
}

} // namespace

// 0 pause, 1 quit, 3 play, 6 the selection halo.
void PaintIcons(const Frame& f) {
  switch (f.index) {
  case 0:
    Icon(f, [](float u, float v) {
      return std::min(SdBox(u + 5, v, 2.6f, 9.5f, 1.2f), SdBox(u - 5, v, 2.6f, 9.5f, 1.2f));
    });
    break;
  case 1:
    Icon(f, [](float u, float v) {
      return std::min(SdSegment(u, v, -8, -8, 8, 8, 2.4f), SdSegment(u, v, -8, 8, 8, -8, 2.4f));
    });
    break;
  case 3: {
    const float tri[6] = {-8.5f, -11, 10.5f, 0, -8.5f, 11};
    Icon(f, [&](float u, float v) { return SdPolygon(u, v, tri, 3); });
    break;
  }
  case 6:
    Shade(
        f.pen, Around(15), [](float u, float v) { return SdCircle(u, v, 14.5f); },
        [](float u, float v) {
          const float d = std::sqrt(u * u + v * v) - 11.5f;
          return Grey(1, std::exp(-d * d / 3.5f) * (1 - Smooth(13, 14.5f, d + 11.5f)));
        });
    Fill(
        f.pen, Around(15), [](float u, float v) { return SdRing(u, v, 11.5f, 0.8f); }, Grey(1));
    break;
  default:
    break;
  }
}

// ============================================================================
// [SECTION] Menu panels
// ============================================================================

// 0 a dark glass panel, 1 one with a header band, 2 a light panel, 3 a round panel.
void PaintMenu(const Frame& f) {
  auto panel = [](float u, float v) { return SdBox(u, v, 118, 118, 18); };
  const Color border = Grey(1, 0.85f);
  if (f.index == 3) {
    Fill(
        f.pen, Around(124), [](float u, float v) { return SdCircle(u, v + 0 - 3, 118); }, Grey(0, 0.35f), 4);
    Shade(
        f.pen, Around(122), [](float u, float v) { return SdCircle(u, v, 118); },
        [](float, float v) { return Mix(Rgb(40, 56, 96, 0.9f), Rgb(16, 22, 44, 0.9f), (v + 118) / 236); });
    Fill(
        f.pen, Around(122), [](float u, float v) { return SdRing(u, v, 115, 2); }, border);
    return;
  }
  const Color top = f.index == 2 ? Rgb(236, 240, 248, 0.92f) : Rgb(40, 56, 96, 0.88f);
  const Color bottom = f.index == 2 ? Rgb(190, 200, 220, 0.92f) : Rgb(16, 22, 44, 0.88f);
  Fill(
      f.pen, Around(124), [&](float u, float v) { return panel(u, v - 3); }, Grey(0, 0.35f), 4);
  Shade(f.pen, Around(122), panel, Vertical(top, bottom, -118, 118));
  if (f.index == 1)
    Fill(
        f.pen, Around(122), [&](float u, float v) { return std::max(panel(u, v) + 4, v + 78); },
        Rgb(150, 75, 0, 0.9f));
  Fill(
      f.pen, Around(122), [&](float u, float v) { return std::fabs(panel(u, v) + 3) - 1.5f; },
      f.index == 2 ? Grey(0.35f, 0.8f) : border);
}

} // namespace datagen
