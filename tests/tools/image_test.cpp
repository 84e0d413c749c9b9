// tests/tools/image_test.cpp — the generated images: every sheet at its size at each detail
// level, laid out by the drawing module's own Init2, with clear frame margins; the board
// tiles; both fonts, the game font measured against the steps the game's own text renderer
// takes; and a generator that writes the same bytes on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include <stb_image.h>

#include "game/globals.h"
#include "game/my_app.h"
#include "graphics/image.h"
#include "graphics/surface.h"
#include "tests/support/subprocess.h"
#include "tests/support/temp_files.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = LEXORM_DATA_DIR;
constexpr int kLevels[] = {1, 2, 4};

std::string Suffix(int level) { return level == 4 ? "-hd2" : (level == 2 ? "-hd" : ""); }

struct Pixels {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
  explicit Pixels(const std::string& file) {
    int n = 0;
    unsigned char* p = stbi_load(file.c_str(), &width, &height, &n, 4);
    EXPECT_NE(p, nullptr) << file << ": " << stbi_failure_reason();
    if (p) rgba.assign(p, p + static_cast<size_t>(width) * height * 4);
    stbi_image_free(p);
  }
  const unsigned char* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Ink in a rectangle: pixels, black (shadow) pixels, the x range of any ink and of light ink
// (a white glyph, not its shadow), relative to the rectangle.
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

// The game's loading table: stem, level-1 frame size and count, and the level-1 sheet size.
const struct {
  const char* stem;
  int fw, fh, frames, width, height;
} kSheets[] = {{"Bubbles", 32, 32, 64, 256, 256},
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
               {"menu", 256, 256, 4, 512, 512}};

TEST(GeneratedSheets, DecodeAtTheirSizeFitTheirFrameLayoutAndKeepClearMarginsAtEveryLevel) {
  static FILE* quiet = std::freopen("/dev/null", "r", stdin); // a layout error's debug stop must not wait
  (void)quiet;
  for (const auto& e : kSheets)
    for (int level : kLevels) {
      SCOPED_TRACE(e.stem + Suffix(level));
      const Pixels p(kData + "/" + e.stem + Suffix(level) + ".png");
      ASSERT_EQ(std::pair(p.width, p.height), std::pair(e.width * level, e.height * level));
      // The frames as LoadImage2 lays them out: a layout that does not fit the sheet stops the
      // process with "Image frame outside surface".
      const int fw = e.fw * level, fh = e.fh * level;
      auto* surface = new gxtkSurface();
      surface->width = p.width;
      surface->height = p.height;
      c_Image* image =
          (new c_Image())->p_Init2(surface, 0, 0, fw, fh, e.frames, 1, nullptr, 0, 0, p.width, p.height);
      ASSERT_EQ(image->m_frames.Length(), e.frames);
      EXPECT_EQ(image->m_handleX, fw * 0.5f);
      // At least L pixels of transparent margin in every frame, and RGB 0 under alpha 0.
      int marginInk = 0, dirty = 0;
      for (c_Frame* f : image->m_frames)
        for (int y = 0; y < fh; ++y)
          for (int x = 0; x < fw; ++x) {
            const unsigned char* q = p.At(f->m_x + x, f->m_y + y);
            marginInk += q[3] != 0 && (x < level || y < level || x >= fw - level || y >= fh - level);
            dirty += q[3] == 0 && (q[0] | q[1] | q[2]) != 0;
          }
      EXPECT_EQ(marginInk, 0) << "ink within " << level << " px of a frame edge";
      EXPECT_EQ(dirty, 0) << "colour under alpha 0";
    }
}

// Tiles 0-26 and their taken look at +32, the ring 29 and the dot 30; the other frames empty.
TEST(GeneratedSheets, BubblesHoldTheTilesInTwoLooksTheRingAndTheDot) {
  const Pixels p(kData + "/Bubbles-hd.png");
  auto at = [&](int f, int x, int y) { return p.At((f % 8) * 64 + x, (f / 8) * 64 + y); };
  auto face = [&](int f) { // median brightness of the opaque pixels: the face, not the letter
    std::vector<double> v;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (const unsigned char* q = at(f, x, y); q[3] == 255)
          v.push_back(q[0] * 0.3 + q[1] * 0.59 + q[2] * 0.11);
    if (v.empty()) return -255.0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  for (int t = 0; t < 27; ++t) {
    EXPECT_EQ(at(t, 32, 32)[3], 255) << "tile " << t;
    EXPECT_GT(face(t) - face(t + 32), 0.3 * 255) << "tile " << t << " and its taken look";
  }
  EXPECT_EQ(at(29, 32, 32)[3], 0) << "the ring is hollow";
  EXPECT_EQ(at(29, 32, 5)[3], 255) << "the ring runs near the edge";
  EXPECT_EQ(at(30, 32, 32)[3], 255) << "the dot is solid";
  for (int f : {27, 28, 31, 59, 60, 61, 62, 63})
    EXPECT_EQ(Measure(p, (f % 8) * 64, (f / 8) * 64, 64, 64).pixels, 0) << f;
}

// The game's text renderer laid over the game font: for every cell it draws, the least step
// the pen takes after it (in level-1 pixels), learnt from the draw queue. Characters 33-126
// are cells 1-94; "¬" and a letter give a button glyph, the keyboard's in control mode 0, the
// pad's in mode 2, the pressed look in mode 1 (at clock 0).
std::map<int, int> StepsOfTheGamesText() {
  static ZuGame host;
  zu_app_InitGlobals();
  zu_Tessel_InitGlobals();
  c_MyApp* app = (new c_MyApp)->m_new();
  app->p_LoadFont(90, String("fonts/shadow_editundo"), 7, 10);
  std::map<int, int> steps;
  auto lay = [&](const String& text) {
    app->p_CLS2D();
    app->p_Text(0, 0, text + String("a"));
    EXPECT_EQ(app->m_DrawCount, 2 * kRecordFloats) << text.ToUtf8();
    const float* r = &app->m_DrawQueue[0];
    const int cell = static_cast<int>(r[6]), step = static_cast<int>(r[kRecordFloats + 1] - r[1]);
    steps[cell] = steps.count(cell) ? std::min(steps[cell], step) : step;
  };
  for (char16_t c = 33; c < 127; ++c) lay(String(&c, 1));
  for (int mode : {0, 1, 2}) {
    app->m_ControlMode = mode;
    for (char16_t letter : u"JKLIUOQEFWSAD")
      if (letter) lay(String(u"\u00ac") + String(&letter, 1));
  }
  return steps;
}

TEST(GeneratedFont, InkFillsTheCellsTheGameDrawsAndFitsTheStepsItTakes) {
  const std::map<int, int> steps = StepsOfTheGamesText();
  auto used = [](int k) { return (k >= 1 && k <= 94) || (k >= 96 && k <= 110) || (k >= 112 && k <= 124); };
  for (int k = 0; k < 128; ++k) EXPECT_EQ(steps.count(k) == 1, used(k)) << "the game draws cell " << k;
  for (int level : kLevels) {
    const Pixels p(kData + "/fonts/shadow_editundo" + Suffix(level) + ".png");
    const int cell = 16 * level;
    for (int k = 0; k < 128; ++k) {
      SCOPED_TRACE("level " + std::to_string(level) + " cell " + std::to_string(k));
      const Ink ink = Measure(p, (k % 16) * cell, (k / 16) * cell, cell, cell);
      EXPECT_EQ(ink.pixels > 0, used(k));
      if (!used(k) || !steps.count(k)) continue;
      EXPECT_GT(ink.shadow, 0) << "the black drop shadow";
      EXPECT_LE(ink.lightX1 - ink.lightX0 + 1, (steps.at(k) - 1) * level) << "a pixel short of the step";
      if (k < 96) {
        EXPECT_LE(std::abs(ink.lightX0 + ink.lightX1 + 1 - cell), 2) << "centred, within a pixel";
      }
    }
  }
}

TEST(GeneratedFont, DefaultStripHasInkOnlyInsideItsPaddedColumns) {
  const Pixels p(kData + "/pith_font.png");
  ASSERT_EQ(std::pair(p.width, p.height), std::pair(960, 16));
  for (int i = 0; i < 96; ++i) {
    const Ink ink = Measure(p, 10 * i, 0, 10, 16);
    EXPECT_EQ(ink.pixels > 0, i >= 1 && i <= 94) << "character " << 32 + i;
    if (ink.pixels > 0) {
      EXPECT_TRUE(ink.x0 >= 1 && ink.x1 <= 8) << "character " << 32 + i;
    }
  }
}

// [SECTION] The generator

std::vector<std::string> Files(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

int Datagen(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {LEXORM_DATAGEN};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, "", true, 120).exit_code;
}

TEST(Generator, TwoRunsWriteIdenticalFiles) {
  TempDir tmp("datagen");
  ASSERT_EQ(Datagen({(tmp.path / "a").string()}), 0);
  ASSERT_EQ(Datagen({(tmp.path / "b").string()}), 0);
  const std::vector<std::string> a = Files(tmp.path / "a");
  EXPECT_EQ(a, Files(tmp.path / "b"));
  for (const auto& e : kSheets)
    EXPECT_TRUE(std::binary_search(a.begin(), a.end(), e.stem + std::string(".png"))) << e.stem;
  for (const std::string& f : a)
    EXPECT_TRUE(ReadFile(tmp.path / "a" / f) == ReadFile(tmp.path / "b" / f)) << f;
}

TEST(Generator, ReportsFoldersItCannotUse) {
  TempDir tmp("datagen");
  WriteFile(tmp.path / "file", "x");
  EXPECT_NE(Datagen({(tmp.path / "file" / "data").string()}), 0);
  EXPECT_NE(Datagen({"--preview", (tmp.path / "missing").string(), (tmp.path / "p.png").string()}), 0);
  EXPECT_FALSE(fs::exists(tmp.path / "p.png"));
}

} // namespace
