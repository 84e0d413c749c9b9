// tools/datagen/images.cpp — writes every image sheet at the three detail levels and the
// default font strip: lays the frames out on their grid and calls each sheet's painter.
// Depends on: sheets.h, common.h (WritePng), the painters.
#include <cstdio>
#include <string>

#include "common.h"
#include "sheets.h"

namespace datagen {

bool Faces::Open() {
  return bold.Open(kSansBold) && condensed.Open(kCondensedBold) && mono.Open(kMonoBold) && sans.Open(kSans);
}

const char* LevelSuffix(int level) { return level == 4 ? "-hd2" : (level == 2 ? "-hd" : ""); }

const Sheet kSheets[] = {
    {"Bubbles", 32, 32, 64, 8, 8, PaintBubbles},
    {"BadgesA", 64, 64, 64, 8, 8, PaintBadges},
    {"common/circle", 256, 256, 4, 2, 2, PaintCircle},
    {"common/light", 32, 32, 4, 4, 1, PaintLight},
    {"fonts/shadow_editundo", 16, 16, 128, 16, 8, PaintFont},
    {"common/OrboLogo", 256, 256, 1, 1, 1, PaintOrb},
    {"common/dpad", 32, 32, 16, 8, 2, PaintDpad},
    {"common/Buttons", 64, 64, 16, 4, 4, PaintButtons},
    {"parts", 8, 8, 256, 16, 16, PaintParts},
    {"common/icons", 32, 32, 16, 8, 2, PaintIcons},
    {"logo", 256, 128, 1, 1, 1, PaintLogo},
    {"menu", 256, 256, 4, 2, 2, PaintMenu},
};
const int kSheetCount = static_cast<int>(sizeof kSheets / sizeof kSheets[0]);

namespace {

// One sheet at one level: every frame painted into its own cell, clipped one level-1
// pixel (L canvas pixels) inside the cell, so the margin stays transparent.
Image PaintSheet(const Sheet& sheet, int level, Faces& faces) {
  const int fw = sheet.frameWidth * level, fh = sheet.frameHeight * level;
  Canvas canvas(fw * sheet.columns, fh * sheet.rows);
  for (int i = 0; i < sheet.frames; ++i) {
    const int x = (i % sheet.columns) * fw, y = (i / sheet.columns) * fh;
    canvas.SetClip({x + level, y + level, x + fw - level, y + fh - level});
    const Pen pen{&canvas, x + fw * 0.5f, y + fh * 0.5f, static_cast<float>(level)};
    sheet.paint(Frame{pen, i, level, faces});
  }
  return canvas.ToImage();
}

} // namespace
} // namespace datagen

bool GenerateImages(const std::string& out) {
  using namespace datagen;
  Faces faces;
  if (!faces.Open()) return false;
  bool ok = true;
  for (int s = 0; s < kSheetCount; ++s)
    for (int level : kLevels) {
      Image image = PaintSheet(kSheets[s], level, faces);
      ok = WritePng(out + "/" + kSheets[s].stem + LevelSuffix(level) + ".png", image) && ok;
    }
  Image strip;
  ok = PaintDefaultFont(faces, &strip) && WritePng(out + "/" + kDefaultFont, strip) && ok;
  return ok;
}
