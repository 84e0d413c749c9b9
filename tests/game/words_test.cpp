// tests/game/words_test.cpp — the word bank and word rules: lookups with blanks and scores,
// loading in slices, truncated and oversized lists, the word being formed and the letter bag.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "app/random.h"
#include "tests/game/game_support.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

namespace {

using Ints = std::vector<std::uint32_t>;

// Packing as the list format has it: letter k of each half in bits 5k..5k+4, little-endian.
Ints Pack(const std::string& word) {
  Ints half = {0, 0};
  for (size_t i = 0; i < word.size(); ++i)
    half[i / 6] |= static_cast<std::uint32_t>(word[i] - 64) << (5 * (i % 6));
  return half;
}

std::string Bytes(const Ints& ints) {
  std::string out;
  for (std::uint32_t v : ints)
    for (int b = 0; b < 4; ++b) out += static_cast<char>((v >> (8 * b)) & 0xff);
  return out;
}

std::string ListOf(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += Bytes(Pack(w));
  return out;
}

std::string Check(const char* word) { return Game()->p_CheckWord(String(word)).ToUtf8(); }
int Score(const char* word) { return Game()->p_ScoreWord(String(word)); }
int Value(char c) { return Game()->m_LetterValues[c - 64]; }

// Writes the list file, forgets any list loaded before and makes `loads` loading calls (-1: to the end).
c_MyApp* Load(const std::string& bytes, int loads = -1) {
  c_MyApp* a = Game();
  WriteFile(host->dataDir / "Lexorm.txt", bytes);
  a->m_BankState = a->m_BankNext = a->m_BankCount = 0;
  gc_assign(a->m_BankBuffer, static_cast<c_DataBuffer*>(nullptr));
  for (int& v : a->m_WordStore) v = 0;
  for (int n = 0; n != loads && n < 100000 && (n == 0 || a->m_BankState == 1); ++n) a->p_BankLoad();
  return a;
}

const std::vector<std::string> kList = {"CATS", "BATH", "OX",           "HAT",          "BAT", "CAT",
                                        "DOG",  "AT",   "ABCDEFGHIJKL", "MNOPQRSTUVWX", "YZ"};

// [SECTION] Lookups and scores

TEST(WordRules, LookupsTakeTwoToTwelveLettersAndBlanksTakeTheFirstWordOfTheirLength) {
  c_MyApp* a = Load(ListOf(kList));
  EXPECT_EQ(a->m_BankCount, 2 * static_cast<int>(kList.size()));
  EXPECT_EQ(Check("cat"), "CAT");
  // A score is the found word's length times the points of the letters given; "[" is a blank
  // worth 0. A..L and M..X are worth 37 points each, Y and Z 4 and 8. BATH comes before HAT
  // but is longer.
  // clang-format off
  const std::tuple<const char*, const char*, int> probes[] = {
      {"CAT", "CAT", 3 * (3 + 1 + 1)}, {"A", "", 0}, {"ABCDEFGHIJKLM", "", 0},
      {"ABCDEFGHIJKL", "ABCDEFGHIJKL", 12 * 37}, {"MNOPQRSTUVWX", "MNOPQRSTUVWX", 12 * 37},
      {"YZ", "YZ", 2 * (4 + 8)}, {"[AT", "HAT", 3 * (0 + 1 + 1)}, {"C[T", "CAT", 3 * (3 + 0 + 1)},
      {"[[", "OX", 0}, {"[[Z", "", 0}};
  // clang-format on
  for (const auto& [word, found, score] : probes) {
    EXPECT_EQ(Check(word), found) << word;
    EXPECT_EQ(Score(word), score) << word;
  }
  EXPECT_EQ(a->p_GetWord(static_cast<int>(Pack("DOG")[0]), 0).ToUtf8(), "DOG");

  Load(ListOf({"CATS", "DOG"})); // a longer word with the same start is no match
  EXPECT_EQ(Check("CAT") + Check("CATS"), "CATS");
  EXPECT_EQ(Score("CAT"), 0);

  // A damaged pair, A, an empty code, B: no word, whatever the blanks.
  Load(Bytes({1u | 2u << 10, 0}) + ListOf({"OX"}));
  EXPECT_EQ(Check("A[") + "," + Check("[[") + "," + Check("AB"), ",OX,");
}

TEST(WordRules, WithoutAListWordsAnswerNAOrTheCountLoadedBeforeTheSlice) {
  c_MyApp* a = Load("", 0);
  std::remove((host->dataDir / "Lexorm.txt").c_str());
  const std::string out = StdoutOf([a] { a->p_BankLoad(), a->p_BankLoad(); });
  EXPECT_EQ(out, "Word list not found: " + (host->dataDir / "Lexorm.txt").string() + "\n"); // said once
  EXPECT_EQ(Check("CAT"), "N/A");
  EXPECT_EQ(Score("CAT"), 3 * (3 + 1 + 1)); // scored as three letters
  EXPECT_EQ(Score("Q"), 3 * 8);
  EXPECT_EQ(Score(""), 0);

  std::vector<std::string> words(5000, "ZZ"); // 10,002 integers: three slices of 4096
  words.push_back("CAT");
  Load(ListOf(words), 1);
  EXPECT_EQ(Check("CAT"), "Loading 0");
  a->p_BankLoad();
  EXPECT_EQ(Check("CAT"), "Loading 4096");
  EXPECT_EQ(a->p_GetWord(1, 0).ToUtf8(), "Loading 4096");
  EXPECT_EQ(Score("CAT"), 12 * (Value('C') + Value('A') + Value('T'))); // "Loading 4096" is 12 long
  a->p_BankLoad();
  a->p_BankLoad(); // loading again finds nothing left to copy
  EXPECT_EQ(a->m_BankState, 2);
  EXPECT_EQ(a->m_BankCount, 10002);
  EXPECT_EQ(a->m_BankBuffer, nullptr); // the file's bytes are let go once the list is in
  EXPECT_EQ(Check("CAT"), "CAT");
}

// [SECTION] Truncated and oversized lists (run under the sanitizers)

// A cut list keeps its whole words and says so once; one holding anything but letter codes is
// no word list: said once, and the game goes on without a list.
TEST(WordBank, OnlyWholeIntegersAreCopiedAndOnlyWholePairsRead) {
  c_MyApp* a = Game(); // the host and its data folder, also when this test runs alone
  const std::string file = (host->dataDir / "Lexorm.txt").string();
  std::string out =
      StdoutOf([&] { a = Load(ListOf({"CAT"}) + "AB"), Load(ListOf({"CAT"}) + "AB"); }); // 10 bytes
  EXPECT_EQ(out, "Word list not loaded (cut short: whole words only): " + file + "\n");
  EXPECT_EQ(a->m_BankCount, 2);
  EXPECT_EQ(a->m_WordStore[2], 0);
  EXPECT_EQ(Check("CAT"), "CAT");
  // Half a pair after DOG: CAT if it were paired with the zero after it.
  Load(ListOf({"DOG"}) + Bytes({Pack("CAT")[0]}));
  EXPECT_EQ(a->m_BankCount, 3);
  EXPECT_EQ(Check("CAT") + Check("DOG"), "DOG");

  out = StdoutOf([&] {
    Load(ListOf({"CAT", "DOG"}) + Bytes({0xFFFFFFFFu, 0})), Load(Bytes({31u << 25, 0}));
  });
  EXPECT_EQ(out, "Word list not loaded (not a word list): " + file + "\n");
  EXPECT_EQ(a->m_BankState, 0);
  EXPECT_EQ(Check("CAT"), "N/A");
}

TEST(WordBank, AnOversizedListStopsAtTheStoreCapacity) {
  const int capacity = Game()->m_WordStore.Length(); // odd: its last integer has no partner
  Ints ints(10000032 / 4, 0);
  ASSERT_GT(static_cast<int>(ints.size()), capacity);
  auto put = [&](int at, const char* w) { ints[at] = Pack(w)[0], ints[at + 1] = Pack(w)[1]; };
  put(capacity - 3, "ZZ"); // the last complete pair in the store
  put(capacity - 1, "QQ"); // straddles the end of the store
  put(capacity + 1, "XX"); // entirely beyond it
  c_MyApp* a = Load(Bytes(ints));
  EXPECT_EQ(a->m_BankState, 2);
  EXPECT_EQ(a->m_BankCount, capacity);
  EXPECT_EQ(Check("ZZ") + Check("QQ") + Check("XX"), "ZZ");
  EXPECT_EQ(Check("[[[[[[[[[[[["), ""); // a full scan of the store
}

// [SECTION] The word being formed and the bag

TEST(WordForming, TheTwentiethTileIsRefusedAndAFinishedWordScores) {
  c_MyApp* a = Load(ListOf(kList));
  a->m_Word = String();
  a->m_Score = 100;
  for (int x = 0; x < 20; ++x) a->m_Grid[10 * x] = 1 + x % 26, a->m_Grid[10 * x + 8] = 0;
  for (int x = 0; x < 19; ++x) a->p_AddLetter(x, 0);
  const int seed = zu_random_Seed;
  a->p_AddLetter(19, 0);
  a->p_AddLetter(-5, -100000000); // outside the grid
  EXPECT_EQ(a->m_Word.Length(), 19);
  EXPECT_EQ(a->m_Player[100 + 19], 18); // the path ends at the 19th tile
  EXPECT_EQ(a->m_Grid[10 * 19 + 8], 0); // the 20th is not taken
  EXPECT_EQ(zu_random_Seed, seed);      // and makes no pickup sound
  a->p_CompleteWord();
  EXPECT_EQ(a->m_Player[29], 1); // ended without a score
  EXPECT_EQ((std::vector<int>{a->m_LastWord.Length(), a->m_Word.Length()}), (std::vector<int>{19, 0}));

  a->m_Grid[0] = 15;  // O
  a->m_Grid[10] = 24; // X
  a->m_Grid[8] = a->m_Grid[18] = 0;
  a->p_AddLetter(0, 0);
  a->p_AddLetter(1, 0);
  a->p_CompleteWord();
  EXPECT_EQ(a->m_LastWord.ToUtf8(), "OX");
  EXPECT_EQ(a->m_LastWordScore, 2 * (Value('O') + Value('X')));
  EXPECT_EQ(a->m_Score, 100 + a->m_LastWordScore);
  EXPECT_EQ(a->m_Player[29], 2);
}

TEST(LetterBag, AFreshBagHoldsTheTableShuffledAndAnEmptyOneAnswers29) {
  c_MyApp* a = Game();
  host->tick = 7919; // each bag is shuffled from a new seed
  a->p_NewBag();
  ASSERT_EQ(a->m_BagSize, 199);
  std::vector<int> counts(28, 0); // a tile outside 1..27 throws
  for (int i = 0; i < 200; ++i) ++counts.at(a->p_GetTile(0));
  EXPECT_EQ(counts, std::vector<int>(a->m_BagCounts.begin(), a->m_BagCounts.end()));
  EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0), 200);
  EXPECT_FALSE(std::is_sorted(a->m_Bag.begin(), a->m_Bag.begin() + 200));
  auto bag = [a] { return std::vector<int>(a->m_Bag.begin(), a->m_Bag.end()); };
  const std::vector<int> before = bag();
  EXPECT_EQ(a->p_GetTile(0), 29);
  EXPECT_EQ(bag(), before); // mode 0 does not refill
  const int t = a->p_GetTile(1);
  EXPECT_TRUE(t >= 1 && t <= 27 && a->m_BagPos == 1) << t;
  EXPECT_NE(bag(), before);
}

} // namespace
