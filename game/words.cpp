// game/words.cpp — the word bank and word rules: the letter table, sliced loading of the packed
// word list, lookups with masks and blanks, scores, the letter bag and the word being formed.
// Depends on: my_app.h, net (c_DataBuffer), host (path resolution), app (random), runtime.
#include <cmath>
#include <cstdint>
#include <set>
#include <string>

#include "app/random.h"
#include "host/game.h"
#include "my_app.h"
#include "runtime/errors.h"

namespace {

const char kWordListPath[] = "quokka://data/Lexorm.txt";
constexpr int kSliceInts = 4096;  // integers copied per update while loading
constexpr int kMinWordLength = 2; // words looked up in the list
constexpr int kMaxWordLength = 12;

// The word list file as the host finds it on disk.
String ListPath() {
  String where = ZuGame::_game ? ZuGame::_game->PathToFilePath(String(kWordListPath)) : String();
  return where.Length() == 0 ? String(kWordListPath) : where;
}

// Says once per reason, on one line, what is wrong with the word list file.
void SayListDamaged(const char* why) {
  static std::set<std::string> said;
  if (!said.insert(why).second) return;
  zuPrint(String("Word list not loaded (") + String(why) + String("): ") + ListPath());
}

std::uint32_t ReadInt(const unsigned char* p) { // little-endian
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// True when a list integer holds six 5-bit letter codes 0..26 and nothing above them.
bool PacksLetters(std::uint32_t v) {
  if (v >> 30) return false;
  for (int k = 0; k < 6; ++k)
    if ((v >> (5 * k) & 31) > 26) return false;
  return true;
}

// Tile codes 1..26 are A..Z, 27 the blank: tiles of each code in a fresh bag (200), and points.
// clang-format off
const int kTileCounts[28] = {0,
//  A   B  C  D  E   F  G  H  I   J  K  L  M  N   O   P  Q  R   S  T   U  V  W  X  Y  Z  [
    18, 5, 5, 8, 24, 4, 6, 4, 17, 2, 2, 8, 4, 13, 14, 4, 2, 12, 8, 12, 8, 4, 4, 2, 4, 2, 4};
const int kTileValues[29] = {0,
    1,  3, 3, 2, 1,  4, 2, 4, 1,  7, 5, 4, 3, 2,  1,  3, 8, 1,  1, 1,  2, 5, 4, 6, 4, 8, 0, 0};
// clang-format on

// The letters of a packed pair, in order; zero fields are skipped.
String Unpack(int first, int second) {
  char16_t letters[kMaxWordLength];
  int n = 0;
  const std::uint32_t halves[2] = {static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(second)};
  for (std::uint32_t half : halves)
    for (int k = 0; k < 6; ++k) {
      std::uint32_t v = (half >> (5 * k)) & 31u;
      if (v != 0) letters[n++] = static_cast<char16_t>(64 + v);
    }
  return String(letters, n);
}

// A pair that spells a word: one to twelve letters from its first code on, none after a gap.
bool IsWord(std::uint32_t first, std::uint32_t second) {
  const std::uint32_t halves[2] = {first, second};
  bool ended = false;
  int n = 0;
  for (std::uint32_t half : halves)
    for (int k = 0; k < 6; ++k) {
      const bool letter = ((half >> (5 * k)) & 31u) != 0;
      if (letter && ended) return false;
      ended = ended || !letter;
      n += letter ? 1 : 0;
    }
  return n > 0;
}

// How many letters a packed pair holds.
int PackedLength(int first, int second) {
  int n = 0;
  const std::uint32_t halves[2] = {static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(second)};
  for (std::uint32_t half : halves)
    for (int k = 0; k < 6; ++k)
      if ((half >> (5 * k)) & 31u) ++n;
  return n;
}

} // namespace

// ============================================================================
// [SECTION] Letter table
// ============================================================================

void c_MyApp::p_InitLetterTables() {
  gc_assign(m_BagCounts, Array<int>(kTileCounts, 28));
  gc_assign(m_LetterValues, Array<int>(kTileValues, 29));
}

String c_MyApp::p_Chr(int code) {
  char16_t c = static_cast<char16_t>(code);
  return String(&c, 1);
}

// ============================================================================
// [SECTION] Loading the word list
// ============================================================================

int c_MyApp::p_BankLoad() {
  if (m_BankState == 0) {
    c_DataBuffer* buffer = c_DataBuffer::m_Load(String(kWordListPath));
    if (!buffer) {
      if (!m_BankMissingSaid) {
        zuPrint(String("Word list not found: ") + ListPath());
        m_BankMissingSaid = 1;
      }
      return 0;
    }
    gc_assign(m_BankBuffer, buffer);
    m_BankNext = m_BankCount = m_BankSkipped = m_BankWords = 0;
    m_BankState = 1;
    // Words are pairs of integers: a cut file keeps its whole words and says so.
    if (buffer->length % 8 != 0) SayListDamaged("cut short: whole words only");
  }
  if (!m_BankBuffer) return 0;
  // Pair by pair: only whole pairs are read (a trailing part of one is dropped), a pair that
  // holds anything but letter codes is skipped, and the store takes as many pairs as it holds.
  const unsigned char* bytes = m_BankBuffer->data;
  const int pairs = m_BankBuffer->length / 8;
  const int room = m_WordStore.Length() / 2;
  bool done = false;
  for (int k = 0; k < kSliceInts / 2; ++k) {
    const int pair = m_BankNext / 2;
    if (pair >= pairs || m_BankCount / 2 >= room) {
      done = true;
      break;
    }
    const std::uint32_t first = ReadInt(bytes + 8 * static_cast<std::size_t>(pair)),
                        second = ReadInt(bytes + 8 * static_cast<std::size_t>(pair) + 4);
    m_BankNext += 2;
    if (!PacksLetters(first) || !PacksLetters(second)) {
      ++m_BankSkipped;
      continue;
    }
    m_WordStore[m_BankCount++] = static_cast<int>(first);
    m_WordStore[m_BankCount++] = static_cast<int>(second);
    m_BankWords += IsWord(first, second) ? 1 : 0;
  }
  if (!done) return 0;
  // The list is in the store: its file's bytes are not needed any more.
  m_BankBuffer->Discard();
  gc_assign(m_BankBuffer, static_cast<c_DataBuffer*>(nullptr));
  if (m_BankWords == 0) {
    // Not a word list: the game goes on as without one.
    SayListDamaged("not a word list");
    m_BankState = 0;
    m_BankCount = 0;
    return 0;
  }
  m_BankState = 2;
  if (m_BankSkipped > 0)
    zuPrint(String("Word list damaged (") + String(m_BankSkipped) +
            String(m_BankSkipped == 1 ? " entry" : " entries") + String(" skipped, ") + String(m_BankWords) +
            String(m_BankWords == 1 ? " word" : " words") + String(" kept): ") + ListPath());
  return 0;
}

// ============================================================================
// [SECTION] Lookups and scores
// ============================================================================

String c_MyApp::p_GetWord(int first, int second) {
  if (m_BankState == 0) return String("N/A");
  if (m_BankState == 1) return String("Loading ") + String(m_BankCount);
  return Unpack(first, second);
}

String c_MyApp::p_CheckWord(String word) {
  if (m_BankState == 0) return String("N/A");
  if (m_BankState == 1) return String("Loading ") + String(m_BankCount);
  const int length = word.Length();
  if (length < kMinWordLength || length > kMaxWordLength) return String();
  String upper = word.ToUpper();
  // A word of the list fills the first codes of its pair, `length` letters, and nothing follows.
  std::uint32_t target[2] = {0, 0}, mask[2] = {0, 0}, filled[2] = {0, 0};
  for (int i = 0; i < length; ++i) {
    const int shift = 5 * (i % 6);
    filled[i / 6] |= 31u << shift;
    char16_t c = upper[i];
    if (c < u'A' || c > u'Z') continue; // a blank or any other character matches any letter
    target[i / 6] |= static_cast<std::uint32_t>(c - 64) << shift;
    mask[i / 6] |= 31u << shift;
  }
  // Only complete pairs inside the loaded part of the store are scanned.
  int count = m_BankCount;
  if (count > m_WordStore.Length()) count = m_WordStore.Length();
  const int* store = m_WordStore.begin();
  for (int i = 0; i + 1 < count; i += 2) {
    const std::uint32_t a = static_cast<std::uint32_t>(store[i]),
                        b = static_cast<std::uint32_t>(store[i + 1]);
    if ((a & mask[0]) != target[0] || (b & mask[1]) != target[1]) continue;
    // Codes past the word's length, or an empty one inside it (a damaged list), are no word.
    if ((a & ~filled[0]) != 0 || (b & ~filled[1]) != 0) continue;
    if (PackedLength(store[i], store[i + 1]) == length) return Unpack(store[i], store[i + 1]);
  }
  return String();
}

int c_MyApp::p_ScoreWord(String word) {
  String found = p_CheckWord(word);
  if (found.Length() == 0 || word.Length() == 0) return 0;
  const int n = found.Length();
  int sum = 0;
  for (int i = 0; i < n && i < word.Length(); ++i) {
    const char16_t c = word[i];
    if (c >= u'A' && c <= u'[') sum += m_LetterValues[c - 64];
  }
  return n * sum;
}

// ============================================================================
// [SECTION] The word being formed
// ============================================================================

int c_MyApp::p_CompleteWord() {
  m_Player[PL_WORD_END] = 1;
  m_WordScore = p_ScoreWord(m_Word);
  if (m_WordScore == 0) {
    p_PlaySFX(11, 1, 1, 0);
  } else {
    p_PlaySFX(10, 1, 1, 0);
    m_Player[PL_WORD_END] = 2;
    m_Score += m_WordScore;
  }
  m_LastWord = m_Word;
  m_LastWordScore = m_WordScore;
  m_Word = String();
  return 0;
}

int c_MyApp::p_AddLetter(int x, int y) {
  // A cell outside the grid array is never read or taken.
  const long long cell = static_cast<long long>(x) + static_cast<long long>(kGridStride) * y;
  const long long record = cell * kCellFloats;
  if (cell < 0 || record + kCellFloats > m_Grid.Length()) return 0;
  const float v = m_Grid[static_cast<int>(record)];
  m_CellIndex = static_cast<int>(record);
  if (!(v > 0 && v < 28) || m_Word.Length() >= kMaxFormedLength) return 0;
  m_Grid[m_CellIndex + kCellTaken] = 1;
  const float r1 = zu_random_Rnd();
  const float r2 = zu_random_Rnd();
  p_PlaySFX(1 + static_cast<int>(std::floor(5.99f * r2)), 0.8f + 0.4f * r1, 1, 0);
  m_Word += p_Chr(64 + static_cast<int>(v));
  const int n = m_Word.Length();
  m_Player[PL_LAST_X] = static_cast<float>(x);
  m_Player[PL_LAST_Y] = static_cast<float>(y);
  m_Player[PL_CHAIN_X + n] = static_cast<float>(x);
  m_Player[PL_CHAIN_Y + n] = static_cast<float>(y);
  return 0;
}

// ============================================================================
// [SECTION] The letter bag
// ============================================================================

int c_MyApp::p_NewBag() {
  p_SeedRnd(SEED_FROM_CLOCK);
  int n = 0;
  for (int code = 1; code <= 27; ++code)
    for (int c = 0; c < m_BagCounts[code] && n < m_Bag.Length(); ++c) m_Bag[n++] = code;
  for (int i = 0; i < n; ++i) {
    int j = p_Rand(0, n - 1);
    if (j < 0 || j >= n) j = i;
    const int t = m_Bag[i];
    m_Bag[i] = m_Bag[j];
    m_Bag[j] = t;
  }
  m_BagSize = n - 1;
  m_BagPos = 0;
  return 0;
}

int c_MyApp::p_GetTile(int mode) {
  if (m_BagPos > m_BagSize) {
    if (mode != 1) return 29;
    p_NewBag();
  }
  if (m_BagPos < 0 || m_BagPos >= m_Bag.Length()) return 29;
  return m_Bag[m_BagPos++];
}
