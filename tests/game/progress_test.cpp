// tests/game/progress_test.cpp — saved progress: the save text field by field, loading with
// its block checksums and limits, the score tables, badge texts and strip, corrupted texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/game/game_support.h"
#include "tests/support/runtime_output.h"

namespace {

using Ints = std::vector<int>;

c_MyApp* App() {
  c_MyApp* a = Game();
  host->stateInMemory = true;
  return a;
}

std::string Wrap(int64_t v) {
  return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(v & 0xffffffff)));
}

// A state in which every saved entry has its own value, within the setting limits; the
// settings checksum wraps, and badges 31 and 255 set bit 31 of the first and last badge word.
int KnownSetting(int i) {
  return i == 3                          ? 2000000000
         : i == 5                        ? 2
         : i == 14 || i == 15 || i == 16 ? 1
                                         : 64 + 7 * i - (i % 3 || i > 9 ? 0 : 200);
}
bool KnownBadge(int i) { return (i * 7) % 5 == 1 || i == 31 || i == 255; }
int KnownScore(int i) { return i < 110 ? 1000 - 9 * i : 0; }

void SetKnownState(c_MyApp* a) {
  for (int i = 0; i < 25; ++i) a->m_Settings[i] = KnownSetting(i);
  for (int i = 0; i < 256; ++i) a->m_Badges[i] = KnownBadge(i);
  for (int i = 0; i < 150; ++i) {
    a->m_HighScores[i] = KnownScore(i);
    a->m_BestWords[i] = i < 100 ? String("W?RD") + String(i) : String();
    a->m_BestWordScores[i] = i < 100 ? 3 * i + 1 : 0;
  }
}

// The save text of SetKnownState, built from the format's rules: 25 settings and their
// weighted sum, 8 badge words and their sum, 8 score groups of ten (top, last) pairs and a
// weighted sum each, 100 (word, score) pairs; every field ends with "|".
std::string ExpectedText() {
  std::string text;
  auto put = [&text](const std::string& field) { text += field + "|"; };
  int64_t sum = 0;
  for (int i = 0; i < 25; ++i) put(std::to_string(KnownSetting(i))), sum += int64_t{i} * KnownSetting(i);
  put(Wrap(sum));
  sum = 0;
  for (int b = 0; b < 8; ++b) {
    int64_t word = 0;
    for (int j = 0; j < 32; ++j) word |= int64_t{KnownBadge(32 * b + j)} << j;
    put(Wrap(word));
    sum += static_cast<int32_t>(static_cast<uint32_t>(word));
  }
  put(Wrap(sum));
  for (int g = 0; g < 8; ++g) {
    sum = 0;
    for (int k = 0; k < 10; ++k) {
      const int top = KnownScore(10 * g + k), last = KnownScore(30 + 10 * g + k);
      put(std::to_string(top)), put(std::to_string(last));
      sum += (k + 4) * top + (k + g + 3) * last;
    }
    put(Wrap(sum));
  }
  for (int i = 0; i < 100; ++i) put("W?RD" + std::to_string(i)), put(std::to_string(3 * i + 1));
  return text;
}

void ClearSaved(c_MyApp* a) {
  for (int i = 0; i < 25; ++i) a->m_Settings[i] = i == 5 ? 1 : 0;
  for (int i = 0; i < 256; ++i) a->m_Badges[i] = false;
  for (int i = 0; i < 150; ++i) a->m_HighScores[i] = a->m_BestWordScores[i] = 0, a->m_BestWords[i] = String();
}

// The text with `what` put in front of field `field` (counted from 0).
std::string InsertAt(std::string text, int field, const std::string& what) {
  size_t at = 0;
  for (int i = 0; i < field; ++i) at = text.find('|', at) + 1;
  return text.insert(at, what);
}

// Loads `text` as the saved state; what loading prints.
std::string Load(const std::string& text) {
  host->state = text;
  return StdoutOf([] { App()->p_Load(); });
}

const char kAllLoaded[] = "Settings Loaded\nBadges Loaded\nHighscores Loaded\n";

TEST(SavedProgress, SaveTextFollowsTheFormatAndLoadsBack) {
  c_MyApp* a = App();
  SetKnownState(a);
  a->p_Save();
  const std::string expected = ExpectedText();
  EXPECT_EQ(host->state, expected);
  EXPECT_EQ(std::count(host->state.begin(), host->state.end(), '|'), 403);

  ClearSaved(a);
  EXPECT_EQ(Load(expected), kAllLoaded);
  EXPECT_TRUE(a->m_Badges[31] && a->m_Badges[255] && !a->m_Badges[30]); // bit 31 of the first and last word
  for (int i = 60; i < 150; ++i) EXPECT_EQ(a->m_HighScores[i], 0) << i; // groups 3..7 are not read
  for (int i = 60; i < 110; ++i) a->m_HighScores[i] = KnownScore(i);
  EXPECT_EQ(StdoutOf([a] { a->p_Save(); }), ""); // no echo outside debug mode
  EXPECT_EQ(host->state, expected);              // every other saved entry came back
  zu_Tessel_DebugMode = 1;
  EXPECT_EQ(StdoutOf([a] { a->p_Save(); }), expected + "\n");
  zu_Tessel_DebugMode = 0;
}

TEST(SavedProgress, BrokenBlocksFallBackToDefaults) {
  c_MyApp* a = App();
  const std::string good = ExpectedText();
  ClearSaved(a);
  EXPECT_EQ(Load(InsertAt(good, 1, "1")), // settings entry 1: 71 becomes 171
            "Settings Checksum Invalid\nBadges Loaded\nHighscores Loaded\n");
  Ints byDefault(25, 0);
  byDefault[5] = byDefault[14] = 1, byDefault[10] = byDefault[11] = 64, byDefault[12] = 10;
  EXPECT_EQ(Ints(a->m_Settings.begin(), a->m_Settings.end()), byDefault);
  EXPECT_EQ(a->m_HighScores[0], 1000); // later blocks are still read

  // A bad badge checksum clears every flag; a bad score group clears only its own entries.
  a->m_Badges[7] = true;
  EXPECT_EQ(Load(InsertAt(good, 34, "9")), "Settings Loaded\nBadge Checksum Invalid\nHighscores Loaded\n");
  for (int i = 0; i < 256; ++i) EXPECT_FALSE(a->m_Badges[i]) << i;
  Load(InsertAt(good, 35 + 21, "5")); // the first score of group 1
  EXPECT_EQ(At(a->m_HighScores, {10, 40, 20}), (Ints{0, 0, KnownScore(20)}));
}

TEST(SavedProgress, MissingOrUndefinedFieldsReadAsEmptyAndSoundModeIsBounded) {
  c_MyApp* a = App();
  ClearSaved(a);
  // 25 settings and no checksum field: a missing field reads 0, so all-zero settings pass.
  std::string zeros = "0";
  for (int i = 1; i < 25; ++i) zeros += "|0";
  EXPECT_EQ(Load(zeros), "Settings Loaded\nHighscores Loaded\n");
  EXPECT_EQ(a->m_Settings[5], 0);
  // A sound mode of 7 with a matching checksum becomes 1, a stick flip of 2 becomes 0 (one of 1
  // stays); a saturated number reads as the limit.
  std::string t = "0|0|0|0|0|7|0|0|0|0|99|99999999999|9|0|5|2|1|0|0|0|0|0|0|0|0|";
  t += Wrap(5 * 7 + 10 * 99 + 11LL * 2147483647 + 12 * 9 + 14 * 5 + 15 * 2 + 16) + "|";
  EXPECT_EQ(Load(t), "Settings Loaded\nHighscores Loaded\n");
  EXPECT_EQ(At(a->m_Settings, {5, 11, 14, 15, 16}), (Ints{1, 2147483647, 1, 0, 1}));
  // An empty file: only the score message, and the limits apply to the defaults.
  ClearSaved(a);
  zu_Tessel_overscan = 12;
  EXPECT_EQ(Load(""), "Highscores Loaded\n");
  EXPECT_EQ(At(a->m_Settings, {10, 11, 12, 14}), (Ints{64, 64, 10, 1}));
  EXPECT_EQ(zu_Tessel_overscan, 0);

  // Best words named "undefined" or "Undefined", or without their score field, are dropped.
  std::string text = ExpectedText();
  text.replace(text.find("|W?RD0|") + 1, 5, "undefined");
  text.replace(text.find("|W?RD1|") + 1, 5, "Undefined");
  text.resize(text.size() - 5); // "|298|"
  SetKnownState(a);
  Load(text);
  EXPECT_EQ(a->m_BestWords[0].ToUtf8() + a->m_BestWords[1].ToUtf8() + a->m_BestWords[2].ToUtf8(), "W?RD2");
  EXPECT_EQ(At(a->m_BestWordScores, {0, 98, 99}), (Ints{0, 3 * 98 + 1, 0}));
}

TEST(SavedProgress, FinishedGamesEnterTheTables) {
  c_MyApp* a = App();
  ClearSaved(a);
  a->m_GameLength = 2;
  for (int s : {40, 60, 40, 0}) {
    a->m_Score = s;
    a->p_LoadMenu();
  }
  // Group 1 only: the top ten at 10.. best first, the last ten at 40.. newest first, 0 among them.
  Ints expected(60, 0);
  std::copy_n(Ints{60, 40, 40}.begin(), 3, expected.begin() + 10);
  std::copy_n(Ints{0, 40, 60, 40}.begin(), 4, expected.begin() + 40);
  EXPECT_EQ(Ints(a->m_HighScores.begin(), a->m_HighScores.begin() + 60), expected);
  EXPECT_EQ(a->m_HSBase, 40);
  EXPECT_NE(host->state.find("|60|0|40|40|40|60|0|40|"), std::string::npos); // saved
  for (int k = 0; k < 10; ++k) a->m_HighScores[10 + k] = 100 - k;            // a full table drops its tenth
  a->m_Score = 95;
  a->p_LoadMenu();
  EXPECT_EQ(At(a->m_HighScores, {15, 16, 19}), (Ints{95, 95, 92}));
}

TEST(SavedProgress, BadgeTextsAndStrip) {
  c_MyApp* a = App();
  EXPECT_EQ(a->p_BadgeName(0).ToUtf8() + "|" + a->p_BadgeDetail(0).ToUtf8(), a->p_BadgeID(0).ToUtf8());
  EXPECT_EQ(a->p_BadgeDetail(9).ToUtf8(), "This badge hasn't been defined!");
  a->m_DrawCount = 0;
  a->m_BadgeIds[1] = 3;
  a->m_BadgeTimers[1] = 1;   // second slot, sliding in
  a->m_BadgeTimers[2] = 240; // expires now
  a->p_ShowBadges();
  EXPECT_EQ(At(a->m_BadgeTimers, {1, 2}), (Ints{2, 0}));
  ASSERT_GT(Records(), 2);
  const float x = 2 * 16 - 160, y = zu_Tessel_jscrh - 68;
  EXPECT_EQ(Fields(0, {0, 1, 2, 7, 12}), (std::vector<float>{KIND_RECT, x, y, 0.8f, 80}));
  // The picture last: image 80, frame 3, at half size.
  EXPECT_EQ(Fields(Records() - 1, {0, 1, 4, 6}), (std::vector<float>{80, x + 144, 0.5f, 3}));
}

TEST(SavedProgress, CorruptedTextsNeverBreakLoading) {
  c_MyApp* a = App();
  SetKnownState(a);
  const std::string good = ExpectedText();
  const std::string noise = "|||-+0123456789 ?xU\t\xc3\xa9\xff";
  std::mt19937 rng(20240611);
  testing::internal::CaptureStdout();
  for (int n = 0; n < 3000; ++n) {
    std::string t = good;
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits && !t.empty(); ++e) {
      const size_t at = rng() % t.size();
      const unsigned kind = rng() % 4;
      if (kind == 0) t.resize(at);
      if (kind == 1) t[at] = noise[rng() % noise.size()];
      if (kind == 2) t.erase(at, 1 + rng() % 40);
      if (kind == 3) t.insert(at, rng() % 2 ? "|" : "99999999999999999999");
    }
    host->state = t;
    a->p_Load();
    ASSERT_TRUE(a->m_Settings[10] >= 64 && a->m_Settings[12] >= 8 && a->m_Settings[14] == 1) << t;
    ASSERT_TRUE(a->m_Settings[5] >= 0 && a->m_Settings[5] <= 3) << t;
    a->p_Save();
    ASSERT_EQ(std::count(host->state.begin(), host->state.end(), '|'), 403) << t;
  }
  testing::internal::GetCapturedStdout();
}

} // namespace
