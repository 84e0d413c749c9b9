// tests/net/data_buffer_test.cpp — data buffers: filling, bytes, copies, strings, hostile ranges,
// loading through the host, and the bytes of a collected buffer.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (its header is not always installed).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

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

// ============================================================================
// [SECTION] Filling, bytes and copies
// ============================================================================

TEST(DataBufferFill, NewFillsOnceWithZeroedOrAdoptedBytes) {
  int before = gc_ext_new_bytes.load();
  c_DataBuffer* b = new c_DataBuffer;
  EXPECT_EQ(b->m_new(5), b);
  EXPECT_EQ(gc_ext_new_bytes.load() - before, 5); // reported to the collector
  EXPECT_EQ(Bytes(b), (std::vector<int>{0, 0, 0, 0, 0}));
  unsigned char* kept = b->data;
  void* block = std::malloc(3);
  EXPECT_FALSE(b->_New(3, block)); // refused: the block stays the caller's
  EXPECT_FALSE(b->_New(3));
  EXPECT_EQ(b->data, kept);
  EXPECT_EQ(b->length, 5);

  // An adopted block is kept as it is; the caller reports it itself.
  std::memcpy(block, "xyz", 3);
  ZuDataBuffer* adopted = new ZuDataBuffer;
  before = gc_ext_new_bytes.load();
  ASSERT_TRUE(adopted->_New(3, block));
  EXPECT_EQ(gc_ext_new_bytes.load(), before);
  EXPECT_EQ(adopted->data, block);
  EXPECT_EQ(Text(adopted), "xyz");
}

TEST(DataBufferFill, NegativeLengthsAreRefusedAndZeroIsAnEmptyBufferThatMayBeFilled) {
  ZuDataBuffer* b = new ZuDataBuffer;
  EXPECT_FALSE(b->_New(-1));
  void* block = std::malloc(8);
  EXPECT_FALSE(b->_New(INT_MIN, block)); // refused: the caller still owns it
  std::free(block);
  EXPECT_TRUE(b->_New(0, std::malloc(1))); // adopted and freed (ASan would see a leak)
  EXPECT_EQ(b->data, nullptr);
  EXPECT_EQ(b->length, 0);
  EXPECT_TRUE(b->_New(2));
  EXPECT_EQ(b->length, 2);

  // Discard empties the buffer, twice is harmless, and it may be filled again.
  b->Discard();
  b->Discard();
  EXPECT_EQ(b->data, nullptr);
  EXPECT_EQ(b->length, 0);
  EXPECT_TRUE(b->_New(1, std::malloc(1)));
  EXPECT_EQ(b->length, 1);
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
  b->p_PeekBytes(7, out, 0, INT_MAX);
  EXPECT_EQ(Values(out), (std::vector<int>{'H', 'F', 'G'}));
  b->p_PokeBytes(6, ArrayOf({'x', 'y', 'z'}), 0, INT_MAX);
  b->p_PokeBytes(0, ArrayOf({'x', 'y', 'z'}), 1, 9);
  EXPECT_EQ(Text(b), "yzCDEFxy");
  const int cuts[][3] = {{7, 2, 1}, {5, INT_MAX, 3}, {7, INT_MAX, 1}}; // at, count, what is left
  for (const auto& c : cuts) {
    EXPECT_EQ(b->p_PeekBytes2(c[0], c[1]).Length(), c[2]) << c[0] << " " << c[1];
    EXPECT_EQ(b->p_PeekString(c[0], c[1], kAscii).Length(), c[2]) << c[0] << " " << c[1];
  }
  c_DataBuffer* dst = BufferOf("........");
  b->p_CopyBytes(0, dst, 5, INT_MAX);
  b->p_CopyBytes(6, dst, 0, INT_MAX);
  EXPECT_EQ(Text(dst), "xy...yzC");
}

TEST(DataBufferCopy, CopiesClipAtBothEndsAndOverlapAsThroughATemporary) {
  c_DataBuffer* src = BufferOf("abcdef");
  c_DataBuffer* dst = BufferOf("........");
  src->p_CopyBytes(4, dst, 0, 10); // the source leaves 2
  src->p_CopyBytes(0, dst, 5, 10); // the destination leaves 3
  EXPECT_EQ(Text(dst), "ef...abc");
  src->p_CopyBytes(0, nullptr, 0, 3);
  src->p_CopyBytes(0, new c_DataBuffer, 0, 3);
  (new c_DataBuffer)->p_CopyBytes(0, src, 0, 3);
  EXPECT_EQ(Text(src), "abcdef");

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

// ============================================================================
// [SECTION] Strings
// ============================================================================

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
  c_DataBuffer* b = BufferOf("........");
  EXPECT_EQ(b->p_PokeString(6, String("abcdef"), kAscii), 6);
  EXPECT_EQ(Text(b), "......ab");

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
      {0xC3, 0x28},             // bad continuation byte
      {0x41, 0x80, 0x42},       // stray continuation byte
      {0xF0, 0x9F, 0x98, 0x80}, // four-byte lead
      {0x41, 0xC3},             // a sequence cut off by the end
      {0xE2, 0x82, 0x41},       // bad third byte of three
      {0xFF, 0xFE},             // bytes that never lead
      {0xC3, 0xA9, 0xBF},       // a valid sequence, then a stray byte
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

// ============================================================================
// [SECTION] Loading through the host, and collection
// ============================================================================

// A host that answers LoadData itself and remembers what it was asked.
class RecordingHost : public ZuGame {
public:
  std::vector<std::u16string> paths;
  bool found = true;

  unsigned char* LoadData(const String& path, int* length) override {
    paths.push_back(Units(path));
    if (!found) return nullptr;
    unsigned char* block = static_cast<unsigned char*>(std::malloc(5));
    std::memcpy(block, "hello", 5);
    *length = 5;
    return block;
  }
};

class DataBufferLoad : public ::testing::Test {
protected:
  ZuGame* previous = ZuGame::_game;
  void TearDown() override { ZuGame::_game = previous; }
};

TEST_F(DataBufferLoad, TheHostReadsTheWholeFileAndAnEmptyFileIsAnEmptyBuffer) {
  TempDir tmp("net");
  ZuGame host;
  std::string bytes("\x01\x80\xFFz\0q", 6);
  WriteFile(tmp.path / "data.bin", bytes);
  WriteFile(tmp.path / "empty.bin", "");
  String path((tmp.path / "data.bin").c_str());
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
}

TEST_F(DataBufferLoad, ThePathReachesTheHostUnchangedAndWithoutAHostNothingLoads) {
  RecordingHost host;
  String path(u"data/w\u00f6rds ../x.txt");
  c_DataBuffer* b = c_DataBuffer::m_Load(path);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Text(b), "hello");
  EXPECT_EQ(host.paths, std::vector<std::u16string>{Units(path)});

  host.found = false;
  EXPECT_EQ(c_DataBuffer::m_Load(String("gone")), nullptr);
  EXPECT_FALSE(NewBuffer(2)->_Load(String("any")));
  EXPECT_EQ(host.paths.size(), 2u); // a full buffer does not ask

  ZuGame::_game = nullptr;
  EXPECT_EQ(c_DataBuffer::m_Load(String("/etc/hostname")), nullptr);
}

// Bytes currently taken from the heap (the sanitizer's allocator when it replaces malloc).
std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

c_DataBuffer* g_kept;

TEST(DataBufferCollect, AnUnreachableBufferFreesItsBytes) {
  gc_clear_roots();
  gc_root(g_kept);
  CollectFully(); // garbage left by other tests goes first
  constexpr int kSize = 32 << 20;
  gc_assign(g_kept, BufferOf("kept"));
  std::size_t before = HeapInUse();
  NewBuffer(kSize)->data[kSize - 1] = 1;
  std::size_t grown = HeapInUse();
  EXPECT_GE(grown, before + kSize);

  CollectFully();
  EXPECT_LE(HeapInUse() + kSize, grown);
  ASSERT_TRUE(gc_is_live_object(g_kept));
  EXPECT_EQ(Text(g_kept), "kept");
  g_kept = nullptr;
  CollectFully();
  gc_clear_roots();
}

} // namespace
