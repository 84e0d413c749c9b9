// tests/tools/data_test.cpp — the data generator's files read as the game reads them; the credits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <stb/stb_image.h>
#include <tuple>

#include "audio/decoders.h"
#include "game/credits.h"
#include "game/globals.h"
#include "game/my_app.h"
#include "graphics/drawing.h"
#include "graphics/image.h"
#include "graphics/surface.h"
#include "host/desktop_game.h"
#include "tests/audio/audio_support.h"
#include "tests/support/subprocess.h"
#include "tools/datagen/sheets.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
const std::string kData = LEXORM_DATA_DIR;
struct Pixels {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
  explicit Pixels(const std::string& file) {
    unsigned char* p = stbi_load(file.c_str(), &width, &height, nullptr, 4);
    EXPECT_NE(p, nullptr) << file << ": " << stbi_failure_reason();
    if (p) rgba.assign(p, p + size_t(width) * height * 4);
    stbi_image_free(p);
  }
  const unsigned char* At(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};
// Ink in a rectangle: pixels, black (shadow) ones, and the x range of the light ones.
struct Ink {
  int pixels = 0, shadow = 0, x0 = 1 << 20, x1 = -1;
};
Ink Measure(const Pixels& p, int x, int y, int w, int h) {
  Ink ink;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i)
      if (const unsigned char* q = p.At(i, j); q[3] != 0) {
        ++ink.pixels, ink.shadow += q[0] == 0;
        if (q[0] > 0) ink.x0 = std::min(ink.x0, i - x), ink.x1 = std::max(ink.x1, i - x);
      }
  return ink;
}
// The game over the build's data folder, on a screen whose size picks its detail level.
class DataHost : public ZuGlfwGame {
public:
  int width = 640, height = 480;
  int GetDeviceWidth() override { return width; }
  int GetDeviceHeight() override { return height; }
  String PathToFilePath(const String& path) override {
    const String prefix("quokka://data/");
    if (!path.StartsWith(prefix)) return path;
    return String((kData + "/").c_str()) + path.Slice(prefix.Length());
  }
};
// Decodes every image the game asks for through the host, as the real device does, but makes no
// texture (there is no window), and notes each file by its surface.
std::string g_layingOut; // the file whose frames are being laid out: a layout error ends the process
class LoadingDevice : public gxtkGraphics {
public:
  std::vector<std::pair<std::string, bool>> asked; // file under the data folder, decoded
  std::map<gxtkSurface*, std::string> fileOf;
  gxtkSurface* LoadSurface(const String& path) override {
    const std::string file = path.ToUtf8().substr(std::string("quokka://data/").size());
    auto* surface = new gxtkSurface;
    const bool decoded = LoadSurface__UNSAFE__(surface, path);
    asked.emplace_back(file, decoded);
    fileOf[surface] = g_layingOut = file;
    return decoded ? surface : nullptr;
  }
};
DataHost* g_host;
LoadingDevice* g_device;
c_MyApp* Game() {
  static c_MyApp* app = [] {
    g_host = new DataHost;
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    zu_graphics_SetGraphicsDevice(g_device = new LoadingDevice);
    // A layout error's debug stop must not wait for input, and must say which file it was.
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();
    std::atexit([] {
      if (!g_layingOut.empty())
        std::fprintf(stderr, "while laying out the frames of %s\n", g_layingOut.c_str());
    });
    return (new c_MyApp)->m_new();
  }();
  return app;
}
// A sheet as the game holds it after loading: its file, decoded size, frame size and frame corners.
struct GameSheet {
  std::string file;
  int width, height, frameWidth = 0, frameHeight = 0;
  std::vector<std::pair<int, int>> frames = {};
};
// Runs the game's own loading (the first images, then every loading step) on a screen of the
// given size; the sheets by the stem the game asked for, without the level's suffix.
std::map<std::string, GameSheet> LoadAtScreen(int width, int height) {
  c_MyApp* app = Game();
  g_host->width = width, g_host->height = height;
  zu_app_ValidateDeviceWindow(false);
  g_device->asked.clear(), g_device->fileOf.clear();
  app->p_Reload();
  for (int step = 0; app->m_LoadStep > 0 && step < 100; ++step) app->p_Loader();
  g_layingOut.clear();
  EXPECT_EQ(app->m_LoadStep, 0) << "the loading steps end";
  std::map<std::string, GameSheet> sheets;
  for (int slot = 0; slot < app->m_Images.Length(); ++slot) {
    c_Image* image = app->m_Images[slot];
    if (!image || !g_device->fileOf.count(image->m_surface)) continue; // empty, or made, not loaded
    GameSheet sheet{g_device->fileOf[image->m_surface], image->m_surface->width, image->m_surface->height};
    sheet.frameWidth = image->m_width, sheet.frameHeight = image->m_height;
    for (c_Frame* f : image->m_frames) sheet.frames.emplace_back(f->m_x, f->m_y);
    const std::string suffix = datagen::LevelSuffix(app->m_HDLevel) + ".png"s;
    EXPECT_TRUE(sheet.file.size() > suffix.size() &&
                sheet.file.substr(sheet.file.size() - suffix.size()) == suffix)
        << sheet.file << " at level " << app->m_HDLevel;
    EXPECT_EQ(int(sheet.frames.size()), app->m_ImageInfo[3 * slot + 2]) << sheet.file << ": frames asked for";
    sheets[sheet.file.substr(0, sheet.file.size() - suffix.size())] = sheet;
  }
  return sheets;
}
// The screen sizes at which the game picks each detail level (2 from 631 pixels, 4 from 1231).
constexpr std::tuple<int, int, int> kScreens[] = {{1, 480, 320}, {2, 640, 480}, {4, 1280, 1024}};

// At every level: every file the game's loading asks for exists and decodes, and every frame it
// lays out lies inside the decoded picture (a frame outside ends the process, named on stderr). The
// generator draws exactly the sheets the game loads, each of the frame size and count the game asks
// for, on a picture of the generator's grid; every frame keeps a clear margin of L pixels and RGB 0
// under alpha 0.
TEST(GeneratedSheets, EverySheetTheGameLoadsIsDrawnOnItsGridAndHoldsItsFramesWithAClearMargin) {
  for (auto [level, width, height] : kScreens) {
    SCOPED_TRACE("level " + std::to_string(level));
    std::map<std::string, GameSheet> sheets = LoadAtScreen(width, height);
    EXPECT_EQ(Game()->m_HDLevel, level) << width << " x " << height;
    ASSERT_FALSE(g_device->asked.empty()) << "the game asked for no image";
    std::set<std::string> decodedFiles;
    for (const auto& [file, decoded] : g_device->asked) {
      EXPECT_TRUE(decoded) << file << " is missing or undecodable";
      if (decoded) decodedFiles.insert(file);
    }
    // A picture too small for its frames is left out of its slot (one line says so).
    EXPECT_EQ(sheets.size(), decodedFiles.size()) << "sheets decoded but not in a slot";
    for (const auto& [stem, sheet] : sheets) {
      SCOPED_TRACE(sheet.file);
      const Pixels p(kData + "/" + sheet.file);
      ASSERT_EQ(p.width, sheet.width);
      ASSERT_EQ(p.height, sheet.height);
      const int fw = sheet.frameWidth, fh = sheet.frameHeight;
      int outside = 0, marginInk = 0, dirty = 0;
      for (auto [fx, fy] : sheet.frames) {
        if (fx < 0 || fy < 0 || fx + fw > sheet.width || fy + fh > sheet.height) {
          ++outside;
          continue;
        }
        for (int y = 0; y < fh; ++y)
          for (int x = 0; x < fw; ++x) {
            const unsigned char* q = p.At(fx + x, fy + y);
            marginInk += q[3] != 0 && (x < level || y < level || x >= fw - level || y >= fh - level);
            dirty += q[3] == 0 && (q[0] | q[1] | q[2]) != 0;
          }
      }
      EXPECT_EQ(outside, 0) << "frames outside the picture";
      EXPECT_EQ(marginInk, 0) << "ink in the margin";
      EXPECT_EQ(dirty, 0) << "colour under alpha 0";
    }
    for (int i = 0; i < datagen::kSheetCount; ++i) {
      const datagen::Sheet& drawn = datagen::kSheets[i];
      SCOPED_TRACE(drawn.stem);
      const auto found = sheets.find(drawn.stem);
      ASSERT_NE(found, sheets.end()) << "the generator draws a sheet the game never loads";
      const GameSheet& sheet = found->second;
      EXPECT_EQ(sheet.frameWidth, drawn.frameWidth * level) << "frame width";
      EXPECT_EQ(sheet.frameHeight, drawn.frameHeight * level) << "frame height";
      EXPECT_EQ(int(sheet.frames.size()), drawn.frames) << "frames";
      EXPECT_EQ(sheet.width, drawn.columns * drawn.frameWidth * level) << "picture width";
      EXPECT_EQ(sheet.height, drawn.rows * drawn.frameHeight * level) << "picture height";
      sheets.erase(found);
    }
    for (const auto& [stem, sheet] : sheets)
      ADD_FAILURE() << "the game loads " << sheet.file << ", not drawn";
  }
}
// Tiles 0-26 and their darker taken look at +32, the hollow ring 29 and the solid dot 30.
TEST(GeneratedSheets, BubblesHoldTheTilesInTwoLooksTheRingAndTheDot) {
  const Pixels p(kData + "/Bubbles-hd.png");
  auto at = [&](int f, int x, int y) { return p.At((f % 8) * 64 + x, (f / 8) * 64 + y); };
  auto face = [&](int f) { // median brightness of the opaque pixels: the face, not the letter
    std::vector<double> v;
    for (int i = 0; i < 64 * 64; ++i)
      if (const unsigned char* q = at(f, i % 64, i / 64); q[3] == 255)
        v.push_back(q[0] * 0.3 + q[1] * 0.59 + q[2] * 0.11);
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v.empty() ? -255.0 : v[v.size() / 2];
  };
  for (int t = 0; t < 27; ++t) {
    EXPECT_EQ(at(t, 32, 32)[3], 255) << "tile " << t << ": opaque at its centre";
    EXPECT_GT(face(t) - face(t + 32), 0.3 * 255) << "tile " << t << ": the taken look is darker";
  }
  EXPECT_EQ(std::tuple(at(29, 32, 32)[3], at(29, 32, 5)[3], at(30, 32, 32)[3]), std::tuple(0, 255, 255));
  for (int f : {27, 28, 31, 59, 60, 61, 62, 63})
    EXPECT_EQ(Measure(p, (f % 8) * 64, (f / 8) * 64, 64, 64).pixels, 0) << f;
}
// Each cell of the game font the game's text renderer draws, with the least step its pen takes
// after it (level-1 pixels): characters 33-126, and "¬" and a letter (button glyphs) in modes 0-2.
TEST(GeneratedFont, InkFillsTheCellsTheGameDrawsAndFitsTheStepsItTakes) {
  c_MyApp* app = Game();
  app->p_LoadFont(90, String("fonts/shadow_editundo"), 7, 10);
  g_layingOut.clear();
  std::map<int, int> steps;
  auto lay = [&](const String& text) {
    app->p_CLS2D();
    app->p_Text(0, 0, text + String("a"));
    EXPECT_EQ(app->m_DrawCount, 2 * kRecordFloats) << text.ToUtf8();
    const float* r = &app->m_DrawQueue[0];
    const int cell = int(r[6]), step = int(r[kRecordFloats + 1] - r[1]);
    steps[cell] = steps.count(cell) ? std::min(steps[cell], step) : step;
  };
  for (char16_t c = 33; c < 127; ++c) lay(String(&c, 1));
  for (int mode : {0, 1, 2})
    for (char16_t letter : std::u16string(u"JKLIUOQEFWSAD"))
      app->m_ControlMode = mode, lay(String(u"\u00ac") + String(&letter, 1));
  auto used = [](int k) { return (k >= 1 && k <= 94) || (k >= 96 && k <= 110) || (k >= 112 && k <= 124); };
  for (int k = 0; k < 128; ++k) EXPECT_EQ(steps.count(k) == 1, used(k)) << "the game draws cell " << k;
  for (int level : datagen::kLevels) {
    const Pixels p(kData + "/fonts/shadow_editundo" + datagen::LevelSuffix(level) + ".png");
    const int cell = 16 * level;
    for (int k = 0; k < 128; ++k) {
      SCOPED_TRACE("level " + std::to_string(level) + " cell " + std::to_string(k));
      const Ink ink = Measure(p, (k % 16) * cell, (k / 16) * cell, cell, cell);
      EXPECT_EQ(ink.pixels > 0, used(k));
      if (!steps.count(k)) continue;
      EXPECT_GT(ink.shadow, 0) << "the black drop shadow";
      EXPECT_LE(ink.x1 - ink.x0 + 1, (steps.at(k) - 1) * level) << "a pixel short of the step";
      EXPECT_TRUE(k >= 96 || std::abs(ink.x0 + ink.x1 + 1 - cell) <= 2) << "centred, within a pixel";
    }
  }
  // The default font: 96 cells of 10 x 16, characters 33-126 inked in columns 1-8 of theirs.
  const Pixels strip(kData + "/pith_font.png");
  ASSERT_EQ(std::pair(strip.width, strip.height), std::pair(960, 16));
  for (int i = 0; i < 96; ++i) {
    const Ink inner = Measure(strip, 10 * i + 1, 0, 8, 16), all = Measure(strip, 10 * i, 0, 10, 16);
    EXPECT_EQ(std::pair(inner.pixels > 0, all.pixels), std::pair(i >= 1 && i <= 94, inner.pixels)) << 32 + i;
  }
}
int Peak(const std::vector<int16_t>& s) {
  return std::abs(
      *std::max_element(s.begin(), s.end(), [](int a, int b) { return std::abs(a) < std::abs(b); }));
}
// The effects by use, with the range of their lengths in seconds: the notes of a taken tile, tones
// loaded but not played, word scored or rejected, new best, the start jingle, the menus' tock and blip.
// clang-format off
const std::tuple<std::vector<int>, double, double> kEffects[] = {
    {{1, 2, 3, 4, 5, 6}, 0.15, 0.8}, {{7, 8, 20, 21, 22, 23, 24, 25, 26, 27, 28}, 0.05, 0.5}, {{10}, 0.3, 1.2},
    {{11}, 0.1, 0.6}, {{95}, 0.3, 1.5}, {{96}, 1.0, 1.5}, {{98, 99}, 0.03, 0.3}};
// clang-format on
TEST(GeneratedSounds, EveryEffectIsADistinctMonoPcmWavWithFadesAndAPeakNearMinus3dB) {
  std::set<std::vector<int16_t>> distinct;
  for (const auto& [ids, shortest, longest] : kEffects)
    for (int id : ids) {
      const std::string name = "/sfx/" + std::string(id < 10 ? "00" : "0") + std::to_string(id) + ".wav";
      SCOPED_TRACE(name);
      const std::string bytes = ReadFile(kData + name);
      // RIFF: the sizes of the whole, of a 16-byte PCM "fmt " chunk and of the samples after it.
      ASSERT_GE(bytes.size(), 44u);
      EXPECT_EQ(
          std::tuple(audiotest::GetU32(bytes, 4), audiotest::GetU32(bytes, 16), audiotest::GetU32(bytes, 40)),
          std::tuple(uint32_t(bytes.size() - 8), 16u, uint32_t(bytes.size() - 44)));
      const audiotest::Decoded d = audiotest::Decode(LoadWAV, bytes);
      ASSERT_TRUE(d.ok) << "LoadWAV refused the file";
      EXPECT_EQ(std::tuple(d.channels, d.format, d.hertz), std::tuple(1, 2, 22050));
      EXPECT_TRUE(d.Seconds() >= shortest && d.Seconds() <= longest) << d.Seconds();
      const std::vector<int16_t> s = audiotest::Int16s(d.pcm);
      EXPECT_TRUE(Peak(s) >= 20675 && Peak(s) <= 26028) << Peak(s); // -4 to -2 dBFS
      EXPECT_LE(std::max(std::abs(s.front()), std::abs(s.back())), 328) << "no click at either end";
      distinct.insert(s);
    }
  EXPECT_EQ(distinct.size(), 23u) << "every effect differs from the others";
}
// Sixteen bars of four beats at 84 beats a minute (45.714 s), looped without a click or a fade.
TEST(GeneratedSounds, TuneIsAnOggLoopOfSixteenBarsAt84BeatsAMinute) {
  const audiotest::Decoded d = audiotest::Decode(LoadOGG, ReadFile(kData + "/sfx/-1.ogg"));
  ASSERT_TRUE(d.ok) << "LoadOGG refused sfx/-1.ogg";
  EXPECT_EQ(std::tuple(d.channels, d.hertz, d.length), std::tuple(1, 22050, 16 * 4 * 22050 * 60 / 84));
  const std::vector<int16_t> s = audiotest::Int16s(d.pcm);
  EXPECT_TRUE(Peak(s) >= 16384 && Peak(s) < 32767) << Peak(s);
  // No click: the second difference across the seam no larger than within 0.1 s either side.
  const size_t n = s.size();
  auto kink = [&](size_t i) { return std::abs(s[(i + 1) % n] - 2 * s[i % n] + s[(i + n - 1) % n]); };
  int around = 0;
  for (size_t i = 1; i <= size_t(d.hertz) / 10; ++i) around = std::max({around, kink(i), kink(n - 1 - i)});
  EXPECT_LE(std::max(kink(0), kink(n - 1)), around);
  auto rms = [&](size_t from) { // over half a second: neither end fades
    double sum = 0;
    for (size_t i = from; i < from + 11025; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / 11025);
  };
  const double head = rms(0), tail = rms(n - 11025);
  EXPECT_TRUE(std::min(head, tail) > 500 && std::max(head, tail) < 4 * std::min(head, tail))
      << head << " " << tail;
}
// A pair as the game reads it: 5-bit letters (A = 1), 1-6 in the first integer, 7-12 in the second;
// "" for a pair that is not a plain word (a value over 26, a letter after a gap, bits 30-31 set).
std::string Unpack(uint32_t first, uint32_t second) {
  std::string word;
  for (size_t k = 0; k < 12; ++k) {
    const uint32_t c = ((k < 6 ? first : second) >> (5 * (k % 6))) & 31;
    if (c > 26 || (c && word.size() < k)) return "";
    if (c) word += char('A' + c - 1);
  }
  return (first | second) >> 30 ? "" : word;
}
TEST(GeneratedWords, ListUnpacksToUniqueWordsOfTwoToTwelveLettersMostCommonFirst) {
  const std::string bytes = ReadFile(kData + "/Lexorm.txt");
  ASSERT_EQ(bytes.size() % 8, 0u);
  std::vector<std::string> words;
  std::set<std::string> unique;
  std::set<size_t> lengths;
  for (size_t i = 0; i < bytes.size(); i += 8) {
    words.push_back(Unpack(audiotest::GetU32(bytes, i), audiotest::GetU32(bytes, i + 4)));
    ASSERT_GE(words.back().size(), 2u) << "pair " << i / 8;
    EXPECT_TRUE(unique.insert(words.back()).second) << words.back() << " appears twice";
    lengths.insert(words.back().size());
  }
  EXPECT_EQ(std::pair(*lengths.begin(), *lengths.rbegin()), std::pair(size_t(2), size_t(12)));
  EXPECT_TRUE(words.size() >= 50000 && words.size() <= 65000) << words.size();
  // Five size levels, each alphabetical: the order starts again at most four times.
  size_t restarts = 0, firstRestart = words.size();
  for (size_t i = 1; i < words.size(); ++i)
    if (words[i] < words[i - 1] && restarts++ == 0) firstRestart = i;
  EXPECT_TRUE(restarts >= 1 && restarts <= 4) << restarts;
  for (const char* w : {"CAT", "WORD", "GAME"})
    EXPECT_NE(std::find(words.begin(), words.begin() + firstRestart, w), words.begin() + firstRestart) << w;
  for (const char* w : {"OX", "QUIZ"}) EXPECT_TRUE(unique.count(w)) << w;
  for (const char* w : {"XQZT", "KG", "XV"}) EXPECT_FALSE(unique.count(w)) << w;
  const std::string licence = ReadFile(kData + "/WORDS-LICENSE.txt");
  for (const char* notice : {"SCOWL", "Kevin Atkinson", "Permission to use, copy, modify"})
    EXPECT_NE(licence.find(notice), std::string::npos) << notice;
}
// The credits scroll on a screen of 32 characters in the game's font: printable ASCII only, no
// backslash (an escape in the game's text).
TEST(Credits, LinesAreShortPrintableAscii) {
  for (const char* line : kCreditLines) {
    EXPECT_LE(std::strlen(line), 32u) << line;
    for (const char* c = line; *c; ++c) EXPECT_TRUE(*c >= 32 && *c < 127 && *c != '\\') << line;
  }
}
TEST(Generator, WritesTheSameFilesOnEveryRunAndReportsFoldersItCannotUse) {
  TempDir tmp("datagen");
  auto datagen = [](std::vector<std::string> a) {
    return RunProcess((a.insert(a.begin(), LEXORM_DATAGEN), a), true, 120).exit_code;
  };
  const fs::path out = tmp.path / "a", data = kData;
  ASSERT_EQ(datagen({out.string()}), 0);
  size_t same = 0; // files equal to the build's, which came from the same generator
  for (const fs::path& f : fs::recursive_directory_iterator(out))
    same += fs::is_regular_file(f) && ReadFile(f) == ReadFile(data / f.lexically_relative(out));
  EXPECT_EQ(same, 12 * 3 + 1 + 23 + 1 + 2u); // sheets, default font, effects, tune, words and licence
  WriteFile(tmp.path / "file", "x");
  EXPECT_NE(datagen({(tmp.path / "file" / "data").string()}), 0);
  EXPECT_NE(datagen({"--preview", (tmp.path / "missing").string(), (tmp.path / "p.png").string()}), 0);
  EXPECT_FALSE(fs::exists(tmp.path / "p.png"));
}

} // namespace
