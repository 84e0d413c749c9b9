// game/progress.cpp — saved progress (settings, badge flags, high scores, best words), the
// recording of a finished game, badge texts and the badge announcement strip.
// Depends on: my_app.h, globals.h, app (state text), runtime (String, zuPrint), the drawing
// helpers of draw.cpp/text.cpp.
#include <cstdint>

#include "globals.h"
#include "my_app.h"
#include "runtime/errors.h"

namespace {

// Save text layout: field counts of each block.
constexpr int kSettingsCount = 25; // fields 1..25, checksum field 26
constexpr int kBadgeWords = 8;     // fields 27..34, checksum field 35
constexpr int kScoreGroups = 8;    // 21 fields each, fields 36..203
constexpr int kGroupFields = 21;   // ten pairs and the checksum
constexpr int kGroupsRead = 3;     // game lengths 1..3; groups 3..7 are written only
constexpr int kWordPairs = 100;    // fields 204..403
constexpr int kSaveFields =
    kSettingsCount + 1 + kBadgeWords + 1 + kScoreGroups * kGroupFields + 2 * kWordPairs;

// Sums wrap around in 32 bits; computed unsigned so the wrap is defined.
int SettingsChecksum(const Array<int>& s) {
  uint32_t sum = 0;
  for (int i = 0; i < kSettingsCount; ++i) sum += static_cast<uint32_t>(i) * static_cast<uint32_t>(s[i]);
  return static_cast<int>(sum);
}

int BadgeWord(const Array<bool>& badges, int b) {
  uint32_t word = 0;
  for (int j = 0; j < 32; ++j)
    if (badges[32 * b + j]) word |= uint32_t{1} << j;
  return static_cast<int>(word);
}

// (k + 4) × top entry plus (k + g + 3) × last entry, over the ten pairs of group g.
int GroupChecksum(const Array<int>& hs, int g) {
  uint32_t sum = 0;
  for (int k = 0; k < 10; ++k) {
    sum += static_cast<uint32_t>(k + 4) * static_cast<uint32_t>(hs[10 * g + k]);
    sum += static_cast<uint32_t>(k + g + 3) * static_cast<uint32_t>(hs[30 + 10 * g + k]);
  }
  return static_cast<int>(sum);
}

// The fields of a split save text; a field past the last one reads as empty.
struct Fields {
  Array<String> f;
  int Count() const { return f.Length(); }
  bool Has(int i) const { return i >= 0 && i < f.Length(); }
  String Text(int i) const { return Has(i) ? f[i] : String(); }
  int Number(int i) const { return Has(i) ? f[i].ToInt() : 0; } // saturating
};

} // namespace

// ============================================================================
// [SECTION] Saving
// ============================================================================

String c_MyApp::p_SaveText() {
  Array<String> out(kSaveFields + 1); // the last piece stays empty: the text ends with "|"
  int n = 0;
  for (int i = 0; i < kSettingsCount; ++i) out[n++] = String(m_Settings[i]);
  out[n++] = String(SettingsChecksum(m_Settings));
  uint32_t badgeSum = 0;
  for (int b = 0; b < kBadgeWords; ++b) {
    int word = BadgeWord(m_Badges, b);
    badgeSum += static_cast<uint32_t>(word);
    out[n++] = String(word);
  }
  out[n++] = String(static_cast<int>(badgeSum));
  for (int g = 0; g < kScoreGroups; ++g) {
    for (int k = 0; k < 10; ++k) {
      out[n++] = String(m_HighScores[10 * g + k]);
      out[n++] = String(m_HighScores[30 + 10 * g + k]);
    }
    out[n++] = String(GroupChecksum(m_HighScores, g));
  }
  for (int i = 0; i < kWordPairs; ++i) {
    out[n++] = m_BestWords[i];
    out[n++] = String(m_BestWordScores[i]);
  }
  return String("|").Join(out);
}

int c_MyApp::p_Save() {
  String text = p_SaveText();
  if (zu_Tessel_DebugMode == 1) zuPrint(text);
  zu_app_SaveState(text);
  return 0;
}

// ============================================================================
// [SECTION] Loading
// ============================================================================

int c_MyApp::p_Load() {
  String text = zu_app_LoadState();
  if (zu_Tessel_DebugMode == 1) zuPrint(text);
  return p_LoadText(text);
}

int c_MyApp::p_LoadText(String text) {
  Fields f{text.Split(String("|"))};
  int at = 0;

  // Settings and their checksum (field 26).
  if (f.Count() >= kSettingsCount) {
    for (int i = 0; i < kSettingsCount; ++i) m_Settings[i] = f.Number(i);
    if (SettingsChecksum(m_Settings) == f.Number(kSettingsCount)) {
      zuPrint(String("Settings Loaded"));
    } else {
      zuPrint(String("Settings Checksum Invalid"));
      for (int i = 0; i < kSettingsCount; ++i) m_Settings[i] = 0;
      m_Settings[5] = 1;
    }
    at = kSettingsCount + 1;
  }
  // Setting limits.
  if (m_Settings[10] < 64) m_Settings[10] = 64;
  if (m_Settings[11] < 64) m_Settings[11] = 64;
  if (m_Settings[12] < 8) m_Settings[12] = 10;
  if (m_Settings[14] < 1) m_Settings[14] = 64;
  m_Settings[14] = 1;
  if (m_Settings[5] < 0 || m_Settings[5] > 3) m_Settings[5] = 1; // sound mode 0..3
  for (int flip : {15, 16})                                      // stick flips 0 or 1
    if (m_Settings[flip] != 0 && m_Settings[flip] != 1) m_Settings[flip] = 0;
  zu_Tessel_overscan = 0;

  // Badge words and their checksum.
  if (f.Has(at + kBadgeWords)) {
    uint32_t sum = 0;
    for (int b = 0; b < kBadgeWords; ++b) {
      uint32_t word = static_cast<uint32_t>(f.Number(at + b));
      sum += word;
      for (int j = 0; j < 32; ++j) m_Badges[32 * b + j] = ((word >> j) & 1u) != 0;
    }
    if (static_cast<int>(sum) == f.Number(at + kBadgeWords)) {
      zuPrint(String("Badges Loaded"));
    } else {
      zuPrint(String("Badge Checksum Invalid"));
      for (int i = 0; i < 256; ++i) m_Badges[i] = false;
    }
    at += kBadgeWords + 1;
  }

  // High scores of game lengths 1..3; a group that fails its checksum is emptied.
  for (int g = 0; g < kGroupsRead; ++g) {
    if (!f.Has(at + kGroupFields - 1)) continue;
    for (int k = 0; k < 10; ++k) {
      m_HighScores[10 * g + k] = f.Number(at + 2 * k);
      m_HighScores[30 + 10 * g + k] = f.Number(at + 2 * k + 1);
    }
    if (GroupChecksum(m_HighScores, g) != f.Number(at + kGroupFields - 1)) {
      for (int k = 0; k < 10; ++k) {
        m_HighScores[10 * g + k] = 0;
        m_HighScores[30 + 10 * g + k] = 0;
      }
    }
    at += kGroupFields;
  }
  zuPrint(String("Highscores Loaded"));

  // Best and longest words, after the groups that are written but not read.
  at += (kScoreGroups - kGroupsRead) * kGroupFields;
  for (int i = 0; i < kWordPairs; ++i) {
    m_BestWords[i] = String();
    m_BestWordScores[i] = 0;
    int w = at + 2 * i;
    if (!f.Has(w + 1)) continue;
    String word = f.Text(w);
    int score = f.Number(w + 1);
    // No game forms a word longer than the word being formed can hold: a longer one is not the
    // game's, and is dropped like an empty one rather than shown in the score panel.
    if (score < 1 || word.Length() > kMaxFormedLength || word == String("undefined") ||
        word == String("Undefined"))
      continue;
    m_BestWords[i] = word;
    m_BestWordScores[i] = score;
  }
  return 0;
}

// ============================================================================
// [SECTION] Recording a finished game
// ============================================================================

int c_MyApp::p_LoadMenu() {
  int length = m_GameLength;
  if (length >= 1 && length <= 3) {
    int s = m_Score;
    m_HSBase = 10 * (length - 1);
    // Top ten, best first: an equal score goes below the stored one.
    const int place = p_RecordPlace();
    if (place > 0) {
      const int i = place - 1;
      for (int j = 8; j >= i; --j) m_HighScores[m_HSBase + j + 1] = m_HighScores[m_HSBase + j];
      m_HighScores[m_HSBase + i] = s;
    }
    // Last ten, newest first.
    m_HSBase = 30 + 10 * (length - 1);
    for (int j = 8; j >= 0; --j) m_HighScores[m_HSBase + j + 1] = m_HighScores[m_HSBase + j];
    m_HighScores[m_HSBase] = s;
  }
  p_Save();
  return 0;
}

// ============================================================================
// [SECTION] Badges
// ============================================================================

String c_MyApp::p_BadgeID(int id) {
  if (id == 0) return String("Test Badge|This is a Test Badge which has no purpose.");
  return String("Odd Badge|This badge hasn't been defined!");
}

String c_MyApp::p_BadgeName(int id) {
  String t = p_BadgeID(id);
  int bar = t.Find(String("|"));
  return bar < 0 ? t : t.Slice(0, bar);
}

String c_MyApp::p_BadgeDetail(int id) {
  String t = p_BadgeID(id);
  int bar = t.Find(String("|"));
  return bar < 0 ? String() : t.Slice(bar + 1);
}

int c_MyApp::p_ShowBadges() {
  float h = zu_Tessel_jscrh;
  for (int i = 0; i < 13; ++i) {
    if (m_BadgeTimers[i] <= 0) continue;
    if (m_BadgeTimers[i] >= 240) { // its 240 updates are over: the slot is free again
      m_BadgeTimers[i] = 0;
      continue;
    }
    int t = ++m_BadgeTimers[i];
    float x = t > 230 ? (240 - t) * 16.0f - 160 : t * 16.0f - 160;
    if (x > 0) x = 0;
    float y = h - 34.0f * (i + 1);
    int id = m_BadgeIds[i];
    p_SetCol(0, 0, 80, 0.8f);
    p_Rect(x, y, 160, 32);
    p_SetCol(255, 255, 255, 1);
    p_SetSize(1, 1);
    p_Text(x + 16, y + 4, p_BadgeName(id), 0, 0, 0);
    if (id >= 0 && id < 64) {
      p_SetSize(0.5f, 0.5f);
      p_DrawImg(80, x + 144, y + 16, id);
      p_SetSize(1, 1);
    }
  }
  return 0;
}
