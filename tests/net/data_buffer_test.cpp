// tests/net/data_buffer_test.cpp — data buffers: filling, bytes, copies, strings, wild ranges, loading, GC.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (its header is not always installed).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "host/game.h"
#include "net/data_buffer.h"

namespace {

// ============================================================================
// [SECTION] Helpers
// ============================================================================

c_DataBuffer* NewBuffer(int length) { return (new c_DataBuffer)->m_new(length); }

c_DataBuffer* BufferOf(std::initializer_list<int> bytes) {
  c_DataBuffer* b = NewBuffer(static_cast<int>(bytes.size()));
  int i = 0;
  for (int v : bytes) b->data[i++] = static_cast<unsigned char>(v);
  return b;
}

c_DataBuffer* BufferOf(const std::string& text) {
  c_DataBuffer* b = NewBuffer(static_cast<int>(text.size()));
  if (!text.empty()) std::memcpy(b->data, text.data(), text.size());
  return b;
}

// The stored bytes as unsigned values.
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

// Bytes currently taken from the heap (the sanitizer's allocator when it replaces malloc).
std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

// For death tests: the runtime reports errors on standard output, the death test reads
// standard error; and with nothing on standard input the debug stop ends the process.
void PrepareToDie() {
  std::fflush(stdout);
  dup2(2, 1);
  if (!std::freopen("/dev/null", "r", stdin)) std::exit(3);
}

#define EXPECT_RUNTIME_ERROR(statement, text)                                                                \
  EXPECT_EXIT(                                                                                               \
      {                                                                                                      \
        PrepareToDie();                                                                                      \
        statement;                                                                                           \
        std::exit(0);                                                                                        \
      },                                                                                                     \
      ::testing::ExitedWithCode(255), "(^|\n)Quokka Runtime Error : " text "\n")

// ============================================================================
// [SECTION] Filling and discarding
// ============================================================================

TEST(DataBufferFill, NewAllocatesZeroedBytesOnce) {
  c_DataBuffer* b = new c_DataBuffer;
  EXPECT_EQ(b->data, nullptr);
  EXPECT_EQ(b->length, 0);
  EXPECT_EQ(b->m_new(5), b);
  ASSERT_NE(b->data, nullptr);
  EXPECT_EQ(b->length, 5);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0, 0, 0, 0, 0}));

  unsigned char* kept = b->data;
  EXPECT_FALSE(b->_New(3));
  void* block = std::malloc(4);
  EXPECT_FALSE(b->_New(4, block)); // refused: the block stays the caller's
  std::free(block);
  EXPECT_EQ(b->data, kept);
  EXPECT_EQ(b->length, 5);
}

TEST(DataBufferFill, NewAdoptsABlock) {
  ZuDataBuffer* b = new ZuDataBuffer;
  unsigned char* block = static_cast<unsigned char*>(std::malloc(3));
  std::memcpy(block, "xyz", 3);
  ASSERT_TRUE(b->_New(3, block));
  EXPECT_EQ(b->data, block);
  EXPECT_EQ(b->length, 3);
  EXPECT_EQ(Text(b), "xyz");
  EXPECT_FALSE(b->_New(3, nullptr));
}

TEST(DataBufferFill, ZeroAndNegativeLengths) {
  ZuDataBuffer* b = new ZuDataBuffer;
  EXPECT_FALSE(b->_New(-1));
  EXPECT_FALSE(b->_New(INT_MIN));
  void* block = std::malloc(8);
  EXPECT_FALSE(b->_New(-8, block)); // refused: the caller still owns it
  std::free(block);
  EXPECT_EQ(b->data, nullptr);

  // A length of 0 is an empty buffer, which may still be filled.
  EXPECT_TRUE(b->_New(0));
  EXPECT_EQ(b->data, nullptr);
  EXPECT_EQ(b->length, 0);
  EXPECT_TRUE(b->_New(0, std::malloc(1))); // adopted and freed (ASan would see a leak)
  EXPECT_EQ(b->data, nullptr);
  EXPECT_TRUE(b->_New(2));
  EXPECT_EQ(b->length, 2);

  c_DataBuffer* empty = NewBuffer(0);
  EXPECT_EQ(empty->length, 0);
  EXPECT_EQ(empty->m_new(1), empty);
  EXPECT_EQ(empty->length, 1);
}

TEST(DataBufferFill, DiscardEmptiesAndAllowsARefill) {
  c_DataBuffer* b = BufferOf("abc");
  b->Discard();
  EXPECT_EQ(b->data, nullptr);
  EXPECT_EQ(b->length, 0);
  b->Discard(); // twice is harmless
  EXPECT_EQ(b->p_PeekBytes2(0, 3).Length(), 0);
  EXPECT_EQ(b->m_new(2), b);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0, 0}));
  b->Discard();
  EXPECT_TRUE(b->_New(1, std::malloc(1)));
  EXPECT_EQ(b->length, 1);
}

TEST(DataBufferFill, NewReportsTheBytesToTheCollector) {
  int before = gc_ext_new_bytes.load();
  NewBuffer(1000);
  EXPECT_EQ(gc_ext_new_bytes.load() - before, 1000);
  // An adopted block is the caller's to report.
  ZuDataBuffer* b = new ZuDataBuffer;
  before = gc_ext_new_bytes.load();
  b->_New(10, std::malloc(10));
  EXPECT_EQ(gc_ext_new_bytes.load(), before);
}

TEST(DataBufferFillDeath, AllocatingTwiceIsARuntimeError) {
  EXPECT_RUNTIME_ERROR(NewBuffer(4)->m_new(4), "Allocate DataBuffer failed");
  EXPECT_RUNTIME_ERROR(NewBuffer(4)->m_new(0), "Allocate DataBuffer failed");
}

TEST(DataBufferFillDeath, ANegativeLengthIsARuntimeError) {
  EXPECT_RUNTIME_ERROR(NewBuffer(-1), "Allocate DataBuffer failed");
  EXPECT_RUNTIME_ERROR(NewBuffer(INT_MIN), "Allocate DataBuffer failed");
}

// ============================================================================
// [SECTION] Bytes
// ============================================================================

TEST(DataBufferBytes, PeekBytesGivesSignedValues) {
  c_DataBuffer* b = BufferOf({0x41, 0xFF, 0x80, 0x7F, 0x00});
  EXPECT_EQ(Values(b->p_PeekBytes2(0, 3)), (std::vector<int>{65, -1, -128}));
  EXPECT_EQ(Values(b->p_PeekBytes2(2, 3)), (std::vector<int>{-128, 127, 0}));

  Array<int> out = ArrayOf({9, 9, 9, 9, 9, 9});
  b->p_PeekBytes(1, out, 2, 3);
  EXPECT_EQ(Values(out), (std::vector<int>{9, 9, -1, -128, 127, 9}));
}

TEST(DataBufferBytes, PokeBytesStoresTheLow8Bits) {
  c_DataBuffer* b = NewBuffer(8);
  b->p_PokeBytes(1, ArrayOf({65, -1, -128, 256 + 66, 0x12345678, INT_MIN, INT_MAX}), 0, 7);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0, 65, 0xFF, 0x80, 66, 0x78, 0x00, 0xFF}));
  EXPECT_EQ(Values(b->p_PeekBytes2(1, 7)), (std::vector<int>{65, -1, -128, 66, 120, 0, -1}));
}

TEST(DataBufferBytes, CountsAreCutAtTheEndOfTheBuffer) {
  c_DataBuffer* b = BufferOf({1, 2, 3, 4});
  EXPECT_EQ(Values(b->p_PeekBytes2(2, 100)), (std::vector<int>{3, 4}));
  EXPECT_EQ(Values(b->p_PeekBytes2(0, INT_MAX)), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(b->p_PeekBytes2(4, 1).Length(), 0);
  EXPECT_EQ(b->p_PeekBytes2(1, 0).Length(), 0);
  EXPECT_EQ(b->p_PeekBytes2(1, -1).Length(), 0);

  b->p_PokeBytes(3, ArrayOf({7, 8, 9}), 0, 3);
  EXPECT_EQ(Bytes(b), (std::vector<int>{1, 2, 3, 7}));

  Array<int> out = ArrayOf({0, 0, 0, 0, 0});
  b->p_PeekBytes(2, out, 0, 5);
  EXPECT_EQ(Values(out), (std::vector<int>{3, 7, 0, 0, 0}));
}

TEST(DataBufferBytes, ArrayFormsAreCutAtTheArrayEndAndTheOffset) {
  c_DataBuffer* b = NewBuffer(8);
  // Three elements from offset 1 leave two.
  b->p_PokeBytes(0, ArrayOf({10, 20, 30}), 1, 5);
  EXPECT_EQ(Bytes(b), (std::vector<int>{20, 30, 0, 0, 0, 0, 0, 0}));
  // An offset at the array's end moves nothing.
  b->p_PokeBytes(4, ArrayOf({10, 20, 30}), 3, 2);
  EXPECT_EQ(Bytes(b), (std::vector<int>{20, 30, 0, 0, 0, 0, 0, 0}));
  b->p_PokeBytes(4, Array<int>(), 0, 2);
  EXPECT_EQ(Bytes(b), (std::vector<int>{20, 30, 0, 0, 0, 0, 0, 0}));
  // Both limits at once: the buffer leaves 2, the array leaves 3.
  b->p_PokeBytes(6, ArrayOf({1, 2, 3, 4, 5}), 2, 9);
  EXPECT_EQ(Bytes(b), (std::vector<int>{20, 30, 0, 0, 0, 0, 3, 4}));

  Array<int> out = ArrayOf({-5, -5, -5});
  b->p_PeekBytes(0, out, 1, 8);
  EXPECT_EQ(Values(out), (std::vector<int>{-5, 20, 30}));
  b->p_PeekBytes(0, out, 3, 1);
  EXPECT_EQ(Values(out), (std::vector<int>{-5, 20, 30}));
}

// ============================================================================
// [SECTION] Copies
// ============================================================================

TEST(DataBufferCopy, OverlappingCopiesInOneBuffer) {
  c_DataBuffer* up = BufferOf("abcde");
  up->p_CopyBytes(0, up, 1, 4);
  EXPECT_EQ(Text(up), "aabcd");

  c_DataBuffer* down = BufferOf("abcde");
  down->p_CopyBytes(1, down, 0, 4);
  EXPECT_EQ(Text(down), "bcdee");

  c_DataBuffer* same = BufferOf("abcde");
  same->p_CopyBytes(2, same, 2, 3);
  EXPECT_EQ(Text(same), "abcde");

  // Cut at the end: 0 → 3 with 5 asked moves two.
  c_DataBuffer* cut = BufferOf("abcde");
  cut->p_CopyBytes(0, cut, 3, 5);
  EXPECT_EQ(Text(cut), "abcab");
}

TEST(DataBufferCopy, AnotherBufferClipsAtBothEnds) {
  c_DataBuffer* src = BufferOf("abcdef");
  c_DataBuffer* dst = BufferOf("........");
  src->p_CopyBytes(4, dst, 0, 10); // the source leaves 2
  EXPECT_EQ(Text(dst), "ef......");
  src->p_CopyBytes(0, dst, 5, 10); // the destination leaves 3
  EXPECT_EQ(Text(dst), "ef...abc");
  src->p_CopyBytes(1, dst, 2, 2);
  EXPECT_EQ(Text(dst), "efbc.abc");
  src->p_CopyBytes(0, dst, 8, 1);
  src->p_CopyBytes(6, dst, 0, 1);
  src->p_CopyBytes(0, dst, 0, 0);
  src->p_CopyBytes(0, nullptr, 0, 3);
  EXPECT_EQ(Text(dst), "efbc.abc");
  EXPECT_EQ(Text(src), "abcdef");

  c_DataBuffer* empty = new c_DataBuffer;
  src->p_CopyBytes(0, empty, 0, 3);
  empty->p_CopyBytes(0, src, 0, 3);
  EXPECT_EQ(Text(src), "abcdef");
}

// ============================================================================
// [SECTION] Strings
// ============================================================================

TEST(DataBufferString, Utf8PokeAndPeek) {
  c_DataBuffer* b = NewBuffer(8);
  EXPECT_EQ(b->p_PokeString(0, String(u"\u00e9"), kUtf8), 2);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0xC3, 0xA9, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Units(b->p_PeekString(0, 2, kUtf8)), u"\u00e9");

  EXPECT_EQ(b->p_PokeString(2, String(u"\u20ac"), kUtf8), 3);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0, 0, 0}));
  EXPECT_EQ(Units(b->p_PeekString(0, 5, kUtf8)), u"\u00e9\u20ac");

  EXPECT_EQ(b->p_PokeString(5, String("a\x7F"), kUtf8), 2);
  EXPECT_EQ(Units(b->p_PeekString2(0, kUtf8)), std::u16string(u"\u00e9\u20aca\x7F") + u'\0');
  EXPECT_EQ(Units(b->p_PeekString2(2, kUtf8)), std::u16string(u"\u20aca\x7F") + u'\0');
  EXPECT_EQ(b->p_PeekString2(8, kUtf8).Length(), 0);

  // The edges of each sequence length.
  c_DataBuffer* edges = NewBuffer(12);
  String text(u"\u007f\u0080\u07ff\u0800\uffff");
  EXPECT_EQ(edges->p_PokeString(0, text, kUtf8), 1 + 2 + 2 + 3 + 3);
  EXPECT_EQ(Bytes(edges),
            (std::vector<int>{0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF, 0}));
  EXPECT_EQ(Units(edges->p_PeekString(0, 11, kUtf8)), Units(text));
}

TEST(DataBufferString, Utf8EncodesSurrogatesOneByOne) {
  c_DataBuffer* b = NewBuffer(6);
  String pair(u"\U0001F600");
  ASSERT_EQ(pair.Length(), 2);
  EXPECT_EQ(b->p_PokeString(0, pair, kUtf8), 6);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
  EXPECT_EQ(Units(b->p_PeekString2(0, kUtf8)), Units(pair));
}

TEST(DataBufferString, PokeThatDoesNotFitWritesWhatFitsAndReturnsTheFullLength) {
  c_DataBuffer* b = BufferOf("........");
  EXPECT_EQ(b->p_PokeString(6, String("abcdef"), kAscii), 6);
  EXPECT_EQ(Text(b), "......ab");

  c_DataBuffer* u = BufferOf("....");
  EXPECT_EQ(u->p_PokeString(2, String(u"a\u20acb"), kUtf8), 5);
  EXPECT_EQ(Bytes(u), (std::vector<int>{'.', '.', 'a', 0xE2})); // only what fits
  EXPECT_EQ(u->p_PokeString(4, String(u"\u00e9"), kUtf8), 2);
  EXPECT_EQ(Bytes(u), (std::vector<int>{'.', '.', 'a', 0xE2}));
  EXPECT_EQ(u->p_PokeString(0, String(), kUtf8), 0);
  EXPECT_EQ(u->p_PokeString(0, String(), kAscii), 0);
  EXPECT_EQ(Bytes(u), (std::vector<int>{'.', '.', 'a', 0xE2}));
}

TEST(DataBufferString, AsciiKeepsTheLow8BitsAndReadsBytesUnsigned) {
  c_DataBuffer* b = NewBuffer(4);
  EXPECT_EQ(b->p_PokeString(0, String(u"A\u00e9\u20ac\uffff"), kAscii), 4);
  EXPECT_EQ(Bytes(b), (std::vector<int>{0x41, 0xE9, 0xAC, 0xFF}));
  EXPECT_EQ(Units(b->p_PeekString(0, 4, kAscii)), u"A\u00e9\u00ac\u00ff");

  c_DataBuffer* all = NewBuffer(256);
  for (int i = 0; i < 256; ++i) all->data[i] = static_cast<unsigned char>(i);
  String s = all->p_PeekString2(0, kAscii);
  ASSERT_EQ(s.Length(), 256);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(s[i], i);
}

TEST(DataBufferString, InvalidUtf8FallsBackToUnsignedBytes) {
  struct Case {
    std::vector<int> bytes;
    const char* what;
  };
  const std::vector<Case> cases = {
      {{0xC3, 0x28}, "bad continuation byte"},
      {{0x41, 0x80, 0x42}, "stray continuation byte"},
      {{0xF0, 0x9F, 0x98, 0x80}, "four-byte lead"},
      {{0x41, 0xC3}, "two-byte sequence cut off by the end"},
      {{0xE2, 0x82}, "three-byte sequence cut off by the end"},
      {{0xE2, 0x28, 0xAC}, "bad second byte of three"},
      {{0xE2, 0x82, 0x41}, "bad third byte of three"},
      {{0xFF, 0xFE}, "bytes that never lead"},
      {{0xC3, 0xA9, 0xBF}, "valid sequence followed by a stray byte"},
  };
  for (const Case& c : cases) {
    c_DataBuffer* b = NewBuffer(static_cast<int>(c.bytes.size()));
    for (std::size_t i = 0; i < c.bytes.size(); ++i) b->data[i] = static_cast<unsigned char>(c.bytes[i]);
    std::u16string expected(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(Units(b->p_PeekString2(0, kUtf8)), expected) << c.what;
  }
  // The exact case: U+00C3 U+0028, not sign-extended U+FFC3.
  c_DataBuffer* b = BufferOf({0xC3, 0x28});
  String s = b->p_PeekString(0, 2, kUtf8);
  ASSERT_EQ(s.Length(), 2);
  EXPECT_EQ(s[0], 0x00C3);
  EXPECT_EQ(s[1], 0x0028);

  // A count that cuts a valid sequence is decoded as the cut bytes.
  c_DataBuffer* euro = BufferOf({0xE2, 0x82, 0xAC});
  EXPECT_EQ(Units(euro->p_PeekString(0, 2, kUtf8)), u"\u00e2\u0082");
  EXPECT_EQ(Units(euro->p_PeekString(0, 3, kUtf8)), u"\u20ac");
}

TEST(DataBufferStringDeath, AnUnknownEncodingIsARuntimeError) {
  EXPECT_RUNTIME_ERROR(NewBuffer(4)->p_PeekString(0, 2, String("latin1")), "Invalid string encoding:latin1");
  EXPECT_RUNTIME_ERROR(NewBuffer(4)->p_PokeString(0, String("ab"), String("latin1")),
                       "Invalid string encoding:latin1");
  EXPECT_RUNTIME_ERROR(NewBuffer(4)->p_PeekString2(0, String("UTF8")), "Invalid string encoding:UTF8");
  // Even when nothing would be moved.
  EXPECT_RUNTIME_ERROR((new c_DataBuffer)->p_PeekString(INT_MAX, -1, String("utf-8")),
                       "Invalid string encoding:utf-8");
  EXPECT_RUNTIME_ERROR(NewBuffer(1)->p_PokeString(-1, String(), String()), "Invalid string encoding:");
}

// ============================================================================
// [SECTION] Wild addresses, offsets and counts
// ============================================================================

const int kWild[] = {INT_MIN, INT_MIN + 1, -100, -2, -1, 0,   1,           3,      4,
                     5,       6,           7,    8,  9,  100, INT_MAX - 1, INT_MAX};

// How many items an access may move, worked out in 64 bits.
long long Fits(long long at, long long size, long long count) {
  if (count <= 0 || at < 0 || at >= size) return 0;
  return std::min(count, size - at);
}

const std::vector<int> kPattern = {0x10, 0x91, 0x22, 0xB3, 0x44, 0xD5, 0x66, 0xF7};

c_DataBuffer* Patterned() {
  c_DataBuffer* b = NewBuffer(static_cast<int>(kPattern.size()));
  for (std::size_t i = 0; i < kPattern.size(); ++i) b->data[i] = static_cast<unsigned char>(kPattern[i]);
  return b;
}

int Signed(int byte) { return byte < 128 ? byte : byte - 256; }

TEST(DataBufferWild, PokeAndPeekBytesStayInside) {
  c_DataBuffer* b = Patterned();
  const std::vector<int> source = {-1, -2, -3, -4, -5, -6};
  for (int address : kWild)
    for (int offset : kWild)
      for (int count : kWild) {
        SCOPED_TRACE(testing::Message()
                     << "address " << address << " offset " << offset << " count " << count);
        long long n = Fits(offset, 6, Fits(address, 8, count));

        std::vector<int> want = kPattern;
        for (long long i = 0; i < n; ++i) want[address + i] = source[offset + i] & 0xFF;
        b->p_PokeBytes(address, Array<int>(source.data(), 6), offset, count);
        ASSERT_EQ(Bytes(b), want);
        std::copy(kPattern.begin(), kPattern.end(), b->data);

        std::vector<int> got = {7, 7, 7, 7, 7, 7};
        for (long long i = 0; i < n; ++i) got[offset + i] = Signed(kPattern[address + i]);
        Array<int> out(6);
        std::fill(out.begin(), out.end(), 7);
        b->p_PeekBytes(address, out, offset, count);
        ASSERT_EQ(Values(out), got);
        ASSERT_EQ(Bytes(b), kPattern);
      }
}

TEST(DataBufferWild, PeekBytes2AndStringsStayInside) {
  c_DataBuffer* b = Patterned();
  for (int address : kWild)
    for (int count : kWild) {
      SCOPED_TRACE(testing::Message() << "address " << address << " count " << count);
      long long n = Fits(address, 8, count);
      std::vector<int> want;
      for (long long i = 0; i < n; ++i) want.push_back(Signed(kPattern[address + i]));
      ASSERT_EQ(Values(b->p_PeekBytes2(address, count)), want);
      ASSERT_EQ(b->p_PeekString(address, count, kAscii).Length(), n);
      ASSERT_EQ(b->p_PeekString(address, count, kUtf8).Length(), n); // one character per byte either way
    }
  for (int address : kWild) {
    SCOPED_TRACE(testing::Message() << "address " << address);
    long long n = Fits(address, 8, 8);
    ASSERT_EQ(b->p_PeekString2(address, kAscii).Length(), n);
    ASSERT_EQ(b->p_PeekString2(address, kUtf8).Length(), n);
    ASSERT_EQ(b->p_PokeString(address, String("wxyz"), kAscii), 4);
    ASSERT_EQ(b->p_PokeString(address, String(u"\u20ac\u20ac"), kUtf8), 6);
    std::vector<int> want = kPattern;
    const unsigned char euros[] = {0xE2, 0x82, 0xAC, 0xE2, 0x82, 0xAC};
    for (long long i = 0; i < Fits(address, 8, 6); ++i) want[address + i] = euros[i];
    ASSERT_EQ(Bytes(b), want);
    std::copy(kPattern.begin(), kPattern.end(), b->data);
  }
}

TEST(DataBufferWild, CopiesStayInside) {
  c_DataBuffer* src = Patterned();
  c_DataBuffer* dst = BufferOf("abcde");
  const std::vector<int> dst_bytes = Bytes(dst);
  for (int address : kWild)
    for (int dst_address : kWild)
      for (int count : kWild) {
        SCOPED_TRACE(testing::Message()
                     << "address " << address << " to " << dst_address << " count " << count);
        long long n = Fits(dst_address, 5, Fits(address, 8, count));
        std::vector<int> want = dst_bytes;
        for (long long i = 0; i < n; ++i) want[dst_address + i] = kPattern[address + i];
        src->p_CopyBytes(address, dst, dst_address, count);
        ASSERT_EQ(Bytes(dst), want);
        ASSERT_EQ(Bytes(src), kPattern);
        std::copy(dst_bytes.begin(), dst_bytes.end(), dst->data);

        // Within one buffer, as if through a temporary.
        n = Fits(dst_address, 8, Fits(address, 8, count));
        want = kPattern;
        for (long long i = 0; i < n; ++i) want[dst_address + i] = kPattern[address + i];
        src->p_CopyBytes(address, src, dst_address, count);
        ASSERT_EQ(Bytes(src), want);
        std::copy(kPattern.begin(), kPattern.end(), src->data);
      }
}

TEST(DataBufferWild, AnEmptyBufferMovesNothing) {
  c_DataBuffer* b = new c_DataBuffer;
  Array<int> a = ArrayOf({1, 2, 3});
  for (int x : kWild) {
    b->p_PokeBytes(x, a, 0, x);
    b->p_PeekBytes(x, a, 0, x);
    EXPECT_EQ(b->p_PeekBytes2(x, x).Length(), 0);
    EXPECT_EQ(b->p_PokeString(x, String("abc"), kAscii), 3);
    EXPECT_EQ(b->p_PokeString(x, String("abc"), kUtf8), 3);
    EXPECT_EQ(b->p_PeekString(x, x, kUtf8).Length(), 0);
    EXPECT_EQ(b->p_PeekString2(x, kAscii).Length(), 0);
    b->p_CopyBytes(x, b, x, x);
  }
  EXPECT_EQ(Values(a), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(b->data, nullptr);
}

// ============================================================================
// [SECTION] Loading through the host
// ============================================================================

// A host that answers LoadData itself and remembers what it was asked.
class RecordingHost : public ZuGame {
public:
  std::vector<std::u16string> paths;
  std::string content;
  bool found = true;

  unsigned char* LoadData(const String& path, int* length) override {
    paths.push_back(Units(path));
    if (!found) return nullptr;
    unsigned char* block = static_cast<unsigned char*>(std::malloc(content.size() + 1));
    std::memcpy(block, content.data(), content.size());
    *length = static_cast<int>(content.size());
    return block;
  }
};

class DataBufferLoad : public ::testing::Test {
protected:
  ZuGame* previous = ZuGame::_game;
  char dir[32] = "/tmp/lexorm-net-XXXXXX";

  void SetUp() override { ASSERT_NE(mkdtemp(dir), nullptr); }
  void TearDown() override {
    for (const char* name : {"/data.bin", "/empty.bin"}) std::remove((std::string(dir) + name).c_str());
    rmdir(dir);
    ZuGame::_game = previous;
  }
  std::string Write(const char* name, const std::string& bytes) {
    std::string path = std::string(dir) + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }
};

TEST_F(DataBufferLoad, TheHostReadsAFile) {
  ZuGame host;
  std::string bytes("\x01\x80\xFFz\0q", 6);
  std::string path = Write("/data.bin", bytes);
  c_DataBuffer* b = c_DataBuffer::m_Load(String(path.c_str()));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Text(b), bytes);
  EXPECT_EQ(Values(b->p_PeekBytes2(0, 6)), (std::vector<int>{1, -128, -1, 'z', 0, 'q'}));

  EXPECT_EQ(c_DataBuffer::m_Load(String((std::string(dir) + "/missing.bin").c_str())), nullptr);
  // A loaded buffer is full; a discarded one loads again.
  EXPECT_FALSE(b->_Load(String(path.c_str())));
  b->Discard();
  EXPECT_TRUE(b->_Load(String(path.c_str())));
  EXPECT_EQ(b->length, 6);

  // A readable empty file is an empty buffer, not a failure.
  c_DataBuffer* empty = c_DataBuffer::m_Load(String(Write("/empty.bin", "").c_str()));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->length, 0);
  EXPECT_EQ(empty->data, nullptr);
}

TEST_F(DataBufferLoad, ThePathReachesTheHostUnchanged) {
  RecordingHost host;
  host.content = "hello";
  String path(u"data/w\u00f6rds ../x.txt");
  c_DataBuffer* b = c_DataBuffer::m_Load(path);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Text(b), "hello");
  ASSERT_EQ(host.paths.size(), 1u);
  EXPECT_EQ(host.paths[0], Units(path));

  host.found = false;
  EXPECT_EQ(c_DataBuffer::m_Load(String("gone")), nullptr);
  c_DataBuffer* full = NewBuffer(2);
  EXPECT_FALSE(full->_Load(String("any")));
  EXPECT_EQ(host.paths.size(), 2u); // a full buffer does not ask
}

TEST_F(DataBufferLoad, AnEmptyFileIsAnEmptyBuffer) {
  RecordingHost host;
  c_DataBuffer* b = c_DataBuffer::m_Load(String("empty"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->length, 0);
  EXPECT_EQ(b->data, nullptr); // the host's block is freed (ASan would see a leak)
  EXPECT_EQ(b->p_PeekString2(0, kUtf8).Length(), 0);
}

TEST_F(DataBufferLoad, WithoutAHostNothingLoads) {
  ZuGame::_game = nullptr;
  EXPECT_EQ(c_DataBuffer::m_Load(String("/etc/hostname")), nullptr);
  EXPECT_FALSE((new ZuDataBuffer)->_Load(String("/etc/hostname")));
}

// ============================================================================
// [SECTION] Collection
// ============================================================================

c_DataBuffer* g_kept;

class DataBufferCollect : public ::testing::Test {
protected:
  void SetUp() override {
    g_kept = nullptr;
    gc_clear_roots();
    gc_root(g_kept);
  }
  void TearDown() override {
    g_kept = nullptr;
    CollectFully();
    gc_clear_roots();
  }
  static void CollectFully() {
    for (int i = 0; i < 2; ++i) {
      gc_ext_malloced(gc_sweep_threshold + 1);
      gc_collect(nullptr);
    }
    gc_flush_free_list();
  }
};

TEST_F(DataBufferCollect, AnUnreachableBufferFreesItsBytes) {
  CollectFully(); // garbage left by other tests goes first
  constexpr int kSize = 32 << 20;
  gc_assign(g_kept, BufferOf("kept"));
  std::size_t before = HeapInUse();
  c_DataBuffer* lost = NewBuffer(kSize);
  lost->data[kSize - 1] = 1;
  std::size_t grown = HeapInUse();
  EXPECT_GE(grown, before + kSize);

  CollectFully();
  EXPECT_LE(HeapInUse() + kSize, grown);
  ASSERT_TRUE(gc_is_live_object(g_kept));
  EXPECT_EQ(Text(g_kept), "kept");
}

} // namespace
