// tests/game/words_test.cpp — the word bank and word rules: loading packed lists (including
// truncated and oversized ones), lookups with blanks, scores, the word being formed, the bag.
// Depends on: game (c_MyApp), host (ZuGlfwGame for paths and the clock), tests/support.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/random.h"
#include "game/globals.h"
#include "game/my_app.h"
#include "host/desktop_game.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

namespace {

// The desktop host with "quokka://data/" in a folder of this process's own (tests run in
// parallel) and a clock that moves on every reading.
class WordHost : public ZuGlfwGame {
public:
  std::string dataDir;
  int clock = 1000;
  int Millisecs() override { return clock += 7919; }
  String PathToFilePath(const String& path) override {
    const String prefix("quokka://data/");
    if (!path.StartsWith(prefix)) return path;
    return String(dataDir.c_str()) + String("/") + path.Slice(prefix.Length());
  }
};

struct World {
  TempDir dir{"words"};
  WordHost* host = new WordHost;
  c_MyApp* app = nullptr;
  World() {
    host->dataDir = dir.path.string();
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    app = (new c_MyApp)->m_new();
  }
};

World& W() {
  static World* world = new World; // one application per process
  return *world;
}

// Packing as the list format has it: letter k of each half in bits 5k..5k+4.
std::vector<std::uint32_t> Pack(const std::string& word) {
  std::uint32_t half[2] = {0, 0};
  for (size_t i = 0; i < word.size(); ++i)
    half[i / 6] |= static_cast<std::uint32_t>(word[i] - 64) << (5 * (i % 6));
  return {half[0], half[1]};
}

std::string Bytes(const std::vector<std::uint32_t>& ints) {
  std::string out;
  for (std::uint32_t v : ints)
    for (int b = 0; b < 4; ++b) out += static_cast<char>((v >> (8 * b)) & 0xff);
  return out;
}

std::string ListOf(const std::vector<std::string>& words) {
  std::vector<std::uint32_t> ints;
  for (const std::string& w : words)
    for (std::uint32_t v : Pack(w)) ints.push_back(v);
  return Bytes(ints);
}

std::string U8(const String& s) { return s.ToUtf8(); }
std::string Check(const char* word) { return U8(W().app->p_CheckWord(String(word))); }
int Score(const char* word) { return W().app->p_ScoreWord(String(word)); }

// Writes the list file and forgets any list loaded before.
void StartOver(const std::string& bytes) {
  c_MyApp* a = W().app;
  WriteFile(W().dir.path / "Lexorm.txt", bytes);
  a->m_BankState = 0;
  gc_assign(a->m_BankBuffer, static_cast<c_DataBuffer*>(nullptr));
  a->m_BankNext = a->m_BankCount = 0;
  for (int& v : a->m_WordStore) v = 0;
}
// Loads the list to the end.
void LoadAll(const std::string& bytes) {
  StartOver(bytes);
  for (int calls = 0; calls < 100000 && (calls == 0 || W().app->m_BankState == 1); ++calls)
    W().app->p_BankLoad();
}

const std::vector<std::string> kList = {"CATS", "BATH", "OX",           "HAT",          "BAT", "CAT",
                                        "DOG",  "AT",   "ABCDEFGHIJKL", "MNOPQRSTUVWX", "YZ"};

int Value(char c) { return W().app->m_LetterValues[c - 64]; }

// ============================================================================
// [SECTION] Lookups and scores
// ============================================================================

TEST(WordRules, LookupsAreCaseBlindAndLimitedToTwoToTwelveLetters) {
  LoadAll(ListOf(kList));
  c_MyApp* a = W().app;
  ASSERT_EQ(a->m_BankState, 2);
  EXPECT_EQ(a->m_BankCount, 2 * static_cast<int>(kList.size()));
  EXPECT_EQ(Check("cat"), "CAT");
  EXPECT_EQ(Check("CAT"), "CAT");
  EXPECT_EQ(Check("ABCDEFGHIJKL"), "ABCDEFGHIJKL");
  EXPECT_EQ(Check("A"), "");
  EXPECT_EQ(Check("ABCDEFGHIJKLM"), "");
  EXPECT_EQ(Score("A"), 0);
  EXPECT_EQ(Score("ABCDEFGHIJKLM"), 0);
  // The letter table through scores: 12 x 37 for A..L and for M..X, 2 x (4 + 8) for YZ.
  EXPECT_EQ(Score("ABCDEFGHIJKL"), 444);
  EXPECT_EQ(Score("MNOPQRSTUVWX"), 444);
  EXPECT_EQ(Score("YZ"), 24);
  EXPECT_EQ(U8(a->p_GetWord(static_cast<int>(Pack("DOG")[0]), 0)), "DOG");
}

TEST(WordRules, ALongerListWordWithTheSameStartIsNoMatch) {
  LoadAll(ListOf({"CATS", "DOG"}));
  EXPECT_EQ(Check("CAT"), "");
  EXPECT_EQ(Check("CATS"), "CATS");
  EXPECT_EQ(Score("CAT"), 0);
}

TEST(WordRules, BlanksTakeTheFirstListWordOfTheSameLength) {
  LoadAll(ListOf(kList));
  EXPECT_EQ(Check("[AT"), "HAT"); // BATH comes first but is longer
  EXPECT_EQ(Score("[AT"), 6);     // 3 x (0 + 1 + 1)
  EXPECT_EQ(Score("C[T"), 12);    // matched to CAT: 3 x (3 + 0 + 1)
  EXPECT_EQ(Check("[["), "OX");
  EXPECT_EQ(Check("[[Z"), "");
}

TEST(WordRules, WithoutAListEveryWordIsScoredAsThreeLetters) {
  StartOver("");
  c_MyApp* a = W().app;
  std::remove((W().dir.path / "Lexorm.txt").c_str());
  std::string out = StdoutOf([&] {
    a->p_BankLoad();
    a->p_BankLoad();
  });
  EXPECT_EQ(a->m_BankState, 0);
  const std::string line = "Word list not found: " + (W().dir.path / "Lexorm.txt").string() + "\n";
  EXPECT_EQ(out, line); // said once, with the path looked for
  EXPECT_EQ(Check("CAT"), "N/A");
  EXPECT_EQ(Score("CAT"), 15); // 3 x (3 + 1 + 1)
  EXPECT_EQ(Score("Q"), 24);   // 3 x 8
  EXPECT_EQ(Score(""), 0);
}

TEST(WordRules, WhileLoadingWordsAnswerWithTheCountBeforeTheSlice) {
  std::vector<std::string> words(5000, "ZZ"); // 10,000 integers: three slices
  words.push_back("CAT");
  StartOver(ListOf(words));
  c_MyApp* a = W().app;
  a->p_BankLoad();
  EXPECT_EQ(Check("CAT"), "Loading 0");
  a->p_BankLoad();
  ASSERT_EQ(a->m_BankState, 1);
  EXPECT_EQ(Check("CAT"), "Loading 4096");
  EXPECT_EQ(U8(a->p_GetWord(1, 0)), "Loading 4096");
  EXPECT_EQ(Score("CAT"), 12 * (Value('C') + Value('A') + Value('T')));
  a->p_BankLoad();
  EXPECT_EQ(a->m_BankState, 2);
  EXPECT_EQ(a->m_BankCount, 10002);
  EXPECT_EQ(Check("CAT"), "CAT");
  a->p_BankLoad(); // loading again finds nothing left to copy
  EXPECT_EQ(a->m_BankState, 2);
  EXPECT_EQ(a->m_BankCount, 10002);
}

// ============================================================================
// [SECTION] Truncated and oversized lists (run under the sanitizers)
// ============================================================================

TEST(WordBank, ATenByteListKeepsOnlyWholeIntegers) {
  std::string bytes = ListOf({"CAT"}) + std::string("\x41\x42", 2);
  ASSERT_EQ(bytes.size(), 10u);
  LoadAll(bytes);
  c_MyApp* a = W().app;
  EXPECT_EQ(a->m_BankState, 2);
  EXPECT_EQ(a->m_BankCount, 2);
  EXPECT_EQ(a->m_WordStore[2], 0);
  EXPECT_EQ(Check("CAT"), "CAT");
  EXPECT_EQ(Check("DOG"), "");
}

TEST(WordBank, AnOddIntegerCountLeavesTheUnpairedLastOneUnread) {
  std::vector<std::uint32_t> ints = Pack("DOG");
  ints.push_back(Pack("CAT")[0]); // half a pair: CAT if it were paired with the zero after it
  LoadAll(Bytes(ints));
  EXPECT_EQ(W().app->m_BankCount, 3);
  EXPECT_EQ(Check("CAT"), "");
  EXPECT_EQ(Check("DOG"), "DOG");
}

TEST(WordBank, AnOversizedListStopsAtTheStoreCapacity) {
  c_MyApp* a = W().app;
  const int capacity = a->m_WordStore.Length(); // odd: its last integer has no partner
  std::vector<std::uint32_t> ints(10000032 / 4, 0);
  ASSERT_GT(static_cast<int>(ints.size()), capacity);
  auto put = [&](int at, const char* w) {
    ints[at] = Pack(w)[0];
    ints[at + 1] = Pack(w)[1];
  };
  put(capacity - 3, "ZZ"); // the last complete pair in the store
  put(capacity - 1, "QQ"); // straddles the end of the store
  put(capacity + 1, "XX"); // entirely beyond it
  LoadAll(Bytes(ints));
  EXPECT_EQ(a->m_BankState, 2);
  EXPECT_EQ(a->m_BankCount, capacity);
  EXPECT_EQ(Check("ZZ"), "ZZ");
  EXPECT_EQ(Check("QQ"), "");
  EXPECT_EQ(Check("XX"), "");
  EXPECT_EQ(Check("[[[[[[[[[[[["), ""); // a full scan of the store
}

// ============================================================================
// [SECTION] The word being formed and the bag
// ============================================================================

TEST(WordForming, TheTwentiethTileIsRefusedAndCompletingScoresTheWord) {
  LoadAll(ListOf(kList));
  c_MyApp* a = W().app;
  a->m_Word = String();
  a->m_Score = 100;
  for (int x = 0; x < 20; ++x) {
    a->m_Grid[10 * x] = 1 + x % 26;
    a->m_Grid[10 * x + 8] = 0;
  }
  for (int x = 0; x < 19; ++x) a->p_AddLetter(x, 0);
  EXPECT_EQ(a->m_Word.Length(), 19);
  EXPECT_EQ(a->m_Grid[10 * 18 + 8], 1);
  EXPECT_EQ(a->m_Player[100 + 19], 18);
  int seed = zu_random_Seed;
  a->p_AddLetter(19, 0);
  EXPECT_EQ(a->m_Word.Length(), 19);
  EXPECT_EQ(a->m_Grid[10 * 19 + 8], 0);
  EXPECT_EQ(zu_random_Seed, seed); // no pickup sound either
  a->p_AddLetter(-5, -100000000);  // outside the grid: nothing happens
  a->p_CompleteWord();             // 19 letters never score
  EXPECT_EQ(a->m_WordScore, 0);
  EXPECT_EQ(a->m_Player[29], 1);
  EXPECT_EQ(a->m_LastWord.Length(), 19);
  EXPECT_EQ(a->m_Word.Length(), 0);

  a->m_Grid[0] = 15;  // O
  a->m_Grid[10] = 24; // X
  a->m_Grid[8] = a->m_Grid[18] = 0;
  a->p_AddLetter(0, 0);
  a->p_AddLetter(1, 0);
  a->p_CompleteWord();
  EXPECT_EQ(U8(a->m_LastWord), "OX");
  EXPECT_EQ(a->m_LastWordScore, 2 * (Value('O') + Value('X')));
  EXPECT_EQ(a->m_Score, 100 + a->m_LastWordScore);
  EXPECT_EQ(a->m_Player[29], 2);
}

TEST(LetterBag, AFreshBagHoldsTheTableShuffledAndAnEmptyOneAnswers29) {
  c_MyApp* a = W().app;
  a->p_NewBag();
  ASSERT_EQ(a->m_BagSize, 199);
  EXPECT_EQ(a->m_BagPos, 0);
  std::vector<int> counts(28, 0);
  int total = 0;
  for (int code = 1; code <= 27; ++code) total += a->m_BagCounts[code];
  EXPECT_EQ(total, 200);
  bool inCodeOrder = true;
  for (int i = 0; i < 200; ++i) {
    int t = a->p_GetTile(0);
    ASSERT_TRUE(t >= 1 && t <= 27) << t;
    ++counts[t];
    if (i > 0 && a->m_Bag[i] < a->m_Bag[i - 1]) inCodeOrder = false;
  }
  for (int code = 1; code <= 27; ++code) EXPECT_EQ(counts[code], a->m_BagCounts[code]) << code;
  EXPECT_FALSE(inCodeOrder);
  std::vector<int> before(a->m_Bag.begin(), a->m_Bag.end());
  EXPECT_EQ(a->p_GetTile(0), 29);
  EXPECT_EQ(a->m_BagPos, 200);
  EXPECT_EQ(std::vector<int>(a->m_Bag.begin(), a->m_Bag.end()), before);
  int t = a->p_GetTile(1); // refills first
  EXPECT_TRUE(t >= 1 && t <= 27);
  EXPECT_EQ(a->m_BagPos, 1);
  EXPECT_NE(std::vector<int>(a->m_Bag.begin(), a->m_Bag.end()), before);
}

} // namespace
