// tests/tools/data_test.cpp — the data generator's files read as the game reads them; the credits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <stb/stb_image.h>

#include "audio/decoders.h"
#include "game/credits.h"
#include "game/globals.h"
#include "game/my_app.h"
#include "graphics/image.h"
#include "graphics/surface.h"
#include "tests/audio/audio_support.h"
#include "tests/support/subprocess.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = LEXORM_DATA_DIR;
constexpr int kLevels[] = {1, 2, 4};
std::string Suffix(int level) { return level == 4 ? "-hd2" : (level == 2 ? "-hd" : ""); }
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
// The game's loading table: stem, level-1 frame size and count, and the level-1 sheet size.
// clang-format off
const std::tuple<const char*, int, int, int, int, int> kSheets[] = {
    {"Bubbles", 32, 32, 64, 256, 256}, {"BadgesA", 64, 64, 64, 512, 512}, {"common/circle", 256, 256, 4, 512, 512},
    {"common/light", 32, 32, 4, 128, 32}, {"fonts/shadow_editundo", 16, 16, 128, 256, 128}, {"menu", 256, 256, 4, 512, 512},
    {"common/OrboLogo", 256, 256, 1, 256, 256}, {"common/dpad", 32, 32, 16, 256, 64}, {"parts", 8, 8, 256, 128, 128},
    {"common/Buttons", 64, 64, 16, 256, 256}, {"common/icons", 32, 32, 16, 256, 64}, {"logo", 256, 128, 1, 256, 128}};
// clang-format on
TEST(GeneratedSheets, DecodeAtTheirSizeFitTheirFrameLayoutAndKeepClearMarginsAtEveryLevel) {
  ASSERT_TRUE(std::freopen("/dev/null", "r", stdin)); // a layout error's debug stop must not wait
  for (const auto& [stem, frameWidth, frameHeight, frames, width, height] : kSheets)
    for (int level : kLevels) {
      SCOPED_TRACE(stem + Suffix(level));
      const Pixels p(kData + "/" + stem + Suffix(level) + ".png");
      ASSERT_EQ(std::pair(p.width, p.height), std::pair(width * level, height * level));
      // The frames as the game lays them out ("Image frame outside surface" stops the process).
      const int fw = frameWidth * level, fh = frameHeight * level;
      auto* surface = new gxtkSurface();
      surface->width = p.width, surface->height = p.height;
      c_Image* image =
          (new c_Image())->p_Init2(surface, 0, 0, fw, fh, frames, 1, nullptr, 0, 0, p.width, p.height);
      ASSERT_EQ(image->m_frames.Length(), frames);
      // At least L pixels of transparent margin in every frame, and RGB 0 under alpha 0.
      int marginInk = 0, dirty = 0;
      for (c_Frame* f : image->m_frames)
        for (int y = 0; y < fh; ++y)
          for (int x = 0; x < fw; ++x) {
            const unsigned char* q = p.At(f->m_x + x, f->m_y + y);
            marginInk += q[3] != 0 && (x < level || y < level || x >= fw - level || y >= fh - level);
            dirty += q[3] == 0 && (q[0] | q[1] | q[2]) != 0;
          }
      EXPECT_EQ(std::pair(marginInk, dirty), std::pair(0, 0)) << "margin ink, colour under alpha 0";
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
    EXPECT_TRUE(at(t, 32, 32)[3] == 255 && face(t) - face(t + 32) > 0.3 * 255) << "tile " << t << ", taken";
  }
  EXPECT_EQ(std::tuple(at(29, 32, 32)[3], at(29, 32, 5)[3], at(30, 32, 32)[3]), std::tuple(0, 255, 255));
  for (int f : {27, 28, 31, 59, 60, 61, 62, 63})
    EXPECT_EQ(Measure(p, (f % 8) * 64, (f / 8) * 64, 64, 64).pixels, 0) << f;
}
// Each cell of the game font the game's text renderer draws, with the least step its pen takes
// after it (level-1 pixels): characters 33-126, and "¬" and a letter (button glyphs) in modes 0-2.
TEST(GeneratedFont, InkFillsTheCellsTheGameDrawsAndFitsTheStepsItTakes) {
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
    const int cell = int(r[6]), step = int(r[kRecordFloats + 1] - r[1]);
    steps[cell] = steps.count(cell) ? std::min(steps[cell], step) : step;
  };
  for (char16_t c = 33; c < 127; ++c) lay(String(&c, 1));
  for (int mode : {0, 1, 2})
    for (char16_t letter : std::u16string(u"JKLIUOQEFWSAD"))
      app->m_ControlMode = mode, lay(String(u"\u00ac") + String(&letter, 1));
  auto used = [](int k) { return (k >= 1 && k <= 94) || (k >= 96 && k <= 110) || (k >= 112 && k <= 124); };
  for (int k = 0; k < 128; ++k) EXPECT_EQ(steps.count(k) == 1, used(k)) << "the game draws cell " << k;
  for (int level : kLevels) {
    const Pixels p(kData + "/fonts/shadow_editundo" + Suffix(level) + ".png");
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
  int top = 0;
  for (int16_t v : s) top = std::max(top, std::abs(int(v)));
  return top;
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
  EXPECT_TRUE(unique.count("OX") && unique.count("QUIZ"));
  for (const char* w : {"XQZT", "KG", "XV"}) EXPECT_FALSE(unique.count(w)) << w;
  const std::string licence = ReadFile(kData + "/WORDS-LICENSE.txt");
  for (const char* notice : {"SCOWL", "Kevin Atkinson", "Permission to use, copy, modify"})
    EXPECT_NE(licence.find(notice), std::string::npos) << notice;
}
// Each line's fixed text (a heading, a separator, "" for an empty line) or "*" for a credit.
TEST(Credits, FiftyNineShortAsciiLinesWithTheFixedHeadings) {
  std::istringstream shape(
      "|A Game by|*|*||-=-=-||Developed using|*|*||-=-=-||Word List|*|*||-=-=-||Graphics||*|*||"
      "*|*|*|*|||-=-=-||Audio||*|*|*|*|*|*|*|*||-=-=-||Thanks to|*|*|*|*|*|*|*|*|*|*||-=-=-|End");
  int i = 0;
  for (std::string want; std::getline(shape, want, '|'); ++i) {
    const std::string line = i < 59 ? kCreditLines[i] : "(none)";
    EXPECT_LE(line.size(), 32u) << line;
    for (char c : line) EXPECT_TRUE(c >= 32 && c < 127 && c != '\\') << line;
    EXPECT_TRUE(want == "*" ? !line.empty() : line == want) << i << ": " << line;
  }
  EXPECT_EQ(i, 59);
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
