// tests/fuzz/game.cpp — the game's own files from memory. fuzz_saved_progress: any state file
// loaded, saved, loaded and saved again gives the same 403 fields twice. fuzz_word_list: any
// Lexorm.txt loaded and looked up as the reference reading below says.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/app.h"
#include "game/globals.h"
#include "game/my_app.h"
#include "host/game.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Host : ZuGame {
  std::string state, list; // the bytes of the saved state and of Lexorm.txt
  std::FILE* OpenFile(const String& path, const String& mode) override {
    if (mode != String("rb")) return nullptr;
    if (path.EndsWith(String("/Lexorm.txt"))) return MemFile(list.data(), list.size());
    return path == String("./.quokkastate") ? MemFile(state.data(), state.size()) : nullptr;
  }
  int SaveState(const String& text) override {
    state = text.ToUtf8(); // as ZuGame::SaveState writes it
    return 0;
  }
} * host;

c_MyApp* game;
String initial; // a new game's save text to its best words, which every load empties

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SilenceStdout();
  host = new Host;
  zu_app_InitGlobals();
  zu_Tessel_InitGlobals();
  game = (new c_MyApp)->m_new();
  gc_init2();
  const std::string text = game->p_SaveText().ToUtf8();
  std::size_t end = 0;
  for (int field = 0; field < 98; ++field) end = text.find('|', end) + 1;
  initial = String(text.data(), static_cast<int>(end));
  return 0;
}

#ifdef FUZZ_SAVED_PROGRESS
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  game->p_LoadText(initial); // every field that a load can leave
  host->state.assign(reinterpret_cast<const char*>(data), size);
  auto save = [] { return game->p_Load(), host->state.clear(), game->p_Save(), host->state; };
  const std::string first = save(), second = save();
  const long fields = std::count(first.begin(), first.end(), '|');
  const std::size_t at =
      std::mismatch(first.begin(), first.end(), second.begin(), second.end()).first - first.begin();
  FUZZ_CHECK(fields == 403 && first == second, "%ld fields; from byte %zu: %.60s\nagainst %.60s", fields, at,
             first.c_str() + at, second.c_str() + std::min(at, second.size()));
  CollectEverything();
  return 0;
}
#else
static const std::uint8_t* in;
static std::uint32_t Int(std::size_t i) {
  return in[4 * i] | in[4 * i + 1] << 8 | in[4 * i + 2] << 16 | std::uint32_t{in[4 * i + 3]} << 24;
}

// The letters of a pair in order; for `word`, only when they fill its first codes.
static std::string Letters(std::size_t pair, bool word) {
  std::string w;
  for (int k = 0; k < 12; ++k) {
    const int code = Int(2 * pair + k / 6) >> (5 * (k % 6)) & 31;
    if (code && word && static_cast<int>(w.size()) < k) return std::string();
    if (code) w += static_cast<char>('@' + code);
  }
  return w;
}

static bool Fits(const std::string& word, const std::string& asked) {
  for (std::size_t i = 0; i < asked.size() && word.size() == asked.size(); ++i)
    if ((asked[i] & ~32) >= 'A' && (asked[i] & ~32) <= 'Z' && word[i] != (asked[i] & ~32)) return false;
  return word.size() == asked.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return -1;
  host->list.assign(reinterpret_cast<const char*>(data), size);
  in = data;
  game->m_BankState = game->m_BankNext = game->m_BankCount = 0; // no list loaded yet
  gc_assign(game->m_BankBuffer, static_cast<c_DataBuffer*>(nullptr));
  for (int calls = 0; (calls == 0 || game->m_BankState == 1) && calls < 10000; ++calls) game->p_BankLoad();

  // The reference reading: whole pairs in order, a pair with anything but letter codes skipped,
  // as many as the store holds; with no word among them there is no list.
  auto letters = [](std::uint32_t v) {
    for (int k = 0; k < 6; ++k)
      if ((v >> (5 * k) & 31) > 26) return false;
    return v >> 30 == 0;
  };
  std::vector<std::size_t> kept; // pairs of the file, in order
  bool word = false;
  for (std::size_t p = 0; p < size / 8 && 2 * kept.size() + 2 <= std::size_t(game->m_WordStore.Length()); ++p)
    if (letters(Int(2 * p)) && letters(Int(2 * p + 1)))
      kept.push_back(p), word = word || !Letters(p, true).empty();
  const bool list = word;
  FUZZ_CHECK(game->m_BankState == (list ? 2 : 0), "state %d for %zu pairs kept", game->m_BankState,
             kept.size());
  FUZZ_CHECK(game->m_BankCount == (list ? static_cast<int>(2 * kept.size()) : 0), "%d entries for %zu pairs",
             game->m_BankCount, kept.size());
  for (std::size_t i = 0; list && i < kept.size(); ++i)
    for (int half = 0; half < 2; ++half)
      FUZZ_CHECK(static_cast<std::uint32_t>(game->m_WordStore[static_cast<int>(2 * i + half)]) ==
                     Int(2 * kept[i] + half),
                 "entry %zu", 2 * i + half);
  // The letters of the first pairs as they are, with a blank and in lower case.
  std::vector<std::string> asked{"AB"};
  for (std::size_t p = 0; p < size / 8 && p < 8; ++p) {
    std::string w = Letters(p, false), blank = w, lower = w;
    if (!w.empty()) blank[data[p] % w.size()] = '[';
    for (char& c : lower) c = static_cast<char>(c | 32);
    asked.insert(asked.end(), {w, blank, lower});
  }
  for (const std::string& w : asked) {
    std::string first = list ? "" : "N/A";
    for (std::size_t i = 0; list && i < kept.size() && first.empty() && w.size() >= 2; ++i)
      if (Fits(Letters(kept[i], true), w)) first = Letters(kept[i], true);
    const std::string found = game->p_CheckWord(String(w.c_str())).ToUtf8();
    FUZZ_CHECK(found == first, "\"%s\" found for \"%s\", not \"%s\"", found.c_str(), w.c_str(),
               first.c_str());
  }
  CollectEverything();
  return 0;
}
#endif
