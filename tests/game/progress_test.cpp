// tests/game/progress_test.cpp — saved progress: the save text field by field, loading with
// its block checksums and limits, the score tables, badge texts and strip, corrupted texts.
// Depends on: game (c_MyApp), app, host (a ZuGame keeping the state in memory).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "game/globals.h"
#include "game/my_app.h"
#include "host/game.h"
#include "tests/support/runtime_output.h"

namespace {

class MemoryHost : public ZuGame {
public:
  std::string state;
  int SaveState(const String& s) override {
    state = s.ToUtf8();
    return 0;
  }
  String LoadState() override { return String::FromUtf8(state.data(), static_cast<int>(state.size())); }
};

MemoryHost* host;

// One application per process; every test resets what it uses.
c_MyApp* App() {
  static c_MyApp* app = [] {
    host = new MemoryHost;
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    return (new c_MyApp)->m_new();
  }();
  return app;
}

std::string Wrap(int64_t v) {
  return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(v & 0xffffffff)));
}

// A state in which every saved entry has its own value, within the setting limits; the
// settings checksum wraps.
int KnownSetting(int i) {
  return i == 3 ? 2000000000 : i == 5 ? 2 : i == 14 ? 1 : 64 + 7 * i - (i % 3 || i > 9 ? 0 : 200);
}
bool KnownBadge(int i) { return (i * 7) % 5 == 1 || i == 31 || i == 255; }
int KnownScore(int i) { return i < 110 ? 1000 - 9 * i : 0; }

void SetKnownState(c_MyApp* a) {
  for (int i = 0; i < 25; ++i) a->m_Settings[i] = KnownSetting(i);
  for (int i = 0; i < 256; ++i) a->m_Badges[i] = KnownBadge(i);
  for (int i = 0; i < 150; ++i) a->m_HighScores[i] = KnownScore(i);
  for (int i = 0; i < 150; ++i) {
    a->m_BestWords[i] = i < 100 ? String("W?RD") + String(i) : String();
    a->m_BestWordScores[i] = i < 100 ? 3 * i + 1 : 0;
  }
}

// The save text of SetKnownState, built from the format's rules.
std::string ExpectedText() {
  std::vector<std::string> f;
  int64_t sum = 0;
  for (int i = 0; i < 25; ++i) {
    f.push_back(std::to_string(KnownSetting(i)));
    sum += int64_t{i} * KnownSetting(i);
  }
  f.push_back(Wrap(sum));
  sum = 0;
  for (int b = 0; b < 8; ++b) {
    int64_t word = 0;
    for (int j = 0; j < 32; ++j) {
      if (KnownBadge(32 * b + j)) word |= int64_t{1} << j;
    }
    f.push_back(Wrap(word));
    sum += static_cast<int32_t>(static_cast<uint32_t>(word));
  }
  f.push_back(Wrap(sum));
  auto hs = KnownScore;
  for (int g = 0; g < 8; ++g) {
    sum = 0;
    for (int k = 0; k < 10; ++k) {
      f.push_back(std::to_string(hs(10 * g + k)));
      f.push_back(std::to_string(hs(30 + 10 * g + k)));
      sum += (k + 4) * hs(10 * g + k) + (k + g + 3) * hs(30 + 10 * g + k);
    }
    f.push_back(Wrap(sum));
  }
  for (int i = 0; i < 100; ++i) {
    f.push_back("W?RD" + std::to_string(i));
    f.push_back(std::to_string(3 * i + 1));
  }
  EXPECT_EQ(f.size(), 403u);
  std::string text;
  for (const std::string& x : f) text += x + "|";
  return text;
}

void ClearSaved(c_MyApp* a) {
  for (int i = 0; i < 25; ++i) a->m_Settings[i] = 0;
  a->m_Settings[5] = 1;
  for (int i = 0; i < 256; ++i) a->m_Badges[i] = false;
  for (int i = 0; i < 150; ++i) a->m_HighScores[i] = 0;
  for (int i = 0; i < 150; ++i) a->m_BestWordScores[i] = 0, a->m_BestWords[i] = String();
}

// The text with `what` put in front of field `field` (counted from 0).
std::string InsertAt(std::string text, int field, const std::string& what) {
  size_t at = 0;
  for (int i = 0; i < field; ++i) at = text.find('|', at) + 1;
  return text.insert(at, what);
}

std::string Load(const std::string& text) {
  host->state = text;
  return StdoutOf([] { App()->p_Load(); });
}

TEST(SavedProgress, SaveTextFollowsTheFormatAndLoadsBack) {
  c_MyApp* a = App();
  SetKnownState(a);
  a->p_Save();
  std::string expected = ExpectedText();
  EXPECT_EQ(host->state, expected);

  ClearSaved(a);
  EXPECT_EQ(Load(expected), "Settings Loaded\nBadges Loaded\nHighscores Loaded\n");
  for (int i = 60; i < 150; ++i) EXPECT_EQ(a->m_HighScores[i], 0) << i; // groups 3..7 are not read
  for (int i = 60; i < 110; ++i) a->m_HighScores[i] = KnownScore(i);
  EXPECT_EQ(StdoutOf([a] { a->p_Save(); }), ""); // no echo outside debug mode
  EXPECT_EQ(host->state, expected);              // every other saved entry came back
  zu_Tessel_DebugMode = 1;
  EXPECT_EQ(StdoutOf([a] { a->p_Save(); }), expected + "\n");
  zu_Tessel_DebugMode = 0;
}

TEST(SavedProgress, BadgeWordWithBit31RoundTrips) {
  c_MyApp* a = App();
  ClearSaved(a);
  a->m_Badges[32 + 31] = a->m_Badges[32] = true;
  a->p_Save();
  EXPECT_NE(host->state.find("|0|-2147483647|0|"), std::string::npos) << host->state;
  ClearSaved(a);
  Load(host->state);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(a->m_Badges[i], i == 32 || i == 63) << i;
}

TEST(SavedProgress, BrokenBlocksFallBackToDefaults) {
  c_MyApp* a = App();
  std::string good = ExpectedText();
  std::string bad = InsertAt(good, 1, "1"); // settings entry 1: 71 becomes 171
  ClearSaved(a);
  EXPECT_EQ(Load(bad), "Settings Checksum Invalid\nBadges Loaded\nHighscores Loaded\n");
  for (int i = 0; i < 25; ++i) {
    int def = i == 5 ? 1 : i == 10 || i == 11 ? 64 : i == 12 ? 10 : i == 14 ? 1 : 0;
    EXPECT_EQ(a->m_Settings[i], def) << i;
  }
  EXPECT_EQ(a->m_HighScores[0], 1000); // later blocks are still read

  // A bad badge checksum clears every flag; a bad score group clears only its entries.
  std::string text = InsertAt(good, 34, "9"); // the badge checksum
  ClearSaved(a);
  a->m_Badges[7] = true;
  EXPECT_EQ(Load(text), "Settings Loaded\nBadge Checksum Invalid\nHighscores Loaded\n");
  for (int i = 0; i < 256; ++i) EXPECT_FALSE(a->m_Badges[i]) << i;
  Load(InsertAt(good, 35 + 21, "5")); // the first score of group 1
  EXPECT_EQ(a->m_HighScores[10], 0);
  EXPECT_EQ(a->m_HighScores[40], 0);
  EXPECT_EQ(a->m_HighScores[20], 1000 - 9 * 20);
}

TEST(SavedProgress, MissingFieldsReadAsEmptyAndSoundModeIsBounded) {
  c_MyApp* a = App();
  ClearSaved(a);
  // 25 settings and no checksum field: a missing field reads 0, so all-zero settings pass.
  std::string zeros;
  for (int i = 0; i < 25; ++i) zeros += i ? "|0" : "0";
  EXPECT_EQ(Load(zeros), "Settings Loaded\nHighscores Loaded\n");
  EXPECT_EQ(a->m_Settings[5], 0);
  // A sound mode of 7 with a matching checksum becomes 1; a saturated number reads as the limit.
  std::string t = "0|0|0|0|0|7|0|0|0|0|99|99999999999|9|0|5|0|0|0|0|0|0|0|0|0|0|";
  t += Wrap(35 + 990 + 11LL * 2147483647 + 12 * 9 + 14 * 5) + "|";
  a->m_Settings[5] = 2;
  EXPECT_EQ(Load(t), "Settings Loaded\nHighscores Loaded\n");
  EXPECT_EQ(a->m_Settings[5], 1);
  EXPECT_EQ(a->m_Settings[11], 2147483647);
  EXPECT_EQ(a->m_Settings[14], 1);
  // An empty file: only the score message, and the limits apply to the defaults.
  ClearSaved(a);
  zu_Tessel_overscan = 12;
  EXPECT_EQ(Load(""), "Highscores Loaded\n");
  EXPECT_EQ(a->m_Settings[10], 64);
  EXPECT_EQ(a->m_Settings[11], 64);
  EXPECT_EQ(a->m_Settings[12], 10);
  EXPECT_EQ(a->m_Settings[14], 1);
  EXPECT_EQ(zu_Tessel_overscan, 0);
}

TEST(SavedProgress, WordsWithoutScoreOrUndefinedAreDropped) {
  c_MyApp* a = App();
  SetKnownState(a);
  std::string text = ExpectedText();
  text.replace(text.find("|W?RD0|") + 1, 5, "undefined");
  text.replace(text.find("|W?RD1|") + 1, 5, "Undefined");
  text.resize(text.size() - 5); // "|298|": the last pair has no score field
  Load(text);
  EXPECT_EQ(a->m_BestWords[0].ToUtf8(), "");
  EXPECT_EQ(a->m_BestWordScores[0], 0);
  EXPECT_EQ(a->m_BestWords[1].ToUtf8(), "");
  EXPECT_EQ(a->m_BestWords[2].ToUtf8(), "W?RD2");
  EXPECT_EQ(a->m_BestWordScores[98], 3 * 98 + 1);
  EXPECT_EQ(a->m_BestWordScores[99], 0);
}

TEST(SavedProgress, FinishedGamesEnterTheTables) {
  c_MyApp* a = App();
  ClearSaved(a);
  a->m_GameLength = 2;
  for (int s : {40, 60, 40, 0}) {
    a->m_Score = s;
    a->p_LoadMenu();
  }
  int top[10] = {60, 40, 40}, last[10] = {0, 40, 60, 40};
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(a->m_HighScores[10 + k], top[k]) << k;
    EXPECT_EQ(a->m_HighScores[40 + k], last[k]) << k;
    EXPECT_EQ(
        a->m_HighScores[k] + a->m_HighScores[30 + k] + a->m_HighScores[20 + k] + a->m_HighScores[50 + k], 0);
  }
  EXPECT_EQ(a->m_HSBase, 40);
  EXPECT_NE(host->state.find("|60|0|40|40|40|60|0|40|"), std::string::npos); // saved, group 1
  // A full table drops its tenth entry.
  for (int k = 0; k < 10; ++k) a->m_HighScores[10 + k] = 100 - k;
  a->m_Score = 95;
  a->p_LoadMenu();
  EXPECT_EQ(a->m_HighScores[15], 95);
  EXPECT_EQ(a->m_HighScores[16], 95);
  EXPECT_EQ(a->m_HighScores[19], 92);
}

TEST(SavedProgress, BadgeTextsAndStrip) {
  c_MyApp* a = App();
  EXPECT_EQ(a->p_BadgeName(0).ToUtf8(), "Test Badge");
  EXPECT_EQ(a->p_BadgeDetail(0).ToUtf8(), "This is a Test Badge which has no purpose.");
  EXPECT_EQ(a->p_BadgeID(9).ToUtf8(), "Odd Badge|This badge hasn't been defined!");
  a->m_DrawCount = 0;
  a->m_BadgeIds[1] = 3;
  a->m_BadgeTimers[1] = 1;   // second slot, sliding in
  a->m_BadgeTimers[2] = 240; // expires now
  a->p_ShowBadges();
  EXPECT_EQ(a->m_BadgeTimers[1], 2);
  EXPECT_EQ(a->m_BadgeTimers[2], 0);
  ASSERT_GT(a->m_DrawCount, 2 * kRecordFloats);
  EXPECT_EQ(a->m_DrawQueue[0], KIND_RECT);
  EXPECT_EQ(a->m_DrawQueue[1], 2 * 16 - 160);
  EXPECT_EQ(a->m_DrawQueue[2], zu_Tessel_jscrh - 68);
  EXPECT_FLOAT_EQ(a->m_DrawQueue[7], 0.8f);
  EXPECT_EQ(a->m_DrawQueue[12], 80);
  int last = a->m_DrawCount - kRecordFloats; // the picture: image 80, frame 3
  EXPECT_EQ(a->m_DrawQueue[last], 80);
  EXPECT_EQ(a->m_DrawQueue[last + 1], 2 * 16 - 160 + 144);
  EXPECT_EQ(a->m_DrawQueue[last + 4], 0.5f);
  EXPECT_EQ(a->m_DrawQueue[last + 6], 3);
  a->m_BadgeTimers[1] = 0;
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
    int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits && !t.empty(); ++e) {
      size_t at = rng() % t.size();
      switch (rng() % 4) {
      case 0:
        t.resize(at);
        break;
      case 1:
        t[at] = noise[rng() % noise.size()];
        break;
      case 2:
        t.erase(at, 1 + rng() % 40);
        break;
      default:
        t.insert(at, rng() % 2 ? "|" : "99999999999999999999");
        break;
      }
    }
    host->state = t;
    a->p_Load();
    ASSERT_GE(a->m_Settings[10], 64) << t;
    ASSERT_GE(a->m_Settings[12], 8) << t;
    ASSERT_EQ(a->m_Settings[14], 1) << t;
    ASSERT_TRUE(a->m_Settings[5] >= 0 && a->m_Settings[5] <= 3) << t;
    a->p_Save();
    ASSERT_EQ(std::count(host->state.begin(), host->state.end(), '|'), 403) << t;
  }
  testing::internal::GetCapturedStdout();
}

} // namespace
