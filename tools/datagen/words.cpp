// tools/datagen/words.cpp — the packed word list Lexorm.txt and its licence file, built from
// the SCOWL lists of the Debian package scowl.
// Depends on: common.h (WriteFile), the files of the scowl package.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "common.h"

namespace {

const char* const kScowlDir = "/usr/share/dict/scowl";
const char* const kScowlNotices = "/usr/share/doc/scowl/copyright";
// Size levels up to 50, most common first; each level has a British-and-American list and
// an American one.
const int kLevels[] = {10, 20, 35, 40, 50};
const char* const kLists[] = {"english-words", "american-words"};

// Two to twelve plain lower-case letters: no capitals (proper nouns, abbreviations), no
// apostrophes (possessives), no accented letters.
bool Playable(const std::string& w) {
  if (w.size() < 2 || w.size() > 12) return false;
  for (char c : w)
    if (c < 'a' || c > 'z') return false;
  return true;
}

// Adds the playable words of one list file; false (after printing why) when it cannot be read.
bool ReadList(const std::string& path, std::vector<std::string>& words) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "datagen: cannot read %s (the scowl package provides it)\n", path.c_str());
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Playable(line)) words.push_back(line);
  }
  if (in.bad()) {
    std::fprintf(stderr, "datagen: error reading %s\n", path.c_str());
    return false;
  }
  return true;
}

// Letter k (from 0) of the word in bits 5k..5k+4 of the first integer for k < 6, of the
// second for k = 6..11; A = 1 ... Z = 26. Both little-endian.
void Pack(const std::string& upper, std::vector<uint8_t>& out) {
  uint32_t pair[2] = {0, 0};
  for (size_t k = 0; k < upper.size(); ++k)
    pair[k / 6] |= static_cast<uint32_t>(upper[k] - 'A' + 1) << (5 * (k % 6));
  for (uint32_t v : pair)
    for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(v >> (8 * b)));
}

bool WriteLicence(const std::string& out) {
  std::ifstream in(kScowlNotices, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "datagen: cannot read %s (the scowl package provides it)\n", kScowlNotices);
    return false;
  }
  std::ostringstream text;
  text << "Lexorm.txt, the game's word list, is made from SCOWL (Spell Checker Oriented\n"
          "Word Lists) by Kevin Atkinson and others: the words of the English and American\n"
          "lists of size levels 10 to 50, upper-cased and packed. The notices that come with\n"
          "SCOWL follow, as the Debian package scowl ships them.\n\n"
       << in.rdbuf();
  return datagen::WriteFile(out + "/WORDS-LICENSE.txt", text.str());
}

} // namespace

bool GenerateWords(const std::string& out) {
  std::unordered_set<std::string> seen;
  std::vector<uint8_t> packed;
  for (int level : kLevels) {
    std::vector<std::string> words;
    for (const char* list : kLists)
      if (!ReadList(std::string(kScowlDir) + "/" + list + "." + std::to_string(level), words)) return false;
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    for (std::string& w : words) {
      if (!seen.insert(w).second) continue; // already in a more common level
      for (char& c : w) c = static_cast<char>(c - 'a' + 'A');
      Pack(w, packed);
    }
  }
  if (packed.empty()) {
    std::fprintf(stderr, "datagen: the SCOWL lists in %s hold no words\n", kScowlDir);
    return false;
  }
  return datagen::WriteFile(out + "/Lexorm.txt", packed.data(), packed.size()) && WriteLicence(out);
}
