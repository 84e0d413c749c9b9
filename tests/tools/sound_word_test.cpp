// tests/tools/sound_word_test.cpp — the generated effects and tune (read with the game's own
// decoders), the packed word list and its licence, and the credit lines.
// Depends on: GoogleTest, audio (LoadWAV, LoadOGG), game/credits.h, the generated data folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "audio/decoders.h"
#include "game/credits.h"

namespace {

const std::string kData = LEXORM_DATA_DIR;

struct Pcm {
  std::vector<int16_t> samples;
  int channels = 0, format = 0, hertz = 0;
  double Seconds() const { return channels && hertz ? double(samples.size()) / channels / hertz : 0; }
  int Peak() const {
    int top = 0;
    for (int16_t v : samples) top = std::max(top, std::abs(int(v)));
    return top;
  }
};

using Loader = unsigned char* (*)(std::FILE*, int*, int*, int*, int*);

// Decodes a file with one of the game's readers; empty samples when it cannot.
Pcm Decode(const std::string& path, Loader load) {
  Pcm pcm;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return pcm;
  int length = 0;
  unsigned char* data = load(f, &length, &pcm.channels, &pcm.format, &pcm.hertz);
  std::fclose(f);
  if (data && pcm.format == 2) {
    const int16_t* v = reinterpret_cast<const int16_t*>(data);
    pcm.samples.assign(v, v + size_t(length) * pcm.channels);
  }
  std::free(data);
  return pcm;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ============================================================================
// [SECTION] Effects and tune
// ============================================================================

struct Effect {
  int id;
  double minSeconds, maxSeconds;
};
const Effect kEffects[] = {
    {1, 0.15, 0.8},  {2, 0.15, 0.8},  {3, 0.15, 0.8},  {4, 0.15, 0.8},  {5, 0.15, 0.8},  {6, 0.15, 0.8},
    {7, 0.05, 0.5},  {8, 0.05, 0.5},  {10, 0.3, 1.2},  {11, 0.1, 0.6},  {20, 0.05, 0.5}, {21, 0.05, 0.5},
    {22, 0.05, 0.5}, {23, 0.05, 0.5}, {24, 0.05, 0.5}, {25, 0.05, 0.5}, {26, 0.05, 0.5}, {27, 0.05, 0.5},
    {28, 0.05, 0.5}, {95, 0.3, 1.5},  {96, 1.0, 1.5},  {98, 0.03, 0.3}, {99, 0.03, 0.3}};

TEST(GeneratedSounds, EveryEffectIsMonoPcmWithFadesAndAPeakNearMinus3dB) {
  std::vector<Pcm> all;
  for (const Effect& e : kEffects) {
    char name[32];
    std::snprintf(name, sizeof name, "/sfx/%03d.wav", e.id);
    SCOPED_TRACE(name);
    Pcm pcm = Decode(kData + name, LoadWAV);
    ASSERT_FALSE(pcm.samples.empty()) << "LoadWAV refused the file";
    EXPECT_EQ(pcm.channels, 1);
    EXPECT_EQ(pcm.format, 2);
    EXPECT_TRUE(pcm.hertz == 22050 || pcm.hertz == 44100) << pcm.hertz;
    EXPECT_GE(pcm.Seconds(), e.minSeconds);
    EXPECT_LE(pcm.Seconds(), e.maxSeconds);
    EXPECT_GE(pcm.Peak(), 20675); // -4 dBFS
    EXPECT_LE(pcm.Peak(), 26028); // -2 dBFS
    // Faded in and out: no click at either end.
    EXPECT_LE(std::abs(int(pcm.samples.front())), 328);
    EXPECT_LE(std::abs(int(pcm.samples.back())), 328);
    all.push_back(std::move(pcm));
  }
  for (size_t i = 0; i < all.size(); ++i)
    for (size_t j = i + 1; j < all.size(); ++j)
      EXPECT_NE(all[i].samples, all[j].samples) << "effects " << kEffects[i].id << " and " << kEffects[j].id;
}

TEST(GeneratedSounds, TuneIsAnOggLoopOfHalfAMinuteToAMinuteWithoutAClick) {
  Pcm pcm = Decode(kData + "/sfx/-1.ogg", LoadOGG);
  ASSERT_FALSE(pcm.samples.empty()) << "LoadOGG refused sfx/-1.ogg";
  ASSERT_EQ(pcm.channels, 1);
  EXPECT_GE(pcm.Seconds(), 30.0);
  EXPECT_LE(pcm.Seconds(), 60.0);
  EXPECT_GE(pcm.Peak(), 16384);
  EXPECT_LT(pcm.Peak(), 32767);

  // A click is a kink: the second difference across the seam (indices taken round the loop)
  // is no larger than the largest one in the tenth of a second on either side.
  const std::vector<int16_t>& s = pcm.samples;
  const size_t n = s.size();
  auto kink = [&](size_t i) { return std::abs(s[(i + 1) % n] - 2 * s[i % n] + s[(i + n - 1) % n]); };
  int around = 0;
  for (size_t i = 1; i <= size_t(pcm.hertz) / 10; ++i) around = std::max({around, kink(i), kink(n - 1 - i)});
  EXPECT_LE(std::max(kink(0), kink(n - 1)), around);
  // Neither end fades out: the loop keeps its level across the seam.
  auto rms = [&](size_t from, size_t n) {
    double sum = 0;
    for (size_t i = from; i < from + n; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / n);
  };
  const size_t half = size_t(pcm.hertz) / 2;
  const double head = rms(0, half), tail = rms(s.size() - half, half);
  EXPECT_GT(head, 500.0);
  EXPECT_GT(tail, 500.0);
  EXPECT_LT(std::max(head, tail) / std::min(head, tail), 4.0);
}

// ============================================================================
// [SECTION] Word list and licence
// ============================================================================

// The game's unpacking: fields of 5 bits, letters 1-6 in the first integer, 7-12 in the
// second; "" for a pair that is not a plain word (a gap, a value over 26, bits 30-31 set).
std::string Unpack(uint32_t first, uint32_t second) {
  std::string word;
  bool ended = false;
  for (uint32_t v : {first, second}) {
    if (v >> 30) return "";
    for (int k = 0; k < 6; ++k) {
      const uint32_t c = (v >> (5 * k)) & 31;
      if (c == 0)
        ended = true;
      else if (ended || c > 26)
        return "";
      else
        word += char('A' + c - 1);
    }
  }
  return word;
}

TEST(GeneratedWords, ListUnpacksToUniqueCommonFirstWords) {
  const std::string bytes = ReadAll(kData + "/Lexorm.txt");
  ASSERT_FALSE(bytes.empty());
  ASSERT_EQ(bytes.size() % 8, 0u);
  auto at = [&](size_t i) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * i;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  };
  std::vector<std::string> words;
  std::set<std::string> unique;
  for (size_t i = 0; i < bytes.size() / 4; i += 2) {
    std::string w = Unpack(at(i), at(i + 1));
    ASSERT_GE(w.size(), 2u) << "pair " << i / 2 << " (" << at(i) << ", " << at(i + 1) << ")";
    ASSERT_LE(w.size(), 12u);
    EXPECT_TRUE(unique.insert(w).second) << w << " appears twice";
    words.push_back(w);
  }
  EXPECT_EQ(Unpack(20515, 0), "CAT");
  EXPECT_GE(words.size(), 50000u);
  EXPECT_LE(words.size(), 65000u);

  // Five size levels, each alphabetical: at most four places where the order starts again.
  size_t restarts = 0, firstRestart = words.size();
  for (size_t i = 1; i < words.size(); ++i)
    if (words[i] < words[i - 1] && restarts++ == 0) firstRestart = i;
  EXPECT_GE(restarts, 1u);
  EXPECT_LE(restarts, 4u);
  // Everyday words are in the first, most common level.
  for (const char* w : {"CAT", "WORD", "GAME"}) {
    auto it = std::find(words.begin(), words.begin() + firstRestart, w);
    EXPECT_NE(it, words.begin() + firstRestart) << w;
  }
  EXPECT_TRUE(unique.count("QUIZ"));
  for (const char* w : {"XQZT", "KG", "XV"}) EXPECT_FALSE(unique.count(w)) << w;
}

TEST(GeneratedWords, LicenceCarriesTheScowlNotices) {
  const std::string text = ReadAll(kData + "/WORDS-LICENSE.txt");
  EXPECT_NE(text.find("SCOWL"), std::string::npos);
  EXPECT_NE(text.find("Kevin Atkinson"), std::string::npos);
  EXPECT_NE(text.find("Permission to use, copy, modify"), std::string::npos);
}

// ============================================================================
// [SECTION] Credits
// ============================================================================

TEST(Credits, FiftyNineShortAsciiLinesWithTheFixedHeadings) {
  // Each line's fixed text (a heading, a separator, "" for an empty line) or "*" for a credit.
  const char* const kShape[] = {
      "",      "A Game by", "*",  "*",        "",  "-=-=-",     "",      "Developed using",
      "*",     "*",         "",   "-=-=-",    "",  "Word List", "*",     "*",
      "",      "-=-=-",     "",   "Graphics", "",  "*",         "*",     "",
      "*",     "*",         "*",  "*",        "",  "",          "-=-=-", "",
      "Audio", "",          "*",  "*",        "*", "*",         "*",     "*",
      "*",     "*",         "",   "-=-=-",    "",  "Thanks to", "*",     "*",
      "*",     "*",         "*",  "*",        "*", "*",         "*",     "*",
      "",      "-=-=-",     "End"};
  ASSERT_EQ(sizeof kShape / sizeof kShape[0], 59u);
  ASSERT_EQ(sizeof kCreditLines / sizeof kCreditLines[0], 59u);
  for (int i = 0; i < 59; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(kCreditLines[i], nullptr);
    const std::string line = kCreditLines[i];
    EXPECT_LE(line.size(), 32u) << line;
    for (char c : line) EXPECT_TRUE(c >= 32 && c < 127 && c != '\\') << line;
    if (std::strcmp(kShape[i], "*") == 0)
      EXPECT_FALSE(line.empty());
    else
      EXPECT_EQ(line, kShape[i]);
  }
}

} // namespace
