// tools/datagen/icon.cpp — the desktop icon: one letter tile of the board, drawn at 64 and 256 pixels.
// Depends on: sheets.h (DrawTile, Faces), raster.h, common.h (WritePng).
#include <string>

#include "common.h"
#include "sheets.h"

namespace datagen {

namespace {

// The icon's design grid is one 32-unit cell, like the board's tiles; `size` is a multiple of 32.
Image PaintIcon(int size, Faces& faces) {
  const int level = size / 32;
  Canvas canvas(size, size);
  const Pen pen{&canvas, size * 0.5f, size * 0.5f, static_cast<float>(level)};
  // An "L" worth 1, turned a little as the title's tiles are; with its shadow it stays inside the cell.
  DrawTile(Frame{pen, 0, level, faces}, 0, -0.5f, 12.5f, 'L', 1, false, -4.0f);
  return canvas.ToImage();
}

} // namespace
} // namespace datagen

bool GenerateIcons(const std::string& out) {
  using namespace datagen;
  Faces faces;
  if (!faces.Open()) return false;
  bool ok = true;
  for (int size : {64, 256}) {
    Image image = PaintIcon(size, faces);
    const std::string dim = std::to_string(size);
    ok = WritePng(out + "/" + dim + "x" + dim + "/lexorm.png", image) && ok;
  }
  return ok;
}
