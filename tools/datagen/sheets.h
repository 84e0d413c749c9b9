// tools/datagen/sheets.h — the game's image sheets: names, frame grids, detail levels, and
// the painters that draw one frame of each.
// Depends on: raster.h, font.h.
#pragma once

#include <string>

#include "font.h"
#include "raster.h"

namespace datagen {

// The faces every painter may use, opened once.
struct Faces {
  Typeface bold, condensed, mono, sans;
  bool Open();
};

// What a painter gets: the pen centred on the frame's cell (units are level-1 pixels), the
// frame number, the detail level (1, 2 or 4), and the faces. Drawing stays inside the cell
// less a margin of one unit.
struct Frame {
  const Pen& pen;
  int index;
  int level;
  Faces& faces;
};
using Painter = void (*)(const Frame& frame);

struct Sheet {
  const char* stem;            // under the data folder, before the level suffix
  int frameWidth, frameHeight; // level-1 pixels
  int frames, columns, rows;   // frames run left to right, then row by row
  Painter paint;
};

// Detail levels and their file suffixes.
constexpr int kLevels[3] = {1, 2, 4};
const char* LevelSuffix(int level); // "", "-hd", "-hd2"

// Every sheet, in the order of the game's image slots.
extern const Sheet kSheets[];
extern const int kSheetCount;

// The default font strip: 96 cells of 10 x 16, character 32 + i in columns 10i+1..10i+8.
constexpr const char* kDefaultFont = "pith_font.png";
bool PaintDefaultFont(Faces& faces, Image* out);

// Painters (art_board.cpp, art_ui.cpp, art_font.cpp).
void PaintBubbles(const Frame& f);
void PaintBadges(const Frame& f);
void PaintButtons(const Frame& f);
void PaintLogo(const Frame& f);
void PaintCircle(const Frame& f);
void PaintLight(const Frame& f);
void PaintOrb(const Frame& f);
void PaintDpad(const Frame& f);
void PaintParts(const Frame& f);
void PaintIcons(const Frame& f);
void PaintMenu(const Frame& f);
void PaintFont(const Frame& f);

// Shared pieces of art.
// A glossy letter tile of half-size `half` units: light face and dark letter, or the
// "taken" look (dark face, bright thick outline, light letter); value < 0 shows none.
void DrawTile(const Frame& f, float u, float v, float half, char letter, int value, bool taken,
              float degrees = 0);

} // namespace datagen
