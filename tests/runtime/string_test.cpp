// tests/runtime/string_test.cpp — String: conversions, slicing, search, replace, split and join.
#include <gtest/gtest.h>

#include <climits>
#include <tuple>
#include <utility>

#include "runtime/string.h"

namespace {

String S(const char* s) { return String(s); }
std::string U8(const String& s) { return s.ToUtf8(); }
// The pieces joined with '|', so that empty pieces show.
std::string Pieces(const Array<String>& parts) { return U8(S("|").Join(parts)); }

TEST(String, EmptyStringsShareTheStaticBodyWithoutCounting) {
  {
    String a, b(u"", 0), c(""), d = S("abc").Slice(1, 1), e = S("x").Replace(S("x"), S(""));
    for (const String* s : {&b, &c, &d, &e}) EXPECT_TRUE(a.SharesBodyWith(*s));
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
  EXPECT_EQ(U8(String(0.1f)), "0.10000000149011612");
  EXPECT_EQ(U8(String(1e20f)), "1.0000000200408773e+20");
  // Bytes widen as unsigned values: 0xE9 is U+00E9, not U+FFE9.
  EXPECT_EQ(String("\xE9")[0], 0x00E9);
  EXPECT_EQ(String("a\xFFz", 3)[1], 0x00FF);
}

TEST(String, ToIntReadsLikeAtoiAndSaturates) {
  const std::pair<const char*, int> cases[] = {{"  -12xyz", -12},
                                               {"", 0},
                                               {"abc", 0},
                                               {"+7", 7},
                                               {"\t\n 42", 42},
                                               {"99999999999", INT_MAX},
                                               {"-99999999999", INT_MIN},
                                               {"2147483647", INT_MAX},
                                               {"-2147483648", INT_MIN},
                                               {"-2147483649", INT_MIN}};
  for (auto [text, value] : cases) EXPECT_EQ(S(text).ToInt(), value) << text;
  // Only the first 63 characters are read.
  EXPECT_EQ(String((std::string(62, '0') + "15").c_str()).ToInt(), 1);
}

TEST(String, SliceClampsAndShares) {
  String t = S("abcdef");
  EXPECT_EQ(t.Slice(-3, -1), S("de"));
  EXPECT_EQ(t.Slice(2, 100), S("cdef"));
  EXPECT_EQ(t.Slice(3), S("def"));
  for (auto [from, to] : {std::pair{4, 2}, {1, -10}, {6, 6}}) EXPECT_EQ(t.Slice(from, to).Length(), 0);
  EXPECT_TRUE(t.Slice(-100, 100).SharesBodyWith(t));
  EXPECT_FALSE(t.Slice(1, 6).SharesBodyWith(t));
}

TEST(String, FindStartsEndsAndEquality) {
  String t = S("hello world");
  const std::tuple<const char*, int, int> finds[] = {{"o", 0, 4},  {"o", 5, 7},      {"o", -20, 4},
                                                     {"", 11, 11}, {"", 12, -1},     {"xyz", 0, -1},
                                                     {"", 3, 3},   {"world!", 0, -1}};
  for (auto [what, from, at] : finds) EXPECT_EQ(t.Find(S(what), from), at) << what << " from " << from;
  EXPECT_TRUE(t.StartsWith(S("hell")));
  EXPECT_TRUE(t.EndsWith(S("world")));
  EXPECT_FALSE(S("lo").EndsWith(S("hello")));
  EXPECT_EQ(S("ab"), String(u"ab"));
  EXPECT_NE(S("ab"), S("abc"));
  EXPECT_NE(S("ab"), S("aB"));
}

TEST(String, ConcatenationSharesAnEmptySide) {
  String a = S("abc"), empty;
  EXPECT_TRUE((a + empty).SharesBodyWith(a));
  EXPECT_TRUE((empty + a).SharesBodyWith(a));
  EXPECT_EQ(a + S("de"), S("abcde"));
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
  String t = S("nothing here");
  EXPECT_TRUE(t.Replace(S("zz"), S("q")).SharesBodyWith(t));
  EXPECT_TRUE(t.Replace(S(""), S("q")).SharesBodyWith(t));
}

TEST(String, SplitAndJoin) {
  EXPECT_EQ(Pieces(S(",a,,b,").Split(S(","))), "|a||b|");
  EXPECT_EQ(Pieces(S("a--b----c").Split(S("--"))), "a|b||c");
  EXPECT_EQ(Pieces(S("ab").Split(S(""))), "a|b");
  EXPECT_EQ(String().Split(S("")).rep, &Array<String>::nullRep);
  String abc = S("abc");
  Array<String> one = abc.Split(S(","));
  ASSERT_EQ(one.Length(), 1);
  EXPECT_TRUE(one[0].SharesBodyWith(abc));
  // Join uses the receiver as the separator; a single piece is returned as it is.
  EXPECT_EQ(S("-").Join(Array<String>()).Length(), 0);
  EXPECT_TRUE(S("-").Join(one).SharesBodyWith(abc));
  EXPECT_EQ(S("").Join(S("x,y,z").Split(S(","))), S("xyz"));
}

TEST(String, Utf8EncodingKeepsSurrogatesApart) {
  EXPECT_EQ(U8(String(u"\u00e9\u20ac")), "\xC3\xA9\xE2\x82\xAC");
  const char16_t pair[] = {0xD83D, 0xDE00};
  EXPECT_EQ(U8(String(pair, 2)), "\xED\xA0\xBD\xED\xB8\x80");
  EXPECT_EQ(String::FromUtf8("\xC3\xA9t\xC3\xA9", 5), String(u"\u00e9t\u00e9"));
  EXPECT_EQ(String::FromUtf8("h\xE9", 2)[1], 0xE9);                // invalid: bytes as characters
  EXPECT_STREQ(String::CString<char>(String(u"A\u0142z")), "ABz"); // U+0142 keeps its low byte 0x42
}

} // namespace
