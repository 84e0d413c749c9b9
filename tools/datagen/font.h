// tools/datagen/font.h — glyphs of the DejaVu faces, rendered through FreeType as outlines
// (no hinting, so every size and offset is exact), measured and drawn onto canvases.
// Depends on: raster.h, FreeType (libfreetype), the DejaVu fonts (fonts-dejavu-core/-extra).
#pragma once

#include <cstdint>
#include <string>

#include "raster.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace datagen {

// The faces the art uses.
extern const char* const kSansBold;      // tiles, logo, button letters
extern const char* const kCondensedBold; // the game's bitmap font
extern const char* const kMonoBold;      // the default font strip
extern const char* const kSans;          // symbols the bold faces lack

// An ink box in pixels, y down, relative to the glyph's origin on the baseline.
struct InkBox {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  float Width() const { return x1 - x0; }
  float Height() const { return y1 - y0; }
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

// One font file. Sizes are in pixels per em; `sx` squeezes the glyph horizontally and
// `degrees` then turns it (clockwise on screen) about its origin.
class Typeface {
public:
  Typeface() = default;
  ~Typeface();
  Typeface(const Typeface&) = delete;
  Typeface& operator=(const Typeface&) = delete;

  bool Open(const std::string& path); // prints why not
  bool Has(uint32_t code) const;
  InkBox Ink(uint32_t code, float size, float sx = 1, float degrees = 0);
  float Advance(uint32_t code, float size);
  // Draws the glyph with its origin at canvas pixel (ox, oy), inside the canvas clip.
  void Draw(Canvas& canvas, uint32_t code, float size, float ox, float oy, const Color& color, float sx = 1,
            float degrees = 0);
  // Pixels per em that give capital letters a height of `capHeight` pixels.
  float SizeForCaps(float capHeight);

private:
  bool Load(uint32_t code, float size, float sx, float degrees);
  FT_LibraryRec_* library_ = nullptr;
  FT_FaceRec_* face_ = nullptr;
  float size_ = 0;
};

// Draws a glyph whose ink box is centred on the pen's unit point (u, v); `size` in units.
void DrawCentred(const Pen& pen, Typeface& face, uint32_t code, float size, float u, float v,
                 const Color& color, float sx = 1, float degrees = 0);
// A line of text from its left end at canvas pixel x, baseline y; returns its width.
float DrawText(Canvas& canvas, Typeface& face, const std::string& text, float size, float x, float y,
               const Color& color);
float TextWidth(Typeface& face, const std::string& text, float size);

} // namespace datagen
