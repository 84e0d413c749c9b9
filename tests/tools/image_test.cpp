// tests/tools/image_test.cpp — the generated images: sheet sizes and frame layouts by the
// drawing module's own Init2, transparent frame margins, the board tiles, both fonts, and a
// generator that writes the same bytes every run.
// Depends on: GoogleTest, stb_image (libstb), graphics/image.h (c_Image::p_Init2), the data
// folder the build generates (LEXORM_DATA_DIR) and the generator (LEXORM_DATAGEN).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stb_image.h>

#include "graphics/image.h"
#include "graphics/surface.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = LEXORM_DATA_DIR;
constexpr int kLevels[] = {1, 2, 4};

std::string Suffix(int level) { return level == 4 ? "-hd2" : (level == 2 ? "-hd" : ""); }

struct Pixels {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
  bool Load(const std::string& path) {
    int n = 0;
    unsigned char* p = stbi_load(path.c_str(), &width, &height, &n, 4);
    if (!p) return false;
    rgba.assign(p, p + static_cast<size_t>(width) * height * 4);
    stbi_image_free(p);
    return true;
  }
  const unsigned char* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// The game's loading table: stem, level-1 frame size and count, and the level-1 sheet size.
struct Expected {
  const char* stem;
  int fw, fh, frames, width, height;
};
const Expected kSheets[] = {
    {"Bubbles", 32, 32, 64, 256, 256},
    {"BadgesA", 64, 64, 64, 512, 512},
    {"common/circle", 256, 256, 4, 512, 512},
    {"common/light", 32, 32, 4, 128, 32},
    {"fonts/shadow_editundo", 16, 16, 128, 256, 128},
    {"common/OrboLogo", 256, 256, 1, 256, 256},
    {"common/dpad", 32, 32, 16, 256, 64},
    {"common/Buttons", 64, 64, 16, 256, 256},
    {"parts", 8, 8, 256, 128, 128},
    {"common/icons", 32, 32, 16, 256, 64},
    {"logo", 256, 128, 1, 256, 128},
    {"menu", 256, 256, 4, 512, 512},
};

// The frames as LoadImage2 lays them out over a surface of the sheet's size. A layout that
// does not fit stops the process with "Image frame outside surface".
c_Image* Layout(const Pixels& sheet, int fw, int fh, int frames) {
  static FILE* quiet = std::freopen("/dev/null", "r", stdin); // the error's debug stop must not wait
  (void)quiet;
  auto* surface = new gxtkSurface();
  surface->width = sheet.width;
  surface->height = sheet.height;
  return (new c_Image())->p_Init2(surface, 0, 0, fw, fh, frames, 1, nullptr, 0, 0, sheet.width, sheet.height);
}

// Ink bounds of one cell: x range of any ink, and of light ink (the white glyph, not its shadow).
struct Ink {
  int pixels = 0, shadow = 0, x0 = 1 << 20, x1 = -1, lightX0 = 1 << 20, lightX1 = -1;
};
Ink Measure(const Pixels& p, int x, int y, int w, int h) {
  Ink ink;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) {
      const unsigned char* q = p.At(i, j);
      if (q[3] == 0) continue;
      ++ink.pixels;
      ink.x0 = std::min(ink.x0, i - x);
      ink.x1 = std::max(ink.x1, i - x);
      if (q[0] == 0) ++ink.shadow;
      if (q[0] > 0) ink.lightX0 = std::min(ink.lightX0, i - x), ink.lightX1 = std::max(ink.lightX1, i - x);
    }
  return ink;
}

// ============================================================================
// Sheets
// ============================================================================

TEST(GeneratedSheets, DecodeAtTheirSizeAndFitTheirFrameLayoutAtEveryLevel) {
  for (const Expected& e : kSheets)
    for (int level : kLevels) {
      const std::string file = kData + "/" + e.stem + Suffix(level) + ".png";
      SCOPED_TRACE(file);
      Pixels p;
      ASSERT_TRUE(p.Load(file)) << stbi_failure_reason();
      EXPECT_EQ(p.width, e.width * level);
      EXPECT_EQ(p.height, e.height * level);
      c_Image* image = Layout(p, e.fw * level, e.fh * level, e.frames);
      ASSERT_EQ(image->m_frames.Length(), e.frames);
      EXPECT_EQ(image->m_handleX, e.fw * level * 0.5f);
    }
}

TEST(GeneratedSheets, FramesKeepATransparentMarginAndClearTransparentPixels) {
  for (const Expected& e : kSheets)
    for (int level : kLevels) {
      Pixels p;
      ASSERT_TRUE(p.Load(kData + "/" + e.stem + Suffix(level) + ".png"));
      const int fw = e.fw * level, fh = e.fh * level;
      c_Image* image = Layout(p, fw, fh, e.frames);
      int marginInk = 0, dirty = 0;
      for (c_Frame* f : image->m_frames)
        for (int y = 0; y < fh; ++y)
          for (int x = 0; x < fw; ++x) {
            const unsigned char* q = p.At(f->m_x + x, f->m_y + y);
            const bool margin = x < level || y < level || x >= fw - level || y >= fh - level;
            if (margin && q[3] != 0) ++marginInk;
            if (q[3] == 0 && (q[0] | q[1] | q[2]) != 0) ++dirty;
          }
      EXPECT_EQ(marginInk, 0) << e.stem << Suffix(level) << ": ink within " << level << " px of a frame edge";
      EXPECT_EQ(dirty, 0) << e.stem << Suffix(level) << ": colour under alpha 0";
    }
}

// Tiles 0-26 and their taken look at +32, the ring 29 and the dot 30; the rest empty.
TEST(GeneratedSheets, BubblesHoldTilesInTwoDistinctLooksTheRingAndTheDot) {
  Pixels p;
  ASSERT_TRUE(p.Load(kData + "/Bubbles-hd.png"));
  auto cell = [&](int f, int x, int y) { return p.At((f % 8) * 64 + x, (f / 8) * 64 + y); };
  auto faceBrightness = [&](int f) { // the median over opaque pixels: the face, not the letter
    std::vector<double> v;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (cell(f, x, y)[3] == 255)
          v.push_back((cell(f, x, y)[0] * 0.3 + cell(f, x, y)[1] * 0.59 + cell(f, x, y)[2] * 0.11) / 255);
    if (v.empty()) return -1.0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  for (int t = 0; t < 27; ++t) {
    EXPECT_EQ(cell(t, 32, 32)[3], 255) << "tile " << t;
    EXPECT_GT(faceBrightness(t) - faceBrightness(t + 32), 0.3) << "tile " << t << " and its taken look";
  }
  EXPECT_EQ(cell(29, 32, 32)[3], 0);   // hollow
  EXPECT_EQ(cell(29, 32, 5)[3], 255);  // ring near the edge
  EXPECT_EQ(cell(30, 32, 32)[3], 255); // solid
  for (int f : {27, 28, 31, 59, 60, 61, 62, 63})
    EXPECT_EQ(Measure(p, (f % 8) * 64, (f / 8) * 64, 64, 64).pixels, 0) << "frame " << f;
}

// ============================================================================
// Fonts
// ============================================================================

int Adjustment(int c) {
  const auto in = [c](const char* set) { return c > 0 && std::strchr(set, c) != nullptr; };
  if (in("wm")) return 2;
  if (in("WM")) return 1;
  if (in("ifl")) return -3;
  if (in("jskrztn")) return -1;
  return 0;
}

// Cell k is character 32 + k; 96-110 and 112-124 are button glyphs (advance +4, shoulders +6).
TEST(GeneratedFont, InkFillsTheUsedCellsAndFitsTheAdvances) {
  for (int level : kLevels) {
    Pixels p;
    ASSERT_TRUE(p.Load(kData + "/fonts/shadow_editundo" + Suffix(level) + ".png"));
    const int cell = 16 * level;
    for (int k = 0; k < 128; ++k) {
      SCOPED_TRACE("level " + std::to_string(level) + " cell " + std::to_string(k));
      const Ink ink = Measure(p, (k % 16) * cell, (k / 16) * cell, cell, cell);
      const bool used = (k >= 1 && k <= 94) || (k >= 96 && k <= 110) || (k >= 112 && k <= 124);
      EXPECT_EQ(ink.pixels > 0, used);
      if (!used) continue;
      EXPECT_GT(ink.shadow, 0); // the black drop shadow
      const bool shoulder = k == 100 || k == 101 || k == 110 || k == 116 || k == 117;
      const int advance = k < 96 ? 7 + Adjustment(32 + k) : (shoulder ? 13 : 11);
      const int width = ink.lightX1 - ink.lightX0 + 1;
      EXPECT_LE(width, (advance - 1) * level);
      if (k < 96) {
        EXPECT_LE(std::abs(ink.lightX0 + ink.lightX1 + 1 - cell), 2); // centred, within a pixel
      }
    }
  }
}

TEST(GeneratedFont, DefaultStripHasInkOnlyInsideItsPaddedColumns) {
  Pixels p;
  ASSERT_TRUE(p.Load(kData + "/pith_font.png"));
  ASSERT_EQ(p.width, 960);
  ASSERT_EQ(p.height, 16);
  for (int i = 0; i < 96; ++i) {
    const Ink ink = Measure(p, 10 * i, 0, 10, 16);
    EXPECT_EQ(ink.pixels > 0, i >= 1 && i <= 94) << "character " << 32 + i;
    if (ink.pixels > 0) {
      EXPECT_GE(ink.x0, 1) << "character " << 32 + i;
      EXPECT_LE(ink.x1, 8) << "character " << 32 + i;
    }
  }
}

// ============================================================================
// The generator
// ============================================================================

std::vector<std::string> Files(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int RunDatagen(const std::string& args) {
  return std::system((std::string("'") + LEXORM_DATAGEN + "' " + args).c_str());
}

TEST(Generator, TwoRunsWriteIdenticalFiles) {
  const fs::path root = fs::path(testing::TempDir()) / "lexorm-datagen-twice";
  fs::remove_all(root);
  ASSERT_EQ(RunDatagen("'" + (root / "a").string() + "'"), 0);
  ASSERT_EQ(RunDatagen("'" + (root / "b").string() + "'"), 0);
  const std::vector<std::string> a = Files(root / "a"), b = Files(root / "b");
  EXPECT_EQ(a, b);
  for (const Expected& e : kSheets)
    for (int level : kLevels)
      EXPECT_TRUE(std::binary_search(a.begin(), a.end(), e.stem + Suffix(level) + ".png")) << e.stem << level;
  for (const std::string& f : a) EXPECT_TRUE(Bytes(root / "a" / f) == Bytes(root / "b" / f)) << f;
  fs::remove_all(root);
}

TEST(Generator, ReportsFoldersItCannotUse) {
  const fs::path root = fs::path(testing::TempDir()) / "lexorm-datagen-bad";
  fs::remove_all(root);
  fs::create_directories(root);
  std::ofstream(root / "file") << "x";
  EXPECT_NE(RunDatagen("'" + (root / "file" / "data").string() + "' 2>/dev/null"), 0);
  EXPECT_NE(RunDatagen("--preview '" + (root / "missing").string() + "' '" + (root / "p.png").string() +
                       "' 2>/dev/null"),
            0);
  EXPECT_FALSE(fs::exists(root / "p.png"));
  fs::remove_all(root);
}

} // namespace
