// tests/fuzz/saved_progress.cpp — libFuzzer harness for the game's saved progress: the input is
// the state file (read through ZuGame::LoadState, so String::Load, and c_MyApp::p_Load), then
// saved, loaded again and saved again: the two saves must be the same bytes, with every field
// of the layout present. Each input starts from the game's initial progress.
// Depends on: game (c_MyApp), game_host.h, fuzz_support.h.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/game_host.h"

namespace {

constexpr int kSaveFields = 403; // settings 25 + 1, badges 8 + 1, scores 8 x 21, words 2 x 100

// The fields the save text holds, to put back before each input.
struct Progress {
  std::vector<int> settings, highScores, wordScores;
  std::vector<bool> badges;
  std::vector<String> words;
};

template <class T, class V> void Copy(const Array<T>& from, std::vector<V>& to) {
  to.assign(from.begin(), from.end());
}
template <class T, class V> void Copy(const std::vector<V>& from, Array<T>& to) {
  for (std::size_t i = 0; i < from.size(); ++i) to[static_cast<int>(i)] = from[i];
}

Progress Take(c_MyApp* a) {
  Progress p;
  Copy(a->m_Settings, p.settings);
  Copy(a->m_HighScores, p.highScores);
  Copy(a->m_BestWordScores, p.wordScores);
  Copy(a->m_Badges, p.badges);
  Copy(a->m_BestWords, p.words);
  return p;
}

void Put(c_MyApp* a, const Progress& p) {
  Copy(p.settings, a->m_Settings);
  Copy(p.highScores, a->m_HighScores);
  Copy(p.wordScores, a->m_BestWordScores);
  Copy(p.badges, a->m_Badges);
  Copy(p.words, a->m_BestWords);
}

Progress initial;

// Saves and returns the bytes the host was given.
std::string Save(c_MyApp* a) {
  g_host->state.clear();
  a->p_Save();
  return g_host->state;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initial = Take(FuzzGame());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  c_MyApp* game = FuzzGame();
  Put(game, initial);
  g_host->state.assign(reinterpret_cast<const char*>(data), size);
  game->p_Load();
  const std::string first = Save(game);
  game->p_Load();
  const std::string second = Save(game);
  FUZZ_CHECK(std::count(first.begin(), first.end(), '|') == kSaveFields, "a save of %d fields, not %d",
             static_cast<int>(std::count(first.begin(), first.end(), '|')), kSaveFields);
  if (first != second) {
    std::size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
    FUZZ_CHECK(
        first == second, "the save of the loaded save differs from byte %zu: ...%s... against ...%s...", at,
        first.substr(at > 20 ? at - 20 : 0, 60).c_str(), second.substr(at > 20 ? at - 20 : 0, 60).c_str());
  }
  CollectEverything();
  return 0;
}
