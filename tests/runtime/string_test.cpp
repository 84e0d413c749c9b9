// tests/runtime/string_test.cpp — String: bodies, numbers, text operations, UTF-8 and loading files.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <tuple>

#include "runtime/string.h"

namespace {

String S(const char* s) { return String(s); }
std::u16string Units(const String& s) { return std::u16string(s.Data(), s.Length()); }

TEST(String, BodiesNumbersBytesAndToInt) {
  {
    String a, b(u"", 0), c(""), d = S("abc").Slice(1, 1), e = S("x").Replace(S("x"), S("")), f = d;
    for (const String* s : {&b, &c, &d, &e, &f}) EXPECT_TRUE(a.SharesBodyWith(*s));
  }
  String copy = S("kept"), other = copy;
  EXPECT_EQ(std::make_pair(copy.BodyRefs(), String::nullRep.refs), std::make_pair(2, 1));
  EXPECT_EQ(copy + String("\xE9"), String(u"kept\u00e9")); // bytes widen unsigned
  const std::pair<String, const char16_t*> numbers[] = {{String(-3), u"-3"},
                                                        {String(1.0f), u"1.0"},
                                                        {String(0.1f), u"0.10000000149011612"},
                                                        {String(1e20f), u"1.0000000200408773e+20"}};
  for (const auto& [text, want] : numbers) EXPECT_EQ(text, String(want)) << String(want).ToUtf8();
  // clang-format off
  const std::pair<const char*, int> cases[] = {
      {"  -12xyz", -12}, {"", 0}, {"abc", 0}, {"+7", 7}, {"\t\n\v\f\r42", 42}, {"\b5", 0},
      {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"99999999999", INT_MAX},
      {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN}, {"-99999999999", INT_MIN}};
  // clang-format on
  for (auto [text, value] : cases) EXPECT_EQ(S(text).ToInt(), value) << text;
  EXPECT_EQ(
      std::make_pair(String((std::string(62, '0') + "15").c_str()).ToInt(), String(u"\u0131\u0135").ToInt()),
      std::make_pair(1, 0)); // the first 63 characters only; no digit hides in a wider character
}

TEST(String, SliceFindCompareReplaceSplitAndJoin) {
  const String t = S("abcdef");
  const std::tuple<int, int, const char*> slices[] = {{-3, -1, "de"}, {2, 100, "cdef"}, {0, 5, "abcde"},
                                                      {5, 6, "f"},    {-1, 6, "f"},     {0, -1, "abcde"},
                                                      {0, 0, ""},     {4, 2, ""},       {1, -10, ""}};
  for (auto [from, to, out] : slices) EXPECT_EQ(t.Slice(from, to), S(out)) << from << " " << to;
  EXPECT_TRUE(t.Slice(-100, 100).SharesBodyWith(t));
  EXPECT_EQ(t.Slice(3), S("def"));
  const std::tuple<const char*, int, int> finds[] = {{"o", 0, 4},    {"o", 5, 7},      {"o", -20, 4},
                                                     {"d", 0, 10},   {"", 11, 11},     {"", 12, -1},
                                                     {"xyz", 0, -1}, {"world!", 0, -1}};
  for (auto [what, from, at] : finds)
    EXPECT_EQ(S("hello world").Find(S(what), from), at) << what << " " << from;
  // {text, part, starts with it, ends with it}
  const std::tuple<String, const char*, bool, bool> ends[] = {
      {t, "abcdef", true, true},        {t, "ab", true, false}, {t, "ef", false, true},
      {t, "b", false, false},           {t, "e", false, false}, {S("ab"), "abcdef", false, false},
      {S("ef"), "abcdef", false, false}};
  for (auto& [text, part, starts, endsWith] : ends) {
    EXPECT_EQ(text.StartsWith(S(part)), starts) << text.ToUtf8() << " starts with " << part;
    EXPECT_EQ(text.EndsWith(S(part)), endsWith) << text.ToUtf8() << " ends with " << part;
  }
  EXPECT_EQ(S("ab"), String(u"ab"));
  EXPECT_NE(S("ab"), S("abc"));
  EXPECT_NE(S("ab"), S("aB"));
  EXPECT_TRUE((t + String()).SharesBodyWith(t)) << "t + empty";
  EXPECT_TRUE((String() + t).SharesBodyWith(t)) << "empty + t";

  const std::tuple<const char*, const char*, const char*, const char*> replaces[] = {
      {"aaa", "aa", "b", "ba"},
      {"a.b.c", ".", "::", "a::b::c"},
      {"xyx", "x", "", "y"},
      {"ab", "b", "bb", "abb"}};
  for (auto [in, find, with, out] : replaces) EXPECT_EQ(S(in).Replace(S(find), S(with)), S(out)) << in;
  EXPECT_TRUE(t.Replace(S("zz"), S("q")).SharesBodyWith(t)) << "nothing found";
  EXPECT_TRUE(t.Replace(S(""), S("q")).SharesBodyWith(t)) << "nothing to find";
  const std::tuple<const char*, const char*, int, const char*> splits[] = {
      {",a,,b,", ",", 5, "|a||b|"}, {"a--b----c", "--", 4, "a|b||c"}, {"ab", "", 2, "a|b"}, {"", "", 0, ""}};
  for (auto [in, sep, n, out] : splits) {
    Array<String> parts = S(in).Split(S(sep));
    EXPECT_EQ(parts.Length(), n) << in;
    EXPECT_EQ(S("|").Join(parts), S(out)) << in;
  }
  EXPECT_TRUE(S("-").Join(t.Split(S(","))).SharesBodyWith(t)) << "one part, joined";
  EXPECT_EQ(S("-").Join(Array<String>()).Length(), 0);
}

// Each encoding length on both sides of its bound, both ways; anything invalid reads byte by byte.
TEST(String, Utf8BothWays) {
  // clang-format off
  const std::tuple<std::string, std::u16string, bool> cases[] = {
      {"\x7f", u"\u007f", true}, {"\xC2\x80", u"\u0080", true}, {"\xDF\xBF", u"\u07ff", true},
      {"\xE0\xA0\x80", u"\u0800", true}, {"\xEF\xBF\xBF", u"\uffff", true},
      {"\xED\xA0\xBD\xED\xB8\x80", u"\xD83D\xDE00", true}, // surrogates one by one
      {"\xC1\x81", u"\u00c1\u0081", false}, {"\xC0\xAF", u"\u00c0\u00af", false}, {"\x80x", u"\u0080x", false},
      {"\xE0\x9F\xBF", u"\u00e0\u009f\u00bf", false}, {"\xF0\x9F\x98\x80", u"\u00f0\u009f\u0098\u0080", false}};
  // clang-format on
  for (auto& [bytes, text, valid] : cases) {
    EXPECT_EQ(Units(String::FromUtf8(bytes.data(), static_cast<int>(bytes.size()))), text) << bytes;
    EXPECT_EQ(valid ? String(text.data(), static_cast<int>(text.size())).ToUtf8() : bytes, bytes);
  }
  // A sequence cut by the given length is invalid even when the byte after it would complete it.
  EXPECT_EQ(Units(String::FromUtf8("\xC3\xA9", 1)), u"\u00c3");
  EXPECT_EQ(Units(String::FromUtf8("\xE2\x82\xAC", 2)), u"\u00e2\u0082");
}

// Byte-order marks, UTF-8 and the byte fallback; every load sets or clears the error.
TEST(String, LoadDecodesFiles) {
  auto load = [](const std::string& bytes) {
    std::FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    String s = String::Load(f);
    std::fclose(f);
    return Units(s);
  };
  // clang-format off
  const std::tuple<std::string, std::u16string, bool> cases[] = {
      {"\xEF\xBB\xBFhi", u"hi", false}, {"\xEF\xBB", u"\u00ef\u00bb", true}, {"\xEF\xBB\xBF", u"", false},
      {"h\xE9", u"h\u00e9", true}, {"", u"", false}, {"\xFF\xFE", u"", false}, {"a\xC3\xA9", u"a\u00e9", false},
      {std::string("\xFF\xFE\x41\x00\x42", 5), u"A", false}, {"\xEF\xBB\xBFz\xFF", u"z\u00ff", true},
      {std::string("\xFE\xFF\x00\x41\x20\xAC", 6), u"A\u20ac", false}};
  // clang-format on
  for (auto& [bytes, text, error] : cases) {
    EXPECT_EQ(load(bytes), text) << bytes;
    EXPECT_EQ(str_load_err, error ? S("Invalid UTF-8") : String()) << bytes;
  }
  std::string euros;
  for (int i = 0; i < 3000; ++i) euros += "\xE2\x82\xAC"; // sequences straddle the 4096-byte reads
  EXPECT_EQ(load(euros), std::u16string(3000, u'\u20ac'));
  EXPECT_EQ(load(std::string(8192, 'x')).size(), 8192u);
}

} // namespace
