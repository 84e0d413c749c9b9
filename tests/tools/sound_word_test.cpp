// tests/tools/sound_word_test.cpp — the generated effects and tune read with the game's own
// decoders, the packed word list and its licence, and the credit lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "audio/decoders.h"
#include "game/credits.h"
#include "tests/audio/audio_support.h"

namespace {

using audiotest::Decode;
using audiotest::Int16s;
const std::string kData = LEXORM_DATA_DIR;

int Peak(const std::vector<int16_t>& s) {
  int top = 0;
  for (int16_t v : s) top = std::max(top, std::abs(int(v)));
  return top;
}

// [SECTION] Effects and tune

// The effects by use, with the range of their lengths in seconds: the six notes of a taken
// tile, the tones loaded but not played, word scored, word rejected, new best, the start
// jingle, and the tock and blip of the menus.
const struct {
  std::vector<int> ids;
  double minSeconds, maxSeconds;
} kEffects[] = {{{1, 2, 3, 4, 5, 6}, 0.15, 0.8},
                {{7, 8, 20, 21, 22, 23, 24, 25, 26, 27, 28}, 0.05, 0.5},
                {{10}, 0.3, 1.2},
                {{11}, 0.1, 0.6},
                {{95}, 0.3, 1.5},
                {{96}, 1.0, 1.5},
                {{98, 99}, 0.03, 0.3}};

TEST(GeneratedSounds, EveryEffectIsADistinctMonoPcmToneWithFadesAndAPeakNearMinus3dB) {
  std::set<std::vector<int16_t>> distinct;
  for (const auto& group : kEffects)
    for (int id : group.ids) {
      char name[32];
      std::snprintf(name, sizeof name, "/sfx/%03d.wav", id);
      SCOPED_TRACE(name);
      const audiotest::Decoded d = Decode(LoadWAV, ReadFile(kData + name));
      ASSERT_TRUE(d.ok) << "LoadWAV refused the file";
      EXPECT_EQ(std::pair(d.channels, d.format), std::pair(1, 2));
      EXPECT_TRUE(d.hertz == 22050 || d.hertz == 44100) << d.hertz;
      EXPECT_GE(d.Seconds(), group.minSeconds);
      EXPECT_LE(d.Seconds(), group.maxSeconds);
      const std::vector<int16_t> s = Int16s(d.pcm);
      EXPECT_GE(Peak(s), 20675); // -4 dBFS
      EXPECT_LE(Peak(s), 26028); // -2 dBFS
      EXPECT_LE(std::max(std::abs(s.front()), std::abs(s.back())), 328) << "no click at either end";
      distinct.insert(s);
    }
  EXPECT_EQ(distinct.size(), 23u) << "every effect differs from the others";
}

TEST(GeneratedSounds, TuneIsAnOggLoopOfHalfAMinuteToAMinuteWithoutAClick) {
  const audiotest::Decoded d = Decode(LoadOGG, ReadFile(kData + "/sfx/-1.ogg"));
  ASSERT_TRUE(d.ok) << "LoadOGG refused sfx/-1.ogg";
  ASSERT_EQ(d.channels, 1);
  EXPECT_GE(d.Seconds(), 30.0);
  EXPECT_LE(d.Seconds(), 60.0);
  const std::vector<int16_t> s = Int16s(d.pcm);
  EXPECT_GE(Peak(s), 16384);
  EXPECT_LT(Peak(s), 32767);

  // A click is a kink: the second difference across the seam (indices taken round the loop)
  // is no larger than the largest one in the tenth of a second on either side.
  const size_t n = s.size();
  auto kink = [&](size_t i) { return std::abs(s[(i + 1) % n] - 2 * s[i % n] + s[(i + n - 1) % n]); };
  int around = 0;
  for (size_t i = 1; i <= size_t(d.hertz) / 10; ++i) around = std::max({around, kink(i), kink(n - 1 - i)});
  EXPECT_LE(std::max(kink(0), kink(n - 1)), around);
  // Neither end fades: the loop keeps its level across the seam.
  auto rms = [&](size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / count);
  };
  const size_t half = size_t(d.hertz) / 2;
  const double head = rms(0, half), tail = rms(n - half, half);
  EXPECT_GT(std::min(head, tail), 500.0);
  EXPECT_LT(std::max(head, tail) / std::min(head, tail), 4.0);
}

// [SECTION] Word list and licence

// Unpacks a pair as the game reads it: 5-bit letters (A = 1), 1-6 in the first integer and
// 7-12 in the second; "" for a pair that is not a plain word (a value over 26, a letter after
// a gap, bits 30-31 set).
std::string Unpack(uint32_t first, uint32_t second) {
  std::string word;
  for (size_t k = 0; k < 12; ++k) {
    const uint32_t c = ((k < 6 ? first : second) >> (5 * (k % 6))) & 31;
    if (c > 26 || (c && word.size() < k)) return "";
    if (c) word += char('A' + c - 1);
  }
  return (first | second) >> 30 ? "" : word;
}

TEST(GeneratedWords, ListUnpacksToUniqueWordsMostCommonFirst) {
  const std::string bytes = ReadFile(kData + "/Lexorm.txt");
  ASSERT_FALSE(bytes.empty());
  ASSERT_EQ(bytes.size() % 8, 0u);
  std::vector<std::string> words;
  std::set<std::string> unique;
  for (size_t i = 0; i < bytes.size(); i += 8) {
    const uint32_t first = audiotest::GetU32(bytes, i), second = audiotest::GetU32(bytes, i + 4);
    words.push_back(Unpack(first, second));
    ASSERT_GE(words.back().size(), 2u) << "pair " << i / 8 << " (" << first << ", " << second << ")";
    EXPECT_TRUE(unique.insert(words.back()).second) << words.back() << " appears twice";
  }
  EXPECT_EQ(Unpack(20515, 0), "CAT");
  EXPECT_GE(words.size(), 50000u);
  EXPECT_LE(words.size(), 65000u);

  // Five size levels, each alphabetical: the order starts again at most four times.
  size_t restarts = 0, firstRestart = words.size();
  for (size_t i = 1; i < words.size(); ++i)
    if (words[i] < words[i - 1] && restarts++ == 0) firstRestart = i;
  EXPECT_GE(restarts, 1u);
  EXPECT_LE(restarts, 4u);
  for (const char* w : {"CAT", "WORD", "GAME"})
    EXPECT_NE(std::find(words.begin(), words.begin() + firstRestart, w), words.begin() + firstRestart)
        << w << " is not among the most common words";
  EXPECT_TRUE(unique.count("QUIZ"));
  for (const char* w : {"XQZT", "KG", "XV"}) EXPECT_FALSE(unique.count(w)) << w;
}

TEST(GeneratedWords, LicenceCarriesTheScowlNotices) {
  const std::string text = ReadFile(kData + "/WORDS-LICENSE.txt");
  for (const char* notice : {"SCOWL", "Kevin Atkinson", "Permission to use, copy, modify"})
    EXPECT_NE(text.find(notice), std::string::npos) << notice;
}

// [SECTION] Credits

TEST(Credits, FiftyNineShortAsciiLinesWithTheFixedHeadings) {
  // Each line's fixed text (a heading, a separator, "" for an empty line) or "*" for a credit.
  const std::string shape =
      "|A Game by|*|*||-=-=-||Developed using|*|*||-=-=-||Word List|*|*||-=-=-||Graphics||*|*||"
      "*|*|*|*|||-=-=-||Audio||*|*|*|*|*|*|*|*||-=-=-||Thanks to|*|*|*|*|*|*|*|*|*|*||-=-=-|End";
  std::vector<std::string> lines(1);
  for (char c : shape) {
    if (c == '|')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  static_assert(std::size(kCreditLines) == 59);
  for (int i = 0; i < 59; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(kCreditLines[i], nullptr);
    const std::string line = kCreditLines[i];
    EXPECT_LE(line.size(), 32u) << line;
    for (char c : line) EXPECT_TRUE(c >= 32 && c < 127 && c != '\\') << line;
    if (lines[i] == "*")
      EXPECT_FALSE(line.empty());
    else
      EXPECT_EQ(line, lines[i]);
  }
}

} // namespace
