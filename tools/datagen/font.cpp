// tools/datagen/font.cpp — FreeType glyph outlines: loading, squeezing and turning, exact
// ink boxes, anti-aliased rendering onto a canvas.
// Depends on: font.h, raster.h, FreeType (libfreetype).
#include "font.h"

#include <cstdio>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H

namespace datagen {

const char* const kSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const kCondensedBold = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";
const char* const kMonoBold = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
const char* const kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

Typeface::~Typeface() {
  if (face_) FT_Done_Face(face_);
  if (library_) FT_Done_FreeType(library_);
}

bool Typeface::Open(const std::string& path) {
  if (!library_ && FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    std::fprintf(stderr, "datagen: cannot start FreeType\n");
    return false;
  }
  if (face_) FT_Done_Face(face_);
  face_ = nullptr;
  if (FT_New_Face(library_, path.c_str(), 0, &face_) != 0) {
    face_ = nullptr;
    std::fprintf(stderr, "datagen: cannot open the font %s (install fonts-dejavu-core and -extra)\n",
                 path.c_str());
    return false;
  }
  size_ = 0;
  return true;
}

bool Typeface::Has(uint32_t code) const { return face_ && FT_Get_Char_Index(face_, code) != 0; }

// Leaves the glyph's outline, squeezed and turned, in the face's slot (26.6 pixels, y up).
bool Typeface::Load(uint32_t code, float size, float sx, float degrees) {
  if (!face_) return false;
  if (size != size_) {
    if (FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(std::lround(size * 64)), 72, 72) != 0)
      return false;
    size_ = size;
  }
  if (FT_Load_Char(face_, code, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
  FT_GlyphSlot slot = face_->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  // Screen clockwise is y-up anticlockwise negated: turn by -degrees in FreeType's frame.
  const double r = -degrees * 3.14159265358979 / 180.0, c = std::cos(r), s = std::sin(r);
  FT_Matrix m;
  m.xx = static_cast<FT_Fixed>(std::lround(c * sx * 65536));
  m.xy = static_cast<FT_Fixed>(std::lround(-s * 65536));
  m.yx = static_cast<FT_Fixed>(std::lround(s * sx * 65536));
  m.yy = static_cast<FT_Fixed>(std::lround(c * 65536));
  FT_Outline_Transform(&slot->outline, &m);
  return true;
}

InkBox Typeface::Ink(uint32_t code, float size, float sx, float degrees) {
  InkBox box;
  if (!Load(code, size, sx, degrees) || face_->glyph->outline.n_points == 0) return box;
  FT_BBox b;
  FT_Outline_Get_BBox(&face_->glyph->outline, &b);
  box.x0 = b.xMin / 64.0f;
  box.x1 = b.xMax / 64.0f;
  box.y0 = -b.yMax / 64.0f;
  box.y1 = -b.yMin / 64.0f;
  return box;
}

float Typeface::Advance(uint32_t code, float size) {
  if (!Load(code, size, 1, 0)) return size * 0.5f;
  return face_->glyph->linearHoriAdvance / 65536.0f;
}

float Typeface::SizeForCaps(float capHeight) {
  const InkBox h = Ink('H', 100);
  return h.Empty() ? capHeight : capHeight * 100 / h.Height();
}

void Typeface::Draw(Canvas& canvas, uint32_t code, float size, float ox, float oy, const Color& color,
                    float sx, float degrees) {
  if (!Load(code, size, sx, degrees)) return;
  FT_GlyphSlot slot = face_->glyph;
  if (slot->outline.n_points == 0) return;
  // The fraction of the origin goes into the outline, the whole pixels into the placement.
  const float fx = std::floor(ox), fy = std::floor(oy);
  FT_Outline_Translate(&slot->outline, static_cast<FT_Pos>(std::lround((ox - fx) * 64)),
                       static_cast<FT_Pos>(-std::lround((oy - fy) * 64)));
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
  const FT_Bitmap& bm = slot->bitmap;
  const int left = static_cast<int>(fx) + slot->bitmap_left, top = static_cast<int>(fy) - slot->bitmap_top;
  const Rect& clip = canvas.Clip();
  for (unsigned row = 0; row < bm.rows; ++row) {
    const int y = top + static_cast<int>(row);
    if (y < clip.y0 || y >= clip.y1) continue;
    const unsigned char* line = bm.buffer + static_cast<long>(row) * bm.pitch;
    for (unsigned col = 0; col < bm.width; ++col) {
      const int x = left + static_cast<int>(col);
      if (x < clip.x0 || x >= clip.x1 || line[col] == 0) continue;
      canvas.Blend(x, y, color, line[col] / 255.0f);
    }
  }
}

void DrawCentred(const Pen& pen, Typeface& face, uint32_t code, float size, float u, float v,
                 const Color& color, float sx, float degrees) {
  const float px = size * pen.s;
  // Centre of the unturned ink, then turned with the glyph, lands on the target.
  const InkBox ink = face.Ink(code, px, sx, 0);
  float cx = (ink.x0 + ink.x1) / 2, cy = (ink.y0 + ink.y1) / 2;
  Turn(cx, cy, degrees);
  face.Draw(*pen.canvas, code, px, pen.cx + u * pen.s - cx, pen.cy + v * pen.s - cy, color, sx, degrees);
}

float TextWidth(Typeface& face, const std::string& text, float size) {
  float w = 0;
  for (unsigned char c : text) w += face.Advance(c, size);
  return w;
}

float DrawText(Canvas& canvas, Typeface& face, const std::string& text, float size, float x, float y,
               const Color& color) {
  float pen = x;
  for (unsigned char c : text) {
    face.Draw(canvas, c, size, pen, y, color);
    pen += face.Advance(c, size);
  }
  return pen - x;
}

} // namespace datagen
