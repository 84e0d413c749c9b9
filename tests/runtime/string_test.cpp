// tests/runtime/string_test.cpp — String: conversions, slicing, search, replace, split and join.
#include <gtest/gtest.h>

#include "runtime/string.h"

namespace {

String S(const char* s) { return String(s); }
std::string U8(const String& s) { return s.ToUtf8(); }

TEST(String, EmptyStringsShareTheStaticBodyWithoutCounting) {
  {
    String a, b(u"", 0), c(""), d = S("abc").Slice(1, 1), e = S("x").Replace(S("x"), S(""));
    EXPECT_TRUE(a.SharesBodyWith(b));
    EXPECT_TRUE(a.SharesBodyWith(c));
    EXPECT_TRUE(a.SharesBodyWith(d));
    EXPECT_TRUE(a.SharesBodyWith(e));
    String f = a;
    f = b;
  }
  EXPECT_EQ(String::nullRep.refs, 1);
  // Bodies are counted: a copy keeps the text alive after the original is gone.
  String* original = new String(S("kept"));
  String copy = *original;
  delete original;
  EXPECT_EQ(copy, S("kept"));
}

TEST(String, NumbersAndBytes) {
  EXPECT_EQ(U8(String(-3)), "-3");
  EXPECT_EQ(U8(String(1.0f)), "1.0");
  EXPECT_EQ(U8(String(0.5f)), "0.5");
  EXPECT_EQ(U8(String(0.1f)), "0.10000000149011612");
  EXPECT_EQ(U8(String(1e20f)), "1.0000000200408773e+20");
  // Bytes widen as unsigned values: 0xE9 is U+00E9, not U+FFE9.
  String e("\xE9");
  ASSERT_EQ(e.Length(), 1);
  EXPECT_EQ(e[0], 0x00E9);
  EXPECT_EQ(String("a\xFFz", 3)[1], 0x00FF);
}

TEST(String, ToIntReadsLikeAtoiAndSaturates) {
  EXPECT_EQ(S("  -12xyz").ToInt(), -12);
  EXPECT_EQ(S("").ToInt(), 0);
  EXPECT_EQ(S("abc").ToInt(), 0);
  EXPECT_EQ(S("+7").ToInt(), 7);
  EXPECT_EQ(S("\t\n 42").ToInt(), 42);
  EXPECT_EQ(S("99999999999").ToInt(), 2147483647);
  EXPECT_EQ(S("-99999999999").ToInt(), -2147483647 - 1);
  EXPECT_EQ(S("2147483647").ToInt(), 2147483647);
  EXPECT_EQ(S("-2147483648").ToInt(), -2147483647 - 1);
  EXPECT_EQ(S("-2147483649").ToInt(), -2147483647 - 1);
  // Only the first 63 characters are read.
  std::string digits(62, '0');
  EXPECT_EQ(String((digits + "15").c_str()).ToInt(), 1);
}

TEST(String, SliceClampsAndShares) {
  String t = S("abcdef");
  EXPECT_EQ(t.Slice(-3, -1), S("de"));
  EXPECT_EQ(t.Slice(2, 100), S("cdef"));
  EXPECT_EQ(t.Slice(4, 2).Length(), 0);
  EXPECT_TRUE(t.Slice(0, t.Length()).SharesBodyWith(t));
  EXPECT_TRUE(t.Slice(-100, 100).SharesBodyWith(t));
  EXPECT_FALSE(t.Slice(1, 6).SharesBodyWith(t));
  EXPECT_EQ(S("abcde").Slice(1, -10).Length(), 0);
  EXPECT_EQ(t.Slice(3), S("def"));
  EXPECT_EQ(t.Slice(6, 6).Length(), 0);
}

TEST(String, FindStartsEndsAndEquality) {
  String t = S("hello world");
  EXPECT_EQ(t.Find(S("o")), 4);
  EXPECT_EQ(t.Find(S("o"), 5), 7);
  EXPECT_EQ(t.Find(S("o"), -20), 4);
  EXPECT_EQ(t.Find(S("xyz")), -1);
  EXPECT_EQ(t.Find(S(""), 3), 3);
  EXPECT_EQ(t.Find(S(""), 11), 11);
  EXPECT_EQ(t.Find(S(""), 12), -1);
  EXPECT_EQ(t.Find(S("world!")), -1);
  EXPECT_TRUE(t.StartsWith(S("hell")));
  EXPECT_TRUE(t.EndsWith(S("world")));
  EXPECT_FALSE(S("lo").EndsWith(S("hello")));
  EXPECT_TRUE(t.StartsWith(S("")));
  EXPECT_EQ(S("ab"), String(u"ab"));
  EXPECT_NE(S("ab"), S("abc"));
  EXPECT_NE(S("ab"), S("aB"));
}

TEST(String, ConcatenationSharesAnEmptySide) {
  String a = S("abc"), empty;
  EXPECT_TRUE((a + empty).SharesBodyWith(a));
  EXPECT_TRUE((empty + a).SharesBodyWith(a));
  String ab = a + S("de");
  EXPECT_EQ(ab, S("abcde"));
  EXPECT_EQ(a, S("abc")); // receiver unchanged
}

TEST(String, CaseMappingUsesWideCharacterTables) {
  setlocale(LC_CTYPE, "C.UTF-8");
  EXPECT_EQ(S("aBc1").ToUpper(), S("ABC1"));
  EXPECT_EQ(S("aBc1").ToLower(), S("abc1"));
  EXPECT_EQ(String(u"\u00e9").ToUpper(), String(u"\u00c9"));
}

TEST(String, ReplaceCountsNonOverlappingMatches) {
  EXPECT_EQ(S("aaa").Replace(S("aa"), S("b")), S("ba"));
  EXPECT_EQ(S("a.b.c").Replace(S("."), S("::")), S("a::b::c"));
  EXPECT_EQ(S("xyx").Replace(S("x"), S("")), S("y"));
  EXPECT_EQ(S("xx").Replace(S("x"), S("")).Length(), 0);
  String t = S("nothing here");
  EXPECT_TRUE(t.Replace(S("zz"), S("q")).SharesBodyWith(t));
  EXPECT_TRUE(t.Replace(S(""), S("q")).SharesBodyWith(t));
}

TEST(String, SplitGivesEveryPieceAndSharesWhenThereIsNoSeparator) {
  Array<String> parts = S(",a,,b,").Split(S(","));
  ASSERT_EQ(parts.Length(), 5);
  EXPECT_EQ(parts[0].Length(), 0);
  EXPECT_EQ(parts[1], S("a"));
  EXPECT_EQ(parts[2].Length(), 0);
  EXPECT_EQ(parts[3], S("b"));
  EXPECT_EQ(parts[4].Length(), 0);

  String abc = S("abc");
  Array<String> one = abc.Split(S(","));
  ASSERT_EQ(one.Length(), 1);
  EXPECT_TRUE(one[0].SharesBodyWith(abc));

  Array<String> chars = S("ab").Split(S(""));
  ASSERT_EQ(chars.Length(), 2);
  EXPECT_EQ(chars[0], S("a"));
  EXPECT_EQ(chars[1], S("b"));
  EXPECT_EQ(String().Split(S("")).rep, &Array<String>::nullRep);

  Array<String> multi = S("a--b----c").Split(S("--"));
  ASSERT_EQ(multi.Length(), 4);
  EXPECT_EQ(multi[2].Length(), 0);
  EXPECT_EQ(multi[3], S("c"));
}

TEST(String, JoinUsesTheReceiverAsSeparator) {
  EXPECT_EQ(S("-").Join(Array<String>()).Length(), 0);
  Array<String> one(1);
  one[0] = S("solo");
  EXPECT_TRUE(S("-").Join(one).SharesBodyWith(one[0]));
  Array<String> xyz = S("x,y,z").Split(S(","));
  EXPECT_EQ(S("-").Join(xyz), S("x-y-z"));
  EXPECT_EQ(S("").Join(xyz), S("xyz"));
  EXPECT_EQ(S(", ").Join(S(",a,").Split(S(","))), S(", a, "));
}

TEST(String, Utf8EncodingKeepsSurrogatesApart) {
  EXPECT_EQ(U8(String(u"\u00e9")), "\xC3\xA9");
  EXPECT_EQ(U8(String(u"\u20ac")), "\xE2\x82\xAC");
  const char16_t pair[] = {0xD83D, 0xDE00};
  EXPECT_EQ(U8(String(pair, 2)), "\xED\xA0\xBD\xED\xB8\x80");
  EXPECT_EQ(String::FromUtf8("\xC3\xA9t\xC3\xA9", 5), String(u"\u00e9t\u00e9"));
  EXPECT_EQ(String::FromUtf8("h\xE9", 2)[1], 0xE9); // invalid: bytes as characters
}

TEST(String, CStringHoldsTheLowBytes) {
  String t(u"A\u0142z");
  String::CString<char> c(t);
  EXPECT_STREQ(c, "ABz"); // U+0142 keeps 0x42
}

} // namespace
