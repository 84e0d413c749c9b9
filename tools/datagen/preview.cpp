// tools/datagen/preview.cpp — the contact sheet: every image of the data folder at level 2
// (and the default font strip), each frame on the game's backdrop colour with its number.
// Depends on: sheets.h, font.h, raster.h, common.h, stb_image (libstb).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <stb_image.h>

#include "common.h"
#include "sheets.h"

namespace datagen {
namespace {

constexpr int kLevel = 2, kGap = 4, kLabel = 12, kTitle = 22, kColumnWidth = 1070, kPad = 16;

// One image to show: its file, frame size and grid at level 2, and a magnification for tiny frames.
struct Entry {
  std::string file;
  int fw, fh, frames, columns, zoom;
  int Width() const { return columns * (fw * zoom + kGap); }
  int Height() const {
    const int rows = (frames + columns - 1) / columns;
    return kTitle + rows * (fh * zoom + kGap + kLabel);
  }
};

struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  bool Load(const std::string& path) {
    int n = 0;
    unsigned char* p = stbi_load(path.c_str(), &width, &height, &n, 4);
    if (!p) {
      std::fprintf(stderr, "datagen: cannot read %s: %s\n", path.c_str(), stbi_failure_reason());
      return false;
    }
    rgba.assign(p, p + static_cast<size_t>(width) * height * 4);
    stbi_image_free(p);
    return true;
  }
};

// Draws one entry with its top-left at (x, y).
bool DrawEntry(Canvas& canvas, Faces& faces, const std::string& data, const Entry& e, int x, int y) {
  Decoded img;
  if (!img.Load(data + "/" + e.file)) return false;
  char title[160];
  std::snprintf(title, sizeof title, "%s  %dx%d  %d frame%s of %dx%d", e.file.c_str(), img.width, img.height,
                e.frames, e.frames == 1 ? "" : "s", e.fw, e.fh);
  canvas.SetClip({0, 0, canvas.Width(), canvas.Height()});
  DrawText(canvas, faces.bold, title, 14, static_cast<float>(x), static_cast<float>(y + 15), Grey(0.92f));
  const Color backdrop = Rgb(118, 124, 150), edge = Rgb(96, 100, 124);
  for (int i = 0; i < e.frames; ++i) {
    const int cx = x + (i % e.columns) * (e.fw * e.zoom + kGap);
    const int cy = y + kTitle + (i / e.columns) * (e.fh * e.zoom + kGap + kLabel);
    canvas.SetClip({0, 0, canvas.Width(), canvas.Height()});
    DrawText(canvas, faces.sans, std::to_string(i), 10, static_cast<float>(cx + 1),
             static_cast<float>(cy + 9), Grey(0.75f));
    const int top = cy + kLabel, w = e.fw * e.zoom, h = e.fh * e.zoom;
    const int sx = (i % (img.width / e.fw)) * e.fw, sy = (i / (img.width / e.fw)) * e.fh;
    for (int py = 0; py < h; ++py)
      for (int px = 0; px < w; ++px) {
        const bool border = px == 0 || py == 0 || px == w - 1 || py == h - 1;
        canvas.Blend(cx + px, top + py, border ? edge : backdrop, 1);
        const int ix = sx + px / e.zoom, iy = sy + py / e.zoom;
        if (ix >= img.width || iy >= img.height) continue;
        const uint8_t* p = &img.rgba[(static_cast<size_t>(iy) * img.width + ix) * 4];
        canvas.Blend(cx + px, top + py, Rgb(p[0], p[1], p[2], p[3] / 255.0f), 1);
      }
  }
  return true;
}

} // namespace
} // namespace datagen

bool WritePreview(const std::string& data, const std::string& png) {
  using namespace datagen;
  Faces faces;
  if (!faces.Open()) return false;
  std::vector<Entry> entries;
  for (int s = 0; s < kSheetCount; ++s) {
    const Sheet& sh = kSheets[s];
    const int fw = sh.frameWidth * kLevel, fh = sh.frameHeight * kLevel;
    const int zoom = fw < 32 ? 2 : 1;
    int columns = sh.columns;
    while (columns * (fw * zoom + kGap) > kColumnWidth && columns > 1) --columns;
    entries.push_back(
        {std::string(sh.stem) + LevelSuffix(kLevel) + ".png", fw, fh, sh.frames, columns, zoom});
  }
  entries.push_back({kDefaultFont, 10, 16, 96, 32, 2});
  // Shelf packing into three columns: each entry goes to the shortest column.
  constexpr int kColumns = 3;
  int heights[kColumns] = {kPad, kPad, kPad};
  std::vector<std::pair<int, int>> at;
  for (const Entry& e : entries) {
    const int c = static_cast<int>(std::min_element(heights, heights + kColumns) - heights);
    at.push_back({kPad + c * (kColumnWidth + kPad), heights[c]});
    heights[c] += e.Height() + kPad;
  }
  Canvas canvas(kPad + kColumns * (kColumnWidth + kPad), *std::max_element(heights, heights + kColumns));
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) canvas.Blend(x, y, Rgb(36, 38, 48), 1);
  bool ok = true;
  for (size_t i = 0; i < entries.size(); ++i)
    ok = DrawEntry(canvas, faces, data, entries[i], at[i].first, at[i].second) && ok;
  if (!ok) return false;
  Image image = canvas.ToImage();
  return WritePng(png, image);
}
