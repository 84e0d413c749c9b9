// tests/fuzz/word_list.cpp — libFuzzer harness for the word list: the input is written as the
// data folder's Lexorm.txt and loaded the way the game loads it, a slice a call (p_BankLoad),
// then looked up (p_CheckWord). The list is pairs of little-endian 32-bit integers, six 5-bit
// letter codes (1..26 for A..Z, 0 for none) in each; the game takes the whole integers its
// store holds, or none of them when one is not six codes of 0..26. A pair holds a word when
// its letters fill its first codes and only empty codes follow. A lookup gives the first word
// of the list that has the length asked for and the letters asked for where they are given
// ("[" or any other non-letter is a blank), or "" when none has.
// Depends on: game (c_MyApp), game_host.h, fuzz_support.h.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/game_host.h"

namespace {

std::uint32_t IntAt(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool SixCodes(std::uint32_t v) {
  if (v >> 30) return false;
  for (int k = 0; k < 6; ++k)
    if ((v >> (5 * k) & 31) > 26) return false;
  return true;
}

// The word a pair holds: its letters when they fill its first codes and only empty codes
// follow; "" for any other pair.
std::string Word(std::uint32_t a, std::uint32_t b) {
  std::string w;
  bool ended = false;
  for (std::uint32_t half : {a, b})
    for (int k = 0; k < 6; ++k) {
      const int code = static_cast<int>(half >> (5 * k) & 31);
      if (code == 0)
        ended = true;
      else if (ended)
        return std::string();
      else
        w += static_cast<char>('@' + code);
    }
  return w;
}

// The letters of a pair in order, its empty codes left out (as the game shows a pair).
std::string Letters(std::uint32_t a, std::uint32_t b) {
  std::string w;
  for (std::uint32_t half : {a, b})
    for (int k = 0; k < 6; ++k)
      if (half >> (5 * k) & 31) w += static_cast<char>('@' + (half >> (5 * k) & 31));
  return w;
}

// Whether a word fits what was asked: the same length, the same letters where given.
bool Fits(const std::string& word, const std::string& asked) {
  if (word.size() != asked.size()) return false;
  for (std::size_t i = 0; i < asked.size(); ++i) {
    char c = asked[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c >= 'A' && c <= 'Z' && word[i] != c) return false;
  }
  return true;
}

int stored = 0; // store entries the last list filled, cleared before the next

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzGame();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return -1;
  c_MyApp* game = FuzzGame();
  std::ofstream(g_host->dataDir + "/Lexorm.txt", std::ios::binary)
      .write(reinterpret_cast<const char*>(data), size);
  // A game that has not loaded a list yet.
  game->m_BankState = game->m_BankNext = game->m_BankCount = 0;
  gc_assign(game->m_BankBuffer, static_cast<c_DataBuffer*>(nullptr));
  for (int i = 0; i < stored; ++i) game->m_WordStore[i] = 0;
  int calls = 0;
  do game->p_BankLoad();
  while (game->m_BankState == 1 && ++calls < 10000);

  std::size_t ints = size / 4;
  if (ints > static_cast<std::size_t>(game->m_WordStore.Length())) ints = game->m_WordStore.Length();
  bool list = true;
  for (std::size_t i = 0; i < ints; ++i) list = list && SixCodes(IntAt(data + 4 * i));
  stored = static_cast<int>(ints);
  if (!list) {
    FUZZ_CHECK(game->m_BankState == 0 && game->m_BankCount == 0, "not a list, yet state %d with %d entries",
               game->m_BankState, game->m_BankCount);
    FUZZ_CHECK(game->p_CheckWord(String("AB")) == String("N/A"), "a lookup without a list");
    CollectEverything();
    return 0;
  }
  FUZZ_CHECK(game->m_BankState == 2 && game->m_BankCount == static_cast<int>(ints),
             "state %d with %d entries of %zu", game->m_BankState, game->m_BankCount, ints);
  for (std::size_t i = 0; i < ints; ++i)
    FUZZ_CHECK(static_cast<std::uint32_t>(game->m_WordStore[static_cast<int>(i)]) == IntAt(data + 4 * i),
               "entry %zu is not the file's", i);

  // The letters of some pairs as they are, with one blank and in lower case; and a few words
  // made of the input's bytes (letters and blanks).
  std::vector<std::string> asked;
  const std::size_t pairs = ints / 2;
  InputRandom rng(size > 0 ? data[0] | data[size - 1] << 8 : 1);
  for (int n = 0; n < 8 && pairs > 0; ++n) {
    const std::size_t p =
        n < 4 ? static_cast<std::size_t>(n) % pairs : rng.Below(static_cast<std::uint32_t>(pairs));
    const std::string w = Letters(IntAt(data + 8 * p), IntAt(data + 8 * p + 4));
    if (w.size() < 2) continue;
    asked.push_back(w);
    std::string blank = w;
    blank[rng.Below(static_cast<std::uint32_t>(w.size()))] = '[';
    asked.push_back(blank);
    std::string lower = w;
    for (char& c : lower) c = static_cast<char>(c + 32);
    asked.push_back(lower);
  }
  for (int n = 0; n < 4 && size > 0; ++n) {
    std::string w;
    for (std::uint32_t k = 0, len = 2 + rng.Below(11); k < len; ++k)
      w += static_cast<char>('A' + data[rng.Below(static_cast<std::uint32_t>(size))] % 27);
    asked.push_back(w);
  }
  for (const std::string& w : asked) {
    const std::string found = game->p_CheckWord(String(w.c_str())).ToUtf8();
    std::string first; // the first word of the list that fits
    for (std::size_t p = 0; p < pairs && first.empty(); ++p) {
      const std::string word = Word(IntAt(data + 8 * p), IntAt(data + 8 * p + 4));
      if (!word.empty() && Fits(word, w)) first = word;
    }
    FUZZ_CHECK(found.empty() || Fits(found, w), "\"%s\" found for \"%s\"", found.c_str(), w.c_str());
    FUZZ_CHECK(found == first, "\"%s\" found for \"%s\"; the first word that fits is \"%s\"", found.c_str(),
               w.c_str(), first.c_str());
  }
  CollectEverything();
  return 0;
}
