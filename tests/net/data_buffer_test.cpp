// tests/net/data_buffer_test.cpp — data buffers: filling, bytes, copies, strings, hostile ranges,
// loading through the host, and the collection of a buffer.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "host/game.h"
#include "net/data_buffer.h"
#include "tests/support/collector.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

namespace {

c_DataBuffer* NewBuffer(int length) { return (new c_DataBuffer)->m_new(length); }

c_DataBuffer* BufferOf(const std::string& bytes) {
  c_DataBuffer* b = NewBuffer(static_cast<int>(bytes.size()));
  if (!bytes.empty()) std::memcpy(b->data, bytes.data(), bytes.size());
  return b;
}

// The stored bytes as unsigned values, and as text.
std::vector<int> Bytes(const ZuDataBuffer* b) { return std::vector<int>(b->data, b->data + b->length); }
std::string Text(const ZuDataBuffer* b) { return std::string(reinterpret_cast<char*>(b->data), b->length); }

Array<int> ArrayOf(std::initializer_list<int> values) {
  std::vector<int> v(values);
  return Array<int>(v.data(), static_cast<int>(v.size()));
}
std::vector<int> Values(const Array<int>& a) { return std::vector<int>(a.begin(), a.end()); }
std::u16string Units(const String& s) { return std::u16string(s.Data(), s.Length()); }

const String kUtf8("utf8");
const String kAscii("ascii");

TEST(DataBufferFill, FillsOnceWithZeroedOrAdoptedBytesAndRefusesNegativeLengths) {
  int before = gc_ext_new_bytes.load();
  c_DataBuffer* b = new c_DataBuffer;
  EXPECT_EQ(b->m_new(5), b);
  EXPECT_EQ(gc_ext_new_bytes.load() - before, 5); // reported to the collector
  EXPECT_EQ(Bytes(b), (std::vector<int>{0, 0, 0, 0, 0}));
  void* block = std::malloc(3);
  EXPECT_FALSE(b->_New(3, block)); // refused: full, and the block stays the caller's
  EXPECT_FALSE(b->_New(3));
  EXPECT_EQ(b->length, 5);

  // An adopted block is kept as it is; the caller reports it itself.
  std::memcpy(block, "xyz", 3);
  ZuDataBuffer* adopted = new ZuDataBuffer;
  before = gc_ext_new_bytes.load();
  ASSERT_TRUE(adopted->_New(3, block));
  EXPECT_EQ(gc_ext_new_bytes.load(), before);
  EXPECT_EQ(adopted->data, block);

  ZuDataBuffer* z = new ZuDataBuffer;
  EXPECT_FALSE(z->_New(-1));
  void* kept = std::malloc(8);
  EXPECT_FALSE(z->_New(INT_MIN, kept)); // refused: the caller still owns it
  std::free(kept);
  EXPECT_TRUE(z->_New(0, std::malloc(1))); // adopted and freed (ASan would see a leak)
  EXPECT_EQ(z->data, nullptr);
  EXPECT_EQ(z->length, 0);
  // Discard empties the buffer, twice is harmless, and it may be filled again.
  adopted->Discard();
  adopted->Discard();
  EXPECT_EQ(adopted->data, nullptr);
  EXPECT_TRUE(adopted->_New(2));
  EXPECT_EQ(adopted->length, 2);
}

TEST(DataBufferFillDeath, AllocatingTwiceOrANegativeLengthIsARuntimeError) {
  EXPECT_RUNTIME_ERROR(NewBuffer(4)->m_new(0), "Allocate DataBuffer failed");
  EXPECT_RUNTIME_ERROR(NewBuffer(-1), "Allocate DataBuffer failed");
}

TEST(DataBufferBytes, PeekGivesSignedValuesAndPokeStoresTheLow8Bits) {
  c_DataBuffer* b = NewBuffer(8);
  b->p_PokeBytes(1, ArrayOf({65, -1, -128, 127, 256 + 66, INT_MIN, INT_MAX}), 0, 7);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0, 65, 0xFF, 0x80, 0x7F, 66, 0x00, 0xFF}));
  EXPECT_EQ(Values(b->p_PeekBytes2(1, 5)), (std::vector<int>{65, -1, -128, 127, 66}));

  Array<int> out = ArrayOf({9, 9, 9, 9, 9});
  b->p_PeekBytes(2, out, 1, 3);
  EXPECT_EQ(Values(out), (std::vector<int>{9, -1, -128, 127, 9}));
}

TEST(DataBufferBytes, RangesAreCutAtTheBufferAndArrayEndsEvenWhenStartPlusCountOverflows) {
  c_DataBuffer* b = BufferOf("ABCDEFGH");
  // From 5 the buffer leaves 3, from offset 1 the array leaves 2: the smaller limit wins.
  Array<int> out = ArrayOf({0, 0, 0});
  b->p_PeekBytes(5, out, 1, INT_MAX);
  EXPECT_EQ(Values(out), (std::vector<int>{0, 'F', 'G'}));
  b->p_PokeBytes(6, ArrayOf({'x', 'y', 'z'}), 0, INT_MAX);
  b->p_PokeBytes(0, ArrayOf({'x', 'y', 'z'}), 1, 9);
  EXPECT_EQ(Text(b), "yzCDEFxy");
  const int cuts[][3] = {{7, 2, 1}, {5, INT_MAX, 3}, {7, INT_MAX, 1}}; // at, count, what is left
  for (const auto& c : cuts) {
    EXPECT_EQ(b->p_PeekBytes2(c[0], c[1]).Length(), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(b->p_PeekString(c[0], c[1], kAscii).Length(), c[2]) << c[0] << " " << c[1];
  }
  c_DataBuffer* dst = BufferOf("........");
  b->p_CopyBytes(0, dst, 5, INT_MAX); // the destination leaves 3
  b->p_CopyBytes(6, dst, 0, INT_MAX); // the source leaves 2
  EXPECT_EQ(Text(dst), "xy...yzC");
  b->p_CopyBytes(0, nullptr, 0, 3);
  b->p_CopyBytes(0, new c_DataBuffer, 0, 3);
  (new c_DataBuffer)->p_CopyBytes(0, dst, 0, 3);
  EXPECT_EQ(Text(dst), "xy...yzC");

  // Overlapping copies behave as through a temporary.
  c_DataBuffer* src = BufferOf("abcdef");
  src->p_CopyBytes(0, src, 1, 4); // upwards: last byte first
  EXPECT_EQ(Text(src), "aabcdf");
  src->p_CopyBytes(2, src, 0, 9); // downwards, cut at the end
  EXPECT_EQ(Text(src), "bcdfdf");
}

// Starts outside the buffer (just past its end too), counts that are not positive, and
// counts that overflow when added to the start: none moves anything.
const std::pair<int, int> kNothing[] = {{-1, 2}, {INT_MIN, INT_MAX}, {8, 1}, {INT_MAX, INT_MAX}, {0, 0},
                                        {1, -1}, {1, INT_MIN}};

TEST(DataBufferWild, RangesOutsideTheBufferOrTheArrayMoveNothing) {
  c_DataBuffer* b = BufferOf("abcdefgh");
  c_DataBuffer* empty = new c_DataBuffer;
  Array<int> a = ArrayOf({1, 2, 3});
  for (auto [at, count] : kNothing) {
    SCOPED_TRACE(testing::Message() << "at " << at << " count " << count);
    for (c_DataBuffer* x : {b, empty}) {
      x->p_PokeBytes(at, a, 0, count);
      x->p_PeekBytes(at, a, 0, count);
      EXPECT_EQ(x->p_PeekBytes2(at, count).Length(), 0);
      EXPECT_EQ(x->p_PeekString(at, count, kUtf8).Length(), 0);
      x->p_CopyBytes(at, b, 0, count);
      b->p_CopyBytes(0, x, at, count);
    }
  }
  for (int at : {-1, 8, INT_MAX, INT_MIN}) {
    EXPECT_EQ(b->p_PokeString(at, String(u"\u20ac\u20ac"), kUtf8), 6); // the full length, nothing written
    EXPECT_EQ(b->p_PokeString(at, String("wxyz"), kAscii), 4);
    EXPECT_EQ(b->p_PeekString2(at, kAscii).Length(), 0);
  }
  for (int offset : {-1, 3, INT_MAX, INT_MIN}) { // outside the array, 3 just past its end
    b->p_PokeBytes(0, a, offset, 2);
    b->p_PeekBytes(0, a, offset, 2);
  }
  EXPECT_EQ(Text(b), "abcdefgh");
  EXPECT_EQ(Values(a), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(empty->data, nullptr);
}

TEST(DataBufferString, Utf8RoundTripsEachSequenceLengthAtItsEdges) {
  c_DataBuffer* b = NewBuffer(12);
  String text(u"\u007f\u0080\u07ff\u0800\uffff");
  EXPECT_EQ(b->p_PokeString(0, text, kUtf8), 1 + 2 + 2 + 3 + 3);
  EXPECT_EQ(Bytes(b),
            (std::vector<int>{0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF, 0}));
  EXPECT_EQ(Units(b->p_PeekString(0, 11, kUtf8)), Units(text));

  // A surrogate pair is written as two 3-byte sequences and read back as the same pair.
  c_DataBuffer* pair = NewBuffer(6);
  EXPECT_EQ(pair->p_PokeString(0, String(u"\U0001F600"), kUtf8), 6);
  EXPECT_EQ(Bytes(pair), (std::vector<int>{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
  EXPECT_EQ(Units(pair->p_PeekString2(0, kUtf8)), u"\U0001F600");
}

TEST(DataBufferString, APokeThatDoesNotFitWritesWhatFitsAndReturnsTheFullLength) {
  c_DataBuffer* u = BufferOf("....");
  EXPECT_EQ(u->p_PokeString(2, String(u"a\u20acb"), kUtf8), 5);
  EXPECT_EQ(Bytes(u), (std::vector<int>{'.', '.', 'a', 0xE2})); // only what fits, even mid-sequence
  EXPECT_EQ(u->p_PokeString(0, String(), kUtf8), 0);
  EXPECT_EQ(Bytes(u), (std::vector<int>{'.', '.', 'a', 0xE2}));
}

TEST(DataBufferString, AsciiKeepsTheLow8BitsAndReadsBytesUnsigned) {
  c_DataBuffer* b = NewBuffer(4);
  EXPECT_EQ(b->p_PokeString(0, String(u"A\u00e9\u20ac\uffff"), kAscii), 4);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0x41, 0xE9, 0xAC, 0xFF}));
  EXPECT_EQ(Units(b->p_PeekString(0, 4, kAscii)), u"A\u00e9\u00ac\u00ff");
}

TEST(DataBufferString, InvalidUtf8FallsBackToOneUnsignedCharacterPerByte) {
  const std::vector<std::vector<int>> cases = {
      {0xC3, 0x28},
      {0x41, 0x80, 0x42},
      {0xF0, 0x9F, 0x98, 0x80}, // bad continuation, stray, 4-byte lead
      {0x41, 0xC3},
      {0xE2, 0x82, 0x41},
      {0xFF, 0xFE},       // cut off by the end, bad third byte, never lead
      {0xC3, 0xA9, 0xBF}, // a valid sequence, then a stray byte
  };
  for (const std::vector<int>& bytes : cases) {
    c_DataBuffer* b = BufferOf(std::string(bytes.begin(), bytes.end()));
    // Widened as 0..255: U+00C3, never a sign-extended U+FFC3.
    EXPECT_EQ(Units(b->p_PeekString2(0, kUtf8)), std::u16string(bytes.begin(), bytes.end()));
  }
  // A count that cuts a valid sequence decodes the cut bytes.
  c_DataBuffer* euro = BufferOf("\xE2\x82\xAC");
  EXPECT_EQ(Units(euro->p_PeekString(0, 2, kUtf8)), u"\u00e2\u0082");
}

TEST(DataBufferStringDeath, AnUnknownEncodingIsARuntimeErrorEvenWhenNothingWouldMove) {
  EXPECT_RUNTIME_ERROR(NewBuffer(4)->p_PeekString(0, 2, String("latin1")), "Invalid string encoding:latin1");
  EXPECT_RUNTIME_ERROR(NewBuffer(4)->p_PokeString(0, String("ab"), String("UTF8")),
                       "Invalid string encoding:UTF8");
  EXPECT_RUNTIME_ERROR((new c_DataBuffer)->p_PeekString2(INT_MAX, String()), "Invalid string encoding:");
}

class DataBufferLoad : public ::testing::Test {
protected:
  ZuGame* previous = ZuGame::_game;
  void TearDown() override { ZuGame::_game = previous; }
};

TEST_F(DataBufferLoad, TheHostReadsTheWholeFileAnEmptyFileIsAnEmptyBufferAndNoHostNothing) {
  TempDir tmp("net");
  ZuGame host;
  std::string bytes("\x01\x80\xFFz\0q", 6);
  WriteFile(tmp.path / "d\xC3\xB6ta.bin", bytes); // the name reaches the host unchanged
  WriteFile(tmp.path / "empty.bin", "");
  String path = String((tmp.path.string() + "/d").c_str()) + String(u"\u00f6ta.bin");
  c_DataBuffer* b = c_DataBuffer::m_Load(path);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Text(b), bytes);
  EXPECT_FALSE(b->_Load(path)); // a full buffer loads nothing more
  b->Discard();
  EXPECT_TRUE(b->_Load(path));
  EXPECT_EQ(b->length, 6);
  EXPECT_EQ(c_DataBuffer::m_Load(String((tmp.path / "missing.bin").c_str())), nullptr);

  // The host's 1-byte block for an empty file is freed (ASan would see a leak).
  c_DataBuffer* empty = c_DataBuffer::m_Load(String((tmp.path / "empty.bin").c_str()));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->length, 0);
  EXPECT_EQ(empty->data, nullptr);

  ZuGame::_game = nullptr; // without a host nothing loads
  EXPECT_EQ(c_DataBuffer::m_Load(path), nullptr);
}

// The collector destroys an unreachable buffer; its bytes are then freed (the sanitizers
// report them as a leak otherwise).
TEST(DataBufferCollect, AnUnreachableBufferIsDestroyed) {
  gc_clear_roots();
  c_DataBuffer* lost = NewBuffer(1 << 20);
  CollectFully();
  EXPECT_FALSE(gc_is_live_object(lost));
}

} // namespace
