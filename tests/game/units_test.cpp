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

using namespace std::string_literals;
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
      Press(256 + 96 + button); // pad 3
      const int want = std::count(b.buttons.begin(), b.buttons.end(), button);
      EXPECT_EQ(Key(b.control, 3), want) << "pad 3's button " << button;
      EXPECT_EQ(Key(b.control, 2), 0) << "pad 2, for pad 3's button " << button;
      EXPECT_EQ(Key(b.control, -1), 0) << "the keyboard alone, for pad 3's button " << button;
      Release(256 + 96 + button);
    }
    const int v = b.control == 99 ? 16 : b.control; // its virtual button
    app->m_VButtons[v] = 1;
    EXPECT_EQ(Key(b.control, -1), 1) << "virtual button " << v << ", keyboard";
    EXPECT_EQ(Key(b.control, 0), 1) << "virtual button " << v << ", pad 0";
    EXPECT_EQ(Key(b.control, -2), 0) << "virtual button " << v << ", no such pad";
    app->m_VButtons[v] = 0;
  }
  Press(256 + 32 + 7), app->m_VButtons[19] = 1; // pad 1's back button, and the back key's hit
  // Numbers that are no control answer nothing, asked right after a held control too.
  Ints none;
  for (int control : {16, 9, 100, -1}) none.push_back(Key(99, 2)), none.push_back(Key(control, 0));
  EXPECT_EQ(none, (Ints{1, 0, 1, 0, 1, 0, 1, 0})) << "back on pad 2, then 16, 9, 100 and -1";
  ExpectAll({Is("pause on pad 1", Key(98, 1), 1), Is("pause is never the keyboard's alone", Key(98, -1), 0),
             Is("pause on pad 0, by the back key", Key(98, 0), 1)});
  app->m_KeyAnalogX = 0, Press(39); // a held arrow ramps its axis up; let go, the axis falls back to 0
  for (int i = 0; i < 3; ++i) app->p_AnalogueControl();
  const float held = app->m_AnalogX;
  Release(39);
  for (int i = 0; i < 3; ++i) app->p_AnalogueControl();
  ExpectAll({Is("Right held", held > 0.3f, true), Is("let go", app->m_AnalogX, 0)});
  in->m__joyStates[0]->m_joyY[0] = 0.41f, in->m__joyStates[0]->m_joyX[0] = -0.39f; // dead zone 0.4
  ExpectAll({Is("up by the stick", Key(0, 0), 1),
             Is("the stick counts only in mode 1", app->p_PlayKey(0, 0, 0), 0), Is("down", Key(8, 0), 0),
             Is("left: inside the dead zone", Key(3, 0), 0), Is("pad 1's stick is at rest", Key(0, 1), 0)});
  app->p_AnalogueControl(); // the analogue state: past a dead zone of 0.2, after the same flip
  ExpectAll({Is("analogue x", app->m_AnalogX, -0.39f), Is("analogue y", app->m_AnalogY, -0.41f)});
  app->m_Settings[15] = 1, in->m__joyStates[0]->m_joyX[0] = 0.41f; // flipped: down; x is never flipped
  ExpectAll({Is("flipped: not up", Key(0, 0), 0), Is("flipped: down", Key(8, 0), 1),
             Is("right, never flipped", Key(5, 0), 1), Is("the keyboard alone has no stick", Key(5, -1), 0)});
  in->m__joyStates[0]->m_joyX[0] = 0.4f;
  Press(1), Press(256 + 64); // the mouse button is touch 0, code 384, not a pad 4's A; pad 2's A counts once
  app->m_TouchDown[3] = 1, app->m_TouchX[3] = 3, app->m_TouchY[3] = 4; // the round hit test reaches 5
  ExpectAll({Is("on the dead zone itself", Key(5, 0), 0), Is("pad 4", Key(10, 4), 0),
             Is("pads holding A", app->p_PlayKeyAll(10, 1), 1),
             Is("at distance 5", app->p_MouseIn_Radius(0, 0, 6, 8), 1),
             Is("just past it", app->p_MouseIn_Radius(0, 0, 6, 7.9f), 0)});
  app->m_TouchDown[3] = 0;
}

TEST_F(Unit, KeyPairLettersPressAndReleaseTheirButtonsAndEffectsRotateOverTwentyFourChannels) {
  app->p_iCade(1); // each controller button types one letter going down and another coming up
  for (const char* p :
       {"we0", "xz8", "aq3", "dc5", "hr10", "jn11", "kp12", "yt13", "uf14", "im15", "og99", "LV99"}) {
    in->p_KeyEvent(3, p[0]), app->p_iCadeChar(zu_input_GetChar());
    EXPECT_EQ(Key(std::atoi(p + 2), 0), 1) << p << ": pressed";
    in->p_KeyEvent(3, p[1]), app->p_iCadeChar(zu_input_GetChar());
    EXPECT_EQ(Key(std::atoi(p + 2), 0), 0) << p << ": let go";
  }
  app->p_iCade(0), app->p_LoadSFX(7), app->p_LoadSFX(100), app->p_LoadSFX(-1), app->m_SfxChannel = 0;
  for (int mode : {1, 2, 3, 0})
    for (int i = 0; i < 13; ++i) app->m_Settings[5] = mode, app->p_PlaySFX(7, 1, 1, 0);
  EXPECT_EQ(Ints(audio->channels.begin() + 22, audio->channels.end()), (Ints{23, 0, 1, 2}));
  ExpectAll({Is("effects loaded: in sound modes 1 and 2, slots 0..99, only", audio->loads.size(), 1),
             Is("file 10", app->p_SfxFile(10).ToUtf8(), "sfx/010.wav"),
             Is("file 100", app->p_SfxFile(100).ToUtf8(), "sfx/100.wav")});
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
std::string Word(const String& s) { return s.ToUtf8(); }
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
    ExpectAll({Is(word + " found"s, Check(word), found), Is(word + " scored"s, Score(word), score)});
  ExpectAll({Is("a packed word", Word(app->p_GetWord(4 | 15 << 5 | 7 << 10, 0)), "DOG"),
             Is("eleven words, two integers each", app->m_BankCount, 22)});
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
  EXPECT_FALSE(std::is_sorted(app->m_Bag.begin(), app->m_Bag.begin() + 200));
  EXPECT_GT(app->p_GetTile(1), 0) << "mode 1 refills an empty bag";
  ExpectAll({Is("an empty bag answers 29 in mode 0", n[29], 1), Is("bag position", app->m_BagPos, 1),
             Is("bag size", app->m_BagSize, 199)});
  for (int x = 0; x < 20; ++x) app->m_Grid[10 * x] = 1, app->m_Grid[10 * x + 8] = 0, app->p_AddLetter(x, 0);
  app->p_AddLetter(-5, -100000000); // a word holds 19 tiles; a cell outside the grid is none
  ExpectAll({Is("word length", app->m_Word.Length(), 19),
             Is("the chain's 19th letter", app->m_Player[119], 18),
             Is("the 19th tile is taken", app->m_Grid[188], 1), Is("the 20th is not", app->m_Grid[198], 0)});
}

TEST_F(Unit, ListsLoadInSlicesOfWholeWordsAndDamagedEntriesAreSkipped) {
  const std::string file = (host->dataDir / "Lexorm.txt").string();
  LoadList("", 0), std::remove(file.c_str());
  EXPECT_EQ(StdoutOf([this] { app->p_BankLoad(), app->p_BankLoad(); }),
            "Word list not found: " + file + "\n");
  EXPECT_EQ(Check("CAT"), "N/A");
  LoadList(List(std::vector<std::string>(5000, "ZZ")) + List({"CAT"}), 2); // 10,002 integers, 4096 a call
  ExpectAll({Is("a lookup while loading", Check("CAT"), "Loading 8192"),
             Is("a word while loading", Word(app->p_GetWord(1, 0)), "Loading 8192")});
  app->p_BankLoad();
  ExpectAll({Is("loaded", app->m_BankState, 2), Is("integers", app->m_BankCount, 10002),
             Is("the file's bytes let go", app->m_BankBuffer == nullptr, true),
             Is("CAT", Check("CAT"), "CAT")});
  std::string out = StdoutOf([] { LoadList(List({"CAT"}, "AB")), LoadList(List({"DOG"}, "AB")); });
  EXPECT_EQ(out, "Word list not loaded (cut short: whole words only): " + file + "\n") << "said once";
  ExpectAll({Is("DOG", Check("DOG"), "DOG"), Is("integers", app->m_BankCount, 2)});
  // A pair holding anything but letter codes is skipped, every word around it kept.
  const std::string damaged = "\xff\xff\xff\xff\0\0\0\0"s;
  out = StdoutOf([&] { LoadList(List({"AA"}) + damaged); });
  EXPECT_EQ(out, "Word list damaged (1 entry skipped, 1 word kept): " + file + "\n");
  ExpectAll({Is("AA's score", Score("AA"), 4), Is("a chain not in the list", Check("QI"), ""),
             Is("a single letter scores nothing with a list", Score("Q"), 0)});
  out = StdoutOf([&] {
    // the last two: a bit above the six codes, a code above 26
    LoadList(List({"CAT"}) + damaged + damaged + List({"DOG", "OX"}) +
             "\0\0\0\x40\0\0\0\0\x1b\0\0\0\0\0\0\0"s);
  });
  EXPECT_EQ(out, "Word list damaged (4 entries skipped, 3 words kept): " + file + "\n");
  ExpectAll({Is("DOG", Check("DOG"), "DOG"), Is("OX", Check("OX"), "OX"),
             Is("three words kept", app->m_BankCount, 6)});
  // Letters with a gap are no word (and nothing to say); a file with no word at all is no list.
  out = StdoutOf([] { LoadList(List({"XQ"}) + std::string{1, 0, 1, 0, 0, 0, 0, 0}); }); // A, two gaps, B
  ExpectAll({Is("said", out, ""), Is("A[", Check("A["), ""), Is("AB", Check("AB"), ""),
             Is("A[[B", Check("A[[B"), ""), Is("two blanks: the first two-letter word", Check("[["), "XQ")});
  out = StdoutOf([&] {
    LoadList(damaged + damaged), LoadList(std::string{1, 0, 1, 0, 0, 0, 0, 0}), LoadList("");
  });
  EXPECT_EQ(out, "Word list not loaded (not a word list): " + file + "\n") << "said once";
  ExpectAll({Is("CAT", Check("CAT"), "N/A"), Is("no list", app->m_BankState, 0),
             Is("without a list every chain scores", Score("Q"), 24)});
}

std::string Repeat(const std::string& piece, int n) { return n ? piece + Repeat(piece, n - 1) : ""; }
// Saves written out by hand, each sum worked out by hand. The format: 25 settings and their sum
// weighted by index; 8 badge words (bit j of word b is badge 32 b + j) and their sum; 8 groups
// of ten (top, last) pairs, each followed by the sum of (k + 4) top + (k + g + 3) last; 100
// (word, score) pairs. Every field ends with "|"; sums wrap in 32 bits. Groups 3..7 are written,
// never read: group g takes the tables from entry 10 g on, so groups 3..5 repeat the last tens.
//
// Settings 5 = 2, 10 = 64, 11 = 64, 12 = 10, 14 = 1, 15 = 1: 10 + 640 + 704 + 120 + 14 + 15 = 1503.
// Badges 0, 2 and 255: 5 + -2147483648 = -2147483643. Group 0 (30 s): tops 500, 300, lasts 300,
// 500: 4 * 500 + 3 * 300 + 5 * 300 + 4 * 500 = 6400. Group 1 (60 s): 1000 and 1000: 4000 + 4000.
// Group 3: the 30-second last ten as tops: 4 * 300 + 5 * 500 = 3700; group 4: 4 * 1000.
const std::string kSettingsA = "0|0|0|0|0|2|0|0|0|0|64|64|10|0|1|1|0|0|0|0|0|0|0|0|0|";
const std::string kBadgesA = "5|0|0|0|0|0|0|-2147483648|";
const std::string kGroup0A = "500|300|300|500|" + Repeat("0|0|", 8),
                  kGroup1A = "1000|1000|" + Repeat("0|0|", 9);
const std::string kZeroGroup = Repeat("0|0|", 10) + "0|";
const std::string kGroups2To7A = kZeroGroup + "300|0|500|0|" + Repeat("0|0|", 8) + "3700|" + "1000|0|" +
                                 Repeat("0|0|", 9) + "4000|" + Repeat(kZeroGroup, 3);
const std::string kWordsA = "QI|18|QI|18|" + Repeat("|0|", 98);
std::string SaveA(const char* settingsSum = "1503", const char* badgeSum = "-2147483643",
                  const char* group0Sum = "6400") {
  return kSettingsA + settingsSum + "|" + kBadgesA + badgeSum + "|" + kGroup0A + group0Sum + "|" + kGroup1A +
         "8000|" + kGroups2To7A + kWordsA;
}
// Setting 3 = 2,000,000,000 wraps the sum: 6,000,001,483 (with 5 = 1 and the limits) - 2^32 =
// 1,705,034,187. Group 2 (120 s): top 3 and last 2 tenth: 13 * 3 + 14 * 2 = 67; group 5 repeats
// that last ten as tops: 13 * 2 = 26.
const std::string kSaveB = "0|0|0|2000000000|0|1|0|0|0|0|64|64|10|0|1|0|0|0|0|0|0|0|0|0|0|1705034187|" +
                           Repeat("0|", 9) + Repeat(kZeroGroup, 2) + Repeat("0|0|", 9) + "3|2|67|" +
                           Repeat(kZeroGroup, 2) + Repeat("0|0|", 9) + "2|0|26|" + Repeat(kZeroGroup, 2) +
                           Repeat("|0|", 100);

std::string Load(const std::string& text) {
  host->state = text;
  return StdoutOf([] { Game()->p_Load(); });
}
const char kAllLoaded[] = "Settings Loaded\nBadges Loaded\nHighscores Loaded\n";

TEST_F(Unit, HandWrittenSavesLoadAndAreWrittenBackTheSame) {
  for (int i = 60; i < 150; ++i) app->m_HighScores[i] = 0; // never loaded: a new game's
  EXPECT_EQ(Load(SaveA()), kAllLoaded);
  const std::pair<int, int> settings[] = {{5, 2}, {10, 64}, {11, 64}, {12, 10}, {14, 1}, {15, 1}, {16, 0}};
  for (const auto& [i, v] : settings) EXPECT_EQ(app->m_Settings[i], v) << "setting " << i;
  const std::pair<int, bool> badges[] = {{0, true},   {1, false},   {2, true},
                                         {31, false}, {254, false}, {255, true}};
  for (const auto& [i, v] : badges) EXPECT_EQ(app->m_Badges[i], v) << "badge " << i;
  const std::pair<int, int> scores[] = {{0, 500},  {1, 300},   {2, 0},    {30, 300},
                                        {31, 500}, {10, 1000}, {40, 1000}};
  for (const auto& [i, v] : scores) EXPECT_EQ(app->m_HighScores[i], v) << "high score " << i;
  ExpectAll({Is("best word", Word(app->m_BestWords[0]), "QI"), Is("word 2", Word(app->m_BestWords[2]), ""),
             Is("word 1's score", app->m_BestWordScores[1], 18),
             Is("no echo outside debug mode", StdoutOf([this] { app->p_Save(); }), "")});
  EXPECT_EQ(host->state, SaveA());
  zu_Tessel_DebugMode = 1;
  EXPECT_EQ(StdoutOf([this] { app->p_Save(), zu_Tessel_DebugMode = 0; }), SaveA() + "\n") << "debug mode";
  EXPECT_EQ(Load(kSaveB), kAllLoaded);
  ExpectAll({Is("setting 3", app->m_Settings[3], 2000000000),
             Is("the 120-second top ten's tenth", app->m_HighScores[29], 3),
             Is("the 120-second last ten's tenth", app->m_HighScores[59], 2),
             Is("high score 0", app->m_HighScores[0], 0)});
  app->p_Save();
  EXPECT_EQ(host->state, kSaveB);
}

// A block failing its sum falls back alone: settings to their defaults, badges off, one score
// group emptied.
TEST_F(Unit, ABlockFailingItsSumFallsBackAlone) {
  EXPECT_EQ(Load(SaveA("1504")), "Settings Checksum Invalid\nBadges Loaded\nHighscores Loaded\n");
  const std::pair<int, int> defaults[] = {{5, 1}, {10, 64}, {11, 64}, {12, 10}, {14, 1}, {15, 0}};
  for (const auto& [i, v] : defaults) EXPECT_EQ(app->m_Settings[i], v) << "setting " << i;
  ExpectAll({Is("badge 255", app->m_Badges[255], 1), Is("high score 0", app->m_HighScores[0], 500)});
  EXPECT_EQ(Load(SaveA("1503", "-2147483642")),
            "Settings Loaded\nBadge Checksum Invalid\nHighscores Loaded\n");
  for (int i : {0, 2, 255}) EXPECT_FALSE(app->m_Badges[i]) << "badge " << i;
  ExpectAll({Is("setting 5", app->m_Settings[5], 2), Is("high score 0", app->m_HighScores[0], 500)});
  EXPECT_EQ(Load(SaveA("1503", "-2147483643", "6401")), kAllLoaded);
  for (int i : {0, 1, 30, 31}) EXPECT_EQ(app->m_HighScores[i], 0) << "group 0, entry " << i;
  ExpectAll({Is("group 1's top kept", app->m_HighScores[10], 1000),
             Is("its last", app->m_HighScores[40], 1000), Is("badge 2", app->m_Badges[2], 1),
             Is("best word", Word(app->m_BestWords[0]), "QI")});
}

// A saved best or longest word carries no sum: one longer than the 19 letters the word being formed
// holds was never the game's and is dropped, its score with it; a pair after it still loads.
TEST_F(Unit, SavedWordsLongerThanAFormedWordAreDropped) {
  const std::string head = SaveA().substr(0, SaveA().size() - kWordsA.size());
  for (const auto& [word, kept] : {std::pair{std::string(19, 'E'), true},
                                   {"?" + std::string(18, 'S'), true},
                                   {std::string(20, 'E'), false},
                                   {std::string(100000, 'Q'), false}}) {
    SCOPED_TRACE(std::to_string(word.size()) + " letters");
    ExpectAll({Is("said", Load(head + word + "|40|QI|18|" + Repeat("|0|", 98)), kAllLoaded),
               Is("the word", Word(app->m_BestWords[0]), kept ? word : ""),
               Is("its score", app->m_BestWordScores[0], kept ? 40. : 0.),
               Is("the next", Word(app->m_BestWords[1]), "QI"),
               Is("its score", app->m_BestWordScores[1], 18)});
  }
}

TEST_F(Unit, LoadingKeepsSettingsInRangeAndFinishedGamesEnterTheirTables) {
  // Entry, value saved (by the game, with its sum), value loaded: each limit on both sides.
  // clang-format off
  const int cases[][3] = {{10, 63, 64}, {10, 64, 64}, {11, 63, 64}, {12, 7, 10}, {12, 8, 8}, {14, 0, 1}, {14, 5, 1},
      {5, -1, 1}, {5, 0, 0}, {5, 3, 3}, {5, 4, 1}, {15, 2, 0}, {15, 1, 1}, {15, -1, 0}, {16, 2, 0}, {16, 0, 0},
      {11, 2147483647, 2147483647}};
  // clang-format on
  for (const auto& c : cases) {
    Load(SaveA());
    app->m_Settings[c[0]] = c[1], app->p_Save();
    zu_Tessel_overscan = 12;
    const std::string name = "setting " + std::to_string(c[0]) + " saved as " + std::to_string(c[1]);
    ExpectAll({Is(name + ": said", Load(host->state), kAllLoaded), Is(name, app->m_Settings[c[0]], c[2]),
               Is("the overscan is never loaded", zu_Tessel_overscan, 0)});
  }
  // 25 zero settings and no sum field: a missing field reads 0
  EXPECT_EQ(Load("0" + Repeat("|0", 24)), "Settings Loaded\nHighscores Loaded\n");
  for (int i = 0; i < 150; ++i) app->m_HighScores[i] = 0;
  app->m_GameLength = 2;
  for (int s : {40, 60, 40, 0}) app->m_Score = s, app->p_LoadMenu();
  // Top ten of length 2 at 10.., best first, a tie below; the last ten at 40.., newest first.
  EXPECT_EQ(At(app->m_HighScores, {10, 11, 12, 13}), (Ints{60, 40, 40, 0})) << "the 60-second top ten";
  EXPECT_EQ(At(app->m_HighScores, {40, 41, 42, 43, 44}), (Ints{0, 40, 60, 40, 0}))
      << "the 60-second last ten";
  EXPECT_EQ(At(app->m_HighScores, {0, 9, 20, 30, 39, 50}), Ints(6, 0)) << "the other lengths' tables";
  EXPECT_NE(host->state.find("|60|0|40|40|40|60|0|40|"), std::string::npos) << "saved";
  for (int k = 0; k < 10; ++k) app->m_HighScores[10 + k] = app->m_HighScores[40 + k] = 100 - k;
  app->m_Score = 95, app->p_LoadMenu(); // a full table drops its tenth
  EXPECT_EQ(At(app->m_HighScores, {14, 15, 16, 19, 20}), (Ints{96, 95, 95, 92, 0})) << "top ten";
  EXPECT_EQ(At(app->m_HighScores, {40, 41, 49, 50}), (Ints{95, 100, 92, 0})) << "last ten";
  app->m_Score = 91, app->p_LoadMenu(); // below the tenth: the top ten stays
  ExpectAll(
      {Is("the top ten's tenth", app->m_HighScores[19], 92), Is("the newest", app->m_HighScores[40], 91)});
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
    EXPECT_EQ(Field(1), xs) << text << " " << alignX;
    EXPECT_EQ(Field(2), ys) << text << " " << alignX;
  }
  ExpectAll({Is("the font's slot", Record(0)[0], 90), Is("the size", Record(0)[4], 1.5f),
             Is("the font cell", Record(0)[6], 'a' - 32)});
  // The credits fade away from the middle line: opaque there, fainter line by line, gone at the edge.
  app->p_CLS2D(), app->m_CreditScroll = 0.3f, app->m_CreditLine = 48; // lines 45..52 hold text
  app->p_MenuCredits();
  Floats alphas; // each line's, in order
  for (int i = 0; i < Records(); ++i)
    if (alphas.empty() || Record(i)[7] != alphas.back()) alphas.push_back(Record(i)[7]);
  ASSERT_GE(alphas.size(), 8u) << "eight lines, each its own alpha";
  EXPECT_EQ(alphas[3], 1) << "the middle line";
  for (int k = 0; k < 3; ++k) EXPECT_LT(alphas[k], alphas[k + 1]) << "line " << k - 3;
  for (int k = 3; k < 7; ++k) EXPECT_GT(alphas[k], alphas[k + 1]) << "line " << k - 2;
  EXPECT_EQ(alphas[7], 0) << "the last line";
  // Scores pad on the left and keep their last digits when longer than the field.
  ExpectAll({Is("42 in 5", Word(app->p_rstr(42, 5, String("0"))), "00042"),
             Is("123456789 in 8", Word(app->p_rstr(123456789, 8, String(" "))), "23456789"),
             Is("7 in 3, padded by ab", Word(app->p_rstr(7, 3, String("ab"))), "ab7")});
  // Button glyphs "¬" + letter: control mode, clock, letter, font cell, x of the glyph after.
  // clang-format off
  const int glyphs[][5] = {{0, 0, 'K', 113, 118}, {2, 0, 'K', 97, 118}, {1, 1199, 'K', 109, 118}, {1, 1200, 'K', 97, 118},
      {1, 0, 'U', 110, 120}, {2, 0, 'R', 82, 113}, {0, 0, 'J', 112, 118}};
  // clang-format on
  for (const auto& g : glyphs) {
    app->m_ControlMode = g[0], host->clock = g[1];
    app->p_CLS2D(), app->p_Text(100, 50, String(u"\u00ac") + app->p_Chr(g[2]) + String("a"));
    const std::string name = char(g[2]) + " in control mode "s + std::to_string(g[0]);
    ExpectAll(
        {Is(name + ": the cell", Record(0)[6], g[3]), Is(name + ": the next glyph's x", Record(1)[1], g[4])});
  }
}

// A badge earned is shown in its slot for 240 updates; then the slot is free again.
TEST_F(Unit, ABadgeIsShownForItsTimeThenItsSlotIsFree) {
  for (int i = 0; i < 13; ++i) app->m_BadgeTimers[i] = 0;
  app->p_ShowBadges();
  EXPECT_EQ(Records(), 0) << "no badge, nothing drawn";
  app->m_BadgeTimers[0] = 1, app->m_BadgeIds[0] = 3, app->m_BadgeTimers[1] = 240;
  app->p_ShowBadges();
  ExpectAll(
      {Is("slot 0 counts on", app->m_BadgeTimers[0], 2), Is("slot 1 is free again", app->m_BadgeTimers[1], 0),
       Is("slot 2 stays free", app->m_BadgeTimers[2], 0), Is("slot 0's badge drawn", Records() > 0, true)});
}

// Kinds 2, 3, 4 are sprites, 16 a cell on a 16-unit grid, 99 a number, 11 is not drawn. Kind, record
// kind, x, y (seen from the camera at (100, 0)); colour 4. Each moves by its speed and is carried.
TEST_F(Unit, ParticlesMoveFadeAndDrawByKind) {
  const float cases[][4] = {{2, 96, 102, 51},        {3, 96, 102, 51},  {4, 96, 102, 51},
                            {16, KIND_RECT, 96, 48}, {99, 90, 109, 51}, {11, 0, 0, 0}};
  for (const auto& c : cases) {
    app->p_CLS2D(), app->p_ResetParticles(250), app->m_CamX = 100, app->m_CamY = 0;
    std::copy_n(Floats{c[0], 200, 50, 2, 1, 0, 3, 1, 4, 7}.begin(), 10, &app->m_Particles[2490]);
    app->p_DoParticles(2);
    const float* p = &app->m_Particles[2490];
    SCOPED_TRACE("kind " + std::to_string(int(c[0])));
    ExpectAll({Is("x", p[1], 202), Is("y", p[2], 51), Is("carried along", p[5], 3),
               Is("records", Records(), c[1] ? 1. : 0.)});
    EXPECT_LT(p[7], 1) << "life";
    if (Records() == 0) continue;
    ExpectAll({Is("record kind", Record(0)[0], c[1]), Is("drawn x", Record(0)[1], c[2]),
               Is("drawn y", Record(0)[2], c[3]), Is("colour 4's red", Record(0)[10], 25.5f)});
  }
  app->p_Ink(9, 2); // a colour brighter than white is white
  EXPECT_EQ(Floats({app->m_Red, app->m_Green, app->m_Blue}), Floats(3, 255)) << "colour 9 at 2";
  app->p_Ink(4, 1), app->p_ResetDraw(); // and the drawing state's reset is white again
  EXPECT_EQ(Floats({app->m_Red, app->m_Green, app->m_Blue}), Floats(3, 255)) << "after a reset";
  app->m_Particles[2497] = 0.005f, app->p_DoParticles(1); // its life runs out
  EXPECT_EQ(app->m_Particles[2490], 0);
  app->p_ResetStars(499), app->p_ResetStars(500), app->p_ResetParticles(499), app->p_ResetParticles(0);
  ExpectAll({Is("500 stars are refused", app->m_StarMax, 499),
             Is("no particles are refused", app->m_ParticleMax, 499)});
  Floats ys; // each star starts on the screen or at most 8 units off it
  for (int i = 0; i < 499; ++i) ys.push_back(app->m_Stars[10 * i + 2]);
  const auto [top, bottom] = std::minmax_element(ys.begin(), ys.end());
  EXPECT_TRUE(*top >= -8 && *top < 0 && *bottom <= zu_Tessel_jscrh + 8) << *top << " to " << *bottom;
}

} // namespace
