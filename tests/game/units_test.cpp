// tests/game/units_test.cpp — the game's parts called directly: controls, words, bag, saves, text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/game/game_support.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

namespace {

using Ints = std::vector<int>;
using Floats = std::vector<float>;
RecordingAudio* audio = nullptr;

class Unit : public ::testing::Test {
protected:
  c_MyApp* app = Game();
  c_InputDevice* in = (new c_InputDevice)->m_new();
  void SetUp() override {
    if (!audio) zu_audio_SetAudioDevice(audio = new RecordingAudio);
    for (int i = 0; i < 33; ++i) app->m_SfxMap[i] = i;
    zu_input_SetInputDevice(in);
    zu_Tessel_iCadeControls = zu_Tessel_DebugMode = 0, zu_Tessel_HasMusicStream = 1;
    for (int i = 0; i < 25; ++i) app->m_Settings[i] = i == 5;
    for (int i = 0; i < 20; ++i) app->m_VButtons[i] = 0;
    host->clock = host->tick = 0, host->stateInMemory = true;
    app->m_ImageInfo[270] = 7, app->m_ImageInfo[271] = 10, app->m_FontImage = 90, app->m_ControlMode = 2;
    app->p_CLS2D(0, 0, 0, 1), audio->Clear(), app->m_Word = String();
  }
  int Key(int control, int pad) { return app->p_PlayKey(control, 1, pad); }
};

// The keys (and those left with the key-pair controller on) and pad buttons of each control.
// clang-format off
const struct { int control; Ints keys, pairedKeys, buttons; } kBindings[] = {
    {0, {38, 87}, {38}, {9}}, {3, {37, 65}, {37}, {8}}, {5, {39, 68}, {39}, {10}}, {8, {40, 83}, {40}, {11}}, // arrows, WASD
    {10, {90, 74, 32, 13}, {32, 13}, {0}}, {11, {88, 75, 17}, {17}, {1}}, {12, {67, 76, 16}, {16}, {2}}, // ZJ Space Enter, XK Ctrl, CL Shift
    {13, {86, 73}, {}, {3}}, {14, {66, 85}, {}, {4}}, {15, {78, 79}, {}, {5}}, // VI, BU, NO
    {99, {27, 192, 46, 8}, {27, 46, 8}, {6, 7, 14}}}; // Escape ` Delete Backspace
// clang-format on

TEST_F(Unit, EachControlAnswersItsOwnKeysButtonsAndVirtualButtons) {
  for (const auto& b : kBindings) {
    for (int paired : {0, 1})
      for (int key : {38, 87, 37, 65, 39, 68, 40, 83, 90, 74, 32, 13,  88, 75,
                      17, 67, 76, 16, 86, 73, 66, 85, 78, 79, 27, 192, 46, 8}) {
        const Ints& mine = paired ? b.pairedKeys : b.keys;
        zu_Tessel_iCadeControls = paired;
        Press(key);
        EXPECT_EQ(app->p_PlayKey(b.control, 0, -1), std::count(mine.begin(), mine.end(), key))
            << b.control << " " << key;
        Release(key);
      }
    zu_Tessel_iCadeControls = 0;
    for (int button = 0; button < 16; ++button) {
      Press(256 + 96 + button);
      const int want = std::count(b.buttons.begin(), b.buttons.end(), button);
      EXPECT_EQ((Ints{Key(b.control, 3), Key(b.control, 2), Key(b.control, -1)}), (Ints{want, 0, 0}))
          << button;
      Release(256 + 96 + button);
    }
    const int v = b.control == 99 ? 16 : b.control; // its virtual button
    app->m_VButtons[v] = 1;
    EXPECT_EQ((Ints{Key(b.control, -1), Key(b.control, 0), Key(b.control, -2)}), (Ints{1, 1, 0}))
        << b.control;
    app->m_VButtons[v] = 0;
  }
  Press(256 + 32 + 7), app->m_VButtons[19] = 1; // pause: back's sources on pads 0..3 only; 16 is no control
  EXPECT_EQ((Ints{Key(98, 1), Key(98, -1), Key(98, 0), Key(99, 2), Key(16, 0)}), (Ints{1, 0, 1, 1, 0}));
  in->m__joyStates[0]->m_joyY[0] = 0.41f, in->m__joyStates[0]->m_joyX[0] = -0.39f; // dead zone 0.4
  EXPECT_EQ((Ints{Key(0, 0), app->p_PlayKey(0, 0, 0), Key(8, 0), Key(3, 0), Key(0, 1)}),
            (Ints{1, 0, 0, 0, 0}));
  app->p_AnalogueControl(); // the analogue state: past a dead zone of 0.2, after the same flip
  EXPECT_EQ((Floats{app->m_AnalogX, app->m_AnalogY}), (Floats{-0.39f, -0.41f}));
  app->m_Settings[15] = 1, in->m__joyStates[0]->m_joyX[0] = 0.41f; // flipped: down; x is never flipped
  EXPECT_EQ((Ints{Key(0, 0), Key(8, 0), Key(5, 0), Key(5, -1)}), (Ints{0, 1, 1, 0}));
  in->m__joyStates[0]->m_joyX[0] = 0.4f; // on the dead zone itself: nothing
  EXPECT_EQ(Key(5, 0), 0);
  Press(1), Press(256 + 64); // the mouse button is touch 0, code 384, not a pad 4's A; pad 2's A counts once
  EXPECT_EQ(Key(10, 4) * 10 + app->p_PlayKeyAll(10, 1), 1);
  app->m_TouchDown[3] = 1, app->m_TouchX[3] = 3, app->m_TouchY[3] = 4; // the round hit test reaches 5
  EXPECT_EQ(app->p_MouseIn_Radius(0, 0, 6, 8) * 10 + app->p_MouseIn_Radius(0, 0, 6, 7.9f), 10);
  app->m_TouchDown[3] = 0;
}

TEST_F(Unit, KeyPairLettersPressAndReleaseTheirButtonsAndEffectsRotateOverTwentyFourChannels) {
  app->p_iCade(1); // each controller button types one letter going down and another coming up
  for (const char* p :
       {"we0", "xz8", "aq3", "dc5", "hr10", "jn11", "kp12", "yt13", "uf14", "im15", "og99", "LV99"}) {
    in->p_KeyEvent(3, p[0]), app->p_iCadeChar(zu_input_GetChar());
    const int down = Key(std::atoi(p + 2), 0);
    in->p_KeyEvent(3, p[1]), app->p_iCadeChar(zu_input_GetChar());
    EXPECT_EQ(down * 10 + Key(std::atoi(p + 2), 0), 10) << p;
  }
  app->p_iCade(0), app->p_LoadSFX(7), app->p_LoadSFX(100), app->p_LoadSFX(-1), app->m_SfxChannel = 0;
  for (int mode : {1, 2, 3, 0})
    for (int i = 0; i < 13; ++i) app->m_Settings[5] = mode, app->p_PlaySFX(7, 1, 1, 0);
  EXPECT_EQ(Ints(audio->channels.begin() + 22, audio->channels.end()), (Ints{23, 0, 1, 2}));
  EXPECT_EQ(audio->loads.size(), 1u); // effects in sound modes 1 and 2 only, slots 0..99 only
  EXPECT_EQ(app->p_SfxFile(10).ToUtf8() + app->p_SfxFile(100).ToUtf8(), "sfx/010.wavsfx/100.wav");
}

// A list file: each word two little-endian integers, letter k of each half in bits 5k..5k+4.
std::string List(const std::vector<std::string>& words, std::string tail = "") {
  std::string out;
  for (const std::string& w : words) {
    uint32_t half[2] = {0, 0};
    for (size_t i = 0; i < w.size(); ++i) half[i / 6] |= static_cast<uint32_t>(w[i] - 64) << (5 * (i % 6));
    for (uint32_t v : half) out += std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  }
  return out + tail;
}
void LoadList(const std::string& bytes, int loads = 100000) { // `loads` loading calls at most
  WriteFile(host->dataDir / "Lexorm.txt", bytes);
  c_MyApp* a = Game();
  a->m_BankState = a->m_BankNext = a->m_BankCount = 0;
  gc_assign(a->m_BankBuffer, static_cast<c_DataBuffer*>(nullptr));
  for (int n = 0; n < loads && (n == 0 || a->m_BankState == 1); ++n) a->p_BankLoad();
}
std::string Check(const std::string& word) { return Game()->p_CheckWord(String(word.c_str())).ToUtf8(); }
int Score(const std::string& word) { return Game()->p_ScoreWord(String(word.c_str())); }

TEST_F(Unit, LookupsScoresAndTheBag) {
  LoadList(
      List({"CATS", "BATH", "OX", "HAT", "BAT", "CAT", "DOG", "AT", "ABCDEFGHIJKL", "MNOPQRSTUVWX", "YZ"}));
  // Word, found, score: the found word's length times the points of the letters given ("[" 0).
  // clang-format off
  const std::tuple<const char*, const char*, int> cases[] = {{"CAT", "CAT", 15}, {"cat", "CAT", 0}, {"A", "", 0},
      {"ABCDEFGHIJKLM", "", 0}, {"ABCDEFGHIJKL", "ABCDEFGHIJKL", 12 * 37}, {"MNOPQRSTUVWX", "MNOPQRSTUVWX", 12 * 37},
      {"YZ", "YZ", 24}, {"[AT", "HAT", 6}, {"C[T", "CAT", 12}, {"[[", "OX", 0}, {"[[Z", "", 0}, {"CA", "", 0}};
  // clang-format on
  for (const auto& [word, found, score] : cases)
    EXPECT_EQ(Check(word) + std::to_string(Score(word)), found + std::to_string(score)) << word;
  EXPECT_EQ(app->p_GetWord(4 | 15 << 5 | 7 << 10, 0).ToUtf8() + std::to_string(app->m_BankCount), "DOG22");
  LoadList(List({"XQ"}) + std::string{1, 0, 1, 0, 0, 0, 0, 0}); // A, two empty codes, B: no word
  EXPECT_EQ(Check("A[") + Check("AB") + Check("[[") + Check("A[[B"), "XQ");
  // Points by the rules (blank 0), each scored as three letters while there is no list ("N/A").
  app->m_BankState = 0;
  std::string points, counts;
  for (char c = 'A'; c <= '['; ++c) points += c + std::to_string(Score(std::string(1, c)) / 3);
  EXPECT_EQ(points, "A1B3C3D2E1F4G2H4I1J7K5L4M3N2O1P3Q8R1S1T1U2V5W4X6Y4Z8[0");
  host->tick = 7919, app->p_NewBag(); // each bag shuffled from a new seed
  Ints n(30, 0);
  for (int i = 0; i < 201; ++i) ++n.at(app->p_GetTile(0));
  for (int c = 1; c <= 27; ++c) counts += char(64 + c) + std::to_string(n[c]);
  EXPECT_EQ(counts, "A18B5C5D8E24F4G6H4I17J2K2L8M4N13O14P4Q2R12S8T12U8V4W4X2Y4Z2[4");
  EXPECT_EQ(n[29], 1); // an empty bag answers 29 in mode 0; mode 1 refills it
  EXPECT_FALSE(std::is_sorted(app->m_Bag.begin(), app->m_Bag.begin() + 200));
  EXPECT_EQ(app->p_GetTile(1) > 0 && app->m_BagPos == 1 && app->m_BagSize == 199, true);
  for (int x = 0; x < 20; ++x) app->m_Grid[10 * x] = 1, app->m_Grid[10 * x + 8] = 0, app->p_AddLetter(x, 0);
  app->p_AddLetter(-5, -100000000); // a word holds 19 tiles; a cell outside the grid is none
  EXPECT_EQ((Floats{float(app->m_Word.Length()), app->m_Player[119], app->m_Grid[188], app->m_Grid[198]}),
            (Floats{19, 18, 1, 0}));
}

TEST_F(Unit, ListsLoadInSlicesAndDamagedListsAreSaidOnce) {
  const std::string file = (host->dataDir / "Lexorm.txt").string();
  LoadList("", 0), std::remove(file.c_str());
  EXPECT_EQ(StdoutOf([this] { app->p_BankLoad(), app->p_BankLoad(); }) + Check("CAT"),
            "Word list not found: " + file + "\nN/A");
  LoadList(List(std::vector<std::string>(5000, "ZZ")) + List({"CAT"}), 2); // 10,002 integers, 4096 a call
  EXPECT_EQ(Check("CAT") + "|" + app->p_GetWord(1, 0).ToUtf8(), "Loading 4096|Loading 4096");
  app->p_BankLoad(), app->p_BankLoad();
  EXPECT_EQ((Ints{app->m_BankState, app->m_BankCount, app->m_BankBuffer == nullptr}), (Ints{2, 10002, 1}));
  EXPECT_EQ(Check("CAT"), "CAT");
  std::string out = StdoutOf([] { LoadList(List({"CAT"}, "AB")), LoadList(List({"DOG"}, "AB")); });
  EXPECT_EQ(out, "Word list not loaded (cut short: whole words only): " + file + "\n");
  EXPECT_EQ(Check("DOG") + std::to_string(app->m_BankCount), "DOG2");
  out = StdoutOf([] {
    LoadList(List({"CAT", "DOG"}, "\xff\xff\xff\xff")), LoadList(std::string{27, 0, 0, 0, 0, 0, 0, 0});
  });
  EXPECT_EQ(out, "Word list not loaded (not a word list): " + file + "\n");
  EXPECT_EQ(Check("CAT") + std::to_string(app->m_BankState), "N/A0");
}

std::string Wrap(int64_t v) { return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(v))); }
// Every entry its own value; the settings sum wraps; badges 31 and 255 set bit 31 of their words.
int KnownSetting(int i) { return i == 3 ? 2000000000 : i == 5 ? 2 : i >= 14 && i <= 16 ? 1 : 64 + 7 * i; }
bool KnownBadge(int i) { return (i * 7) % 5 == 1 || i == 31 || i == 255; }
int KnownScore(int i) { return i < 110 ? 1000 - 9 * i : 0; }
// The format: 25 settings, their sum weighted by index; 8 badge words (bit j of word b is badge
// 32 b + j), their sum; 8 groups of ten (top, last) pairs, each followed by the sum of (k + 4) top
// + (k + g + 3) last; 100 (word, score) pairs. Every field ends with "|". Setting `s` reads `value`.
std::string ExpectedText(int s = 0, int value = KnownSetting(0)) {
  std::string text;
  auto put = [&text](int64_t field) { text += Wrap(field) + "|"; };
  int64_t sum = 0;
  for (int i = 0; i < 25; ++i)
    put(i == s ? value : KnownSetting(i)), sum += int64_t{i} * (i == s ? value : KnownSetting(i));
  put(sum), sum = 0;
  for (int b = 0; b < 8; ++b) {
    int64_t word = 0;
    for (int j = 0; j < 32; ++j) word |= int64_t{KnownBadge(32 * b + j)} << j;
    put(word), sum += static_cast<int32_t>(word);
  }
  put(sum), sum = 0;
  for (int g = 0; g < 8; ++g, sum = 0) {
    for (int k = 0; k < 10; ++k) {
      const int top = KnownScore(10 * g + k), last = KnownScore(30 + 10 * g + k);
      put(top), put(last), sum += (k + 4) * top + (k + g + 3) * last;
    }
    put(sum);
  }
  for (int i = 0; i < 100; ++i) text += "W?RD" + std::to_string(i) + "|", put(3 * i + 1);
  return text;
}
std::string Load(const std::string& text) {
  host->state = text;
  return StdoutOf([] { Game()->p_Load(); });
}
const char kAllLoaded[] = "Settings Loaded\nBadges Loaded\nHighscores Loaded\n";

TEST_F(Unit, SaveTextFollowsTheFormatAndABlockFailingItsSumFallsBackAlone) {
  for (int i = 0; i < 150; ++i) app->m_HighScores[i] = -1;
  EXPECT_EQ(Load(ExpectedText()), kAllLoaded);
  EXPECT_EQ(At(app->m_HighScores, {59, 60, 109}),
            (Ints{KnownScore(59), -1, -1})); // groups 3..7: written only
  for (int i = 60; i < 150; ++i) app->m_HighScores[i] = KnownScore(i);
  EXPECT_EQ(StdoutOf([this] { app->p_Save(); }), ""); // no echo outside debug mode
  EXPECT_EQ(host->state, ExpectedText());
  zu_Tessel_DebugMode = 1;
  EXPECT_EQ(StdoutOf([this] { app->p_Save(), zu_Tessel_DebugMode = 0; }), ExpectedText() + "\n");
  // A block failing its sum falls back alone: settings to defaults, badges off, one score group
  // emptied. Field (from 0) given a leading 5, and what loading says.
  // clang-format off
  const char kBadSettings[] = "Settings Checksum Invalid\nBadges Loaded\nHighscores Loaded\n";
  const char kBadBadges[] = "Settings Loaded\nBadge Checksum Invalid\nHighscores Loaded\n";
  const std::pair<int, const char*> cases[] = {{1, kBadSettings}, {25, kBadSettings}, {26, kBadBadges},
      {34, kBadBadges}, {35, kAllLoaded}, {35 + 21, kAllLoaded}, {35 + 62, kAllLoaded}}; // clang-format on
  for (const auto& [field, said] : cases) {
    std::string text = ExpectedText();
    size_t at = 0;
    for (int i = 0; i < field; ++i) at = text.find('|', at) + 1;
    Load(ExpectedText());
    EXPECT_EQ(Load(text.insert(at, "5")), said) << field;
    EXPECT_EQ(At(app->m_Settings, {5, 10, 12, 13, 14}),
              field < 26 ? (Ints{1, 64, 10, 0, 1}) : (Ints{2, 134, 148, 155, 1}));
    EXPECT_EQ(At(app->m_Badges, {3, 31, 255}), std::vector<bool>(3, field < 26 || field > 34)) << field;
    for (int g = 0; g < 3; ++g)
      EXPECT_EQ(At(app->m_HighScores, {10 * g, 39 + 10 * g}),
                field >= 35 && (field - 35) / 21 == g ? (Ints{0, 0})
                                                      : (Ints{KnownScore(10 * g), KnownScore(39 + 10 * g)}))
          << field;
  }
}

TEST_F(Unit, LoadingKeepsSettingsInRangeAndFinishedGamesEnterTheirTables) {
  // Entry, value saved with a matching sum, value loaded: each limit on both sides.
  // clang-format off
  const int cases[][3] = {{10, 63, 64}, {10, 64, 64}, {11, 63, 64}, {12, 7, 10}, {12, 8, 8}, {14, 0, 1}, {14, 5, 1},
      {5, -1, 1}, {5, 0, 0}, {5, 3, 3}, {5, 4, 1}, {15, 2, 0}, {15, 1, 1}, {15, -1, 0}, {16, 2, 0}, {16, 0, 0},
      {11, 2147483647, 2147483647}};
  // clang-format on
  for (const auto& c : cases) {
    zu_Tessel_overscan = 12;
    EXPECT_EQ(Load(ExpectedText(c[0], c[1])), kAllLoaded) << c[0] << " " << c[1];
    EXPECT_EQ(app->m_Settings[c[0]] * 100LL + zu_Tessel_overscan, c[2] * 100LL) << c[0] << " " << c[1];
  }
  std::string zeros = "0"; // 25 zero settings and no sum field: a missing field reads 0
  for (int i = 1; i < 25; ++i) zeros += "|0";
  EXPECT_EQ(Load(zeros), "Settings Loaded\nHighscores Loaded\n");
  for (int i = 0; i < 150; ++i) app->m_HighScores[i] = 0;
  app->m_GameLength = 2;
  for (int s : {40, 60, 40, 0}) app->m_Score = s, app->p_LoadMenu();
  // Top ten of length 2 at 10.., best first, a tie below; the last ten at 40.., newest first.
  EXPECT_EQ(At(app->m_HighScores, {0, 9, 10, 11, 12, 13, 20, 30, 39, 40, 41, 42, 43, 44, 50}),
            (Ints{0, 0, 60, 40, 40, 0, 0, 0, 0, 0, 40, 60, 40, 0, 0}));
  EXPECT_NE(host->state.find("|60|0|40|40|40|60|0|40|"), std::string::npos); // saved
  for (int k = 0; k < 10; ++k) app->m_HighScores[10 + k] = app->m_HighScores[40 + k] = 100 - k;
  app->m_Score = 95, app->p_LoadMenu(); // a full table drops its tenth
  EXPECT_EQ(At(app->m_HighScores, {14, 15, 16, 19, 20, 40, 41, 49, 50}),
            (Ints{96, 95, 95, 92, 0, 95, 100, 92, 0}));
  app->m_Score = 91, app->p_LoadMenu(); // below the tenth: the top ten stays
  EXPECT_EQ(At(app->m_HighScores, {19, 40}), (Ints{92, 91}));
  for (int length : {0, 4}) app->m_GameLength = length, app->p_LoadMenu(); // no table
  EXPECT_EQ(At(app->m_HighScores, {0, 20, 30, 50}), (Ints{0, 0, 0, 0}));
}

TEST_F(Unit, TextPlacesGlyphsByAdvanceSpacingAlignmentAndLineBreaks) {
  // Text, alignment x and y, size, glyph xs, ys (advance 7, s k 6, m w 9, i 4, W 8; a leading space)
  // clang-format off
  const std::tuple<const char*, float, float, float, Floats, Floats> cases[] = {{"ab", 0, 0, 1, {107, 114}, {55, 55}},
      {"ab", 1, 1, 1, {100, 107}, {50, 50}}, {"ab", 2, 2, 1, {93, 100}, {45, 45}}, {"", 0, 0, 1, {}, {}},
      {"skmwiaW", 0, 0, 1, {107, 113, 119, 128, 137, 141, 148}, Floats(7, 55)},
      {"ab\\nc", 1, 0, 1, {90, 97, 90}, {55, 55, 65}}, {"ab", 1, 0, 1.5f, {100.5f, 111}, {57.5f, 57.5f}}};
  // clang-format on
  for (const auto& [text, alignX, alignY, size, xs, ys] : cases) {
    app->p_CLS2D(), app->p_SetSize(size), app->p_Text(100, 50, String(text), alignX, alignY);
    EXPECT_EQ((std::pair{Field(1), Field(2)}), (std::pair{xs, ys})) << text << " " << alignX;
  }
  EXPECT_EQ(Fields(0, {0, 4, 6}), (Floats{90, 1.5f, 'a' - 32}));
  app->p_CLS2D(), app->m_CreditScroll = 0.3f, app->p_MenuCredits(); // credits fade away from the middle
  const Floats alphas = Field(7);
  EXPECT_TRUE(std::any_of(alphas.begin(), alphas.end(), [](float a) { return a > 0.3f && a < 0.7f; }));
  app->m_MenuSel = 1, app->m_MenuAngle = app->m_MenuSpin = -32, app->m_MenuSpinVel = 8, app->m_Down = 0;
  app->p_MenuWheel(); // a wheel turning gently, its items in range: slows by a quarter, no push back
  EXPECT_EQ(app->m_MenuSpinVel, 6);
  app->m_ShownScore = 0, app->m_Score = 100, app->p_ScoreDisplay(); // the shown score closes in by sixths
  EXPECT_EQ(app->m_ShownScore, 16);
  // Scores pad on the left and keep their last digits when longer than the field.
  EXPECT_EQ((app->p_rstr(42, 5, String("0")) + app->p_rstr(123456789, 8, String(" ")) +
             app->p_rstr(7, 3, String("ab")))
                .ToUtf8(),
            "0004223456789ab7");
  // Button glyphs "¬" + letter: control mode, clock, letter, font cell, x of the glyph after.
  // clang-format off
  const int glyphs[][5] = {{0, 0, 'K', 113, 118}, {2, 0, 'K', 97, 118}, {1, 1199, 'K', 109, 118}, {1, 1200, 'K', 97, 118},
      {1, 1199, 'Q', 102, 118}, {1, 0, 'U', 110, 120}, {2, 0, 'D', 108, 118}, {1, 0, 'W', 104, 118},
      {2, 0, 'R', 82, 113}, {2, 0, 'B', 66, 118}, {1, 0, 'E', 103, 118}, {0, 0, 'J', 112, 118}};
  // clang-format on
  for (const auto& g : glyphs) {
    app->m_ControlMode = g[0], host->clock = g[1];
    app->p_CLS2D(), app->p_Text(100, 50, String(u"\u00ac") + app->p_Chr(g[2]) + String("a"));
    EXPECT_EQ((Floats{Record(0)[6], Record(1)[1]}), (Floats{float(g[3]), float(g[4])})) << char(g[2]) << g[0];
  }
}

// Kind 2 falls, 3 rises, 4 fades slowly, 16 is a cell on a 16-unit grid, 99 a number, 11 is not
// drawn. Kind, life after one update, record kind, x, y (seen from the camera at (100, 0)); colour 4.
TEST_F(Unit, ParticlesMoveFadeAndDrawByKind) {
  // clang-format off
  const float cases[][5] = {{2, 0.99f, 96, 102, 51}, {3, 0.99f, 96, 102, 51}, {4, 0.997f, 96, 102, 51},
      {16, 0.987f, KIND_RECT, 96, 48}, {99, 0.99f, 90, 109, 51}, {11, 0.99f, 0, 0, 0}};
  // clang-format on
  for (const auto& c : cases) {
    app->p_CLS2D(), app->p_ResetParticles(250), app->m_CamX = 100, app->m_CamY = 0;
    std::copy_n(Floats{c[0], 200, 50, 2, 1, 0, 3, 1, 4, 7}.begin(), 10, &app->m_Particles[2490]);
    app->p_DoParticles(2);
    const float* p = &app->m_Particles[2490];
    const float vx = c[0] == 2 || c[0] == 3 ? 1.9f : 2, vy = c[0] == 2 ? 1.2f : c[0] == 3 ? 0.95f : 1;
    EXPECT_EQ((Floats{p[1], p[2], p[3], p[4], p[5]}), (Floats{202, 51, vx, vy, 3})) << c[0];
    EXPECT_NEAR(p[7], c[1], 1e-6) << c[0];
    EXPECT_EQ((Records() == 0 ? Floats{0, 0, 0, 0} : Fields(0, {0, 1, 2, 10})),
              (Floats{c[2], c[3], c[4], c[2] ? 25.5f : 0}))
        << c[0];
  }
  app->p_Ink(9, 2); // a colour brighter than white is white
  EXPECT_EQ((Floats{app->m_Red, app->m_Green, app->m_Blue}), (Floats{255, 255, 255}));
  app->m_Particles[2497] = 0.005f, app->p_DoParticles(1); // its life runs out
  EXPECT_EQ(app->m_Particles[2490], 0);
  app->p_ResetStars(499), app->p_ResetStars(500), app->p_ResetParticles(499), app->p_ResetParticles(0);
  EXPECT_EQ(app->m_StarMax * 1000 + app->m_ParticleMax, 499499); // counts 1..499 only
}

} // namespace
