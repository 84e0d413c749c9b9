// tests/runtime/load_test.cpp — String::Load: byte-order marks, UTF-8 and the byte fallback.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/string.h"

namespace {

String LoadBytes(const std::string& bytes) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  String s = String::Load(f);
  std::fclose(f);
  return s;
}

std::u16string Units(const String& s) { return std::u16string(s.Data(), s.Length()); }

TEST(StringLoad, ByteOrderMarks) {
  EXPECT_EQ(Units(LoadBytes("\xEF\xBB\xBFhi")), u"hi");
  EXPECT_EQ(Units(LoadBytes(std::string("\xFF\xFE\x41\x00\x42", 5))), u"A"); // odd byte dropped
  EXPECT_EQ(Units(LoadBytes(std::string("\xFE\xFF\x00\x41\x20\xAC", 6))), u"A\u20ac");
  EXPECT_EQ(Units(LoadBytes(std::string("\xFF\xFE\xAC\x20", 4))), u"\u20ac");
  EXPECT_EQ(LoadBytes("\xFF\xFE").Length(), 0);
  EXPECT_EQ(LoadBytes("\xEF\xBB\xBF").Length(), 0);
  EXPECT_EQ(LoadBytes("").Length(), 0);
  // Two bytes of a mark are not a mark: decoded as UTF-8, which they are not.
  EXPECT_EQ(Units(LoadBytes("\xEF\xBB")), u"\u00ef\u00bb");
}

TEST(StringLoad, Utf8AndTheByteFallback) {
  EXPECT_EQ(Units(LoadBytes("a\xC3\xA9\xE2\x82\xAC")), u"a\u00e9\u20ac");
  EXPECT_EQ(str_load_err.Length(), 0);

  EXPECT_EQ(Units(LoadBytes("h\xE9")), u"h\u00e9");
  EXPECT_EQ(str_load_err, String("Invalid UTF-8"));
  // A clean load clears the error again, an empty file too.
  LoadBytes("ok");
  EXPECT_EQ(str_load_err.Length(), 0);
  LoadBytes("h\xE9");
  LoadBytes("");
  EXPECT_EQ(str_load_err.Length(), 0);

  EXPECT_EQ(Units(LoadBytes("\x80x")), u"\u0080x");                             // stray continuation byte
  EXPECT_EQ(Units(LoadBytes("\xF0\x9F\x98\x80")), u"\u00f0\u009f\u0098\u0080"); // four-byte sequence
  EXPECT_EQ(Units(LoadBytes("ab\xE2\x82")), u"ab\u00e2\u0082");                 // cut off by the end
  EXPECT_EQ(Units(LoadBytes("\xC0\xAF")), u"\u00c0\u00af");                     // "/" in two bytes
  EXPECT_EQ(Units(LoadBytes("\xE0\x81\x81")), u"\u00e0\u0081\u0081");           // "A" in three
  // After a byte-order mark the fallback starts behind it.
  EXPECT_EQ(Units(LoadBytes("\xEF\xBB\xBFz\xFF")), u"z\u00ff");
}

TEST(StringLoad, LongFilesCrossReadBlocks) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "\xE2\x82\xAC"; // 9000 bytes, sequences straddle 4096
  String s = LoadBytes(text);
  ASSERT_EQ(s.Length(), 3000);
  EXPECT_EQ(s[2999], 0x20AC);
  std::string exact(8192, 'x');
  EXPECT_EQ(LoadBytes(exact).Length(), 8192);
}

} // namespace
