// tests/e2e/state_text_test.cpp — the harness's state check against texts written out by hand.
#include "program.h"

using namespace e2e;

namespace {

// A state text of 403 fields: those given, the rest "0" (numbers) or "" (the words at odd
// fields from 203 on).
std::string Text(const std::map<size_t, std::string>& given) {
  std::string text;
  for (size_t i = 0; i < kStateFields; ++i) {
    const auto it = given.find(i);
    text += (it != given.end() ? it->second : i >= kWordPairs && i % 2 == 1 ? "" : "0") + "|";
  }
  return text;
}
// A new player's state: the sound mode (setting 5) at 1, so the settings sum is 5 × 1.
const std::string kNewPlayer = Text({{5, "1"}, {25, "5"}});
// Written by the game after three games. Settings 5, 10, 11, 12, 14, 15 = 2, 64, 64, 10, 1, 1:
// 10 + 640 + 704 + 120 + 14 + 15 = 1503. Badges -2147483639 + 1 + 256 - 2147483648 wrap to 266.
// Groups: 0: 4·56 + 3·56 = 392; 1: (4 + 5)·1234 + (4 + 5)·1234 = 22212; 2: (4 + 5)·98765 =
// 888885; 3: 4·56 = 224; 4: (4 + 5)·1234 = 11106; 5: 4·98765 = 395060; 6 and 7: 0.
const std::string kThreeGames =
    "0|0|0|0|0|2|0|0|0|0|64|64|10|0|1|1|0|0|0|0|0|0|0|0|0|1503|-2147483639|1|0|0|0|0|256|-2147483648|266|"
    "56|56|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|392|"
    "1234|1234|1234|1234|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|22212|"
    "98765|98765|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|888885|"
    "56|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|224|"
    "1234|0|1234|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|11106|"
    "98765|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|395060|"
    "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|"
    "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|"
    "QUIZ|40|LEXORM|41|ABCDEFGHIJKL|42|" +
    [] {
      std::string rest;
      for (int i = 3; i < 100; ++i) rest += "|0|";
      return rest;
    }();
// Sums that wrap. Settings 2, 5, 24 = -1, 2, 3: 2·(2^32 - 1) + 10 + 72 wraps to 80. Badges
// 1 + 2 - 1 and twice -2^31: 2. Group 0: top 120, last 120: 4·120 + 3·120 = 840. Group 1: tops
// 50, 20, lasts 20, 50: 4·50 + 5·20 + 4·20 + 5·50 = 630. Group 2: top 2^30, last 1: 4·2^30
// wraps to 0, + 5·1 = 5. Group 5: top 2^29: 4·2^29 = 2^31, written as -2147483648. Group 7:
// the tenth top 1 and last 2: 13·1 + 19·2 = 51.
const std::map<size_t, std::string> kWrapping{{2, "-1"},
                                              {5, "2"},
                                              {24, "3"},
                                              {25, "80"},
                                              {26, "1"},
                                              {27, "2"},
                                              {30, "-2147483648"},
                                              {31, "-2147483648"},
                                              {33, "-1"},
                                              {34, "2"},
                                              {35, "120"},
                                              {36, "120"},
                                              {55, "840"},
                                              {56, "50"},
                                              {57, "20"},
                                              {58, "20"},
                                              {59, "50"},
                                              {76, "630"},
                                              {77, "1073741824"},
                                              {78, "1"},
                                              {97, "5"},
                                              {140, "536870912"},
                                              {160, "-2147483648"},
                                              {200, "1"},
                                              {201, "2"},
                                              {202, "51"},
                                              {203, "QUIZ"},
                                              {204, "88"},
                                              {205, "LEXORM"},
                                              {206, "54"}};

TEST(StateText, HandMadeWholeTextsHaveNoProblems) {
  EXPECT_EQ(StateProblems(kNewPlayer), "") << "a new player";
  EXPECT_EQ(StateProblems(kThreeGames), "") << "three games";
  EXPECT_EQ(StateProblems(Text(kWrapping)), "") << "sums that wrap";
}

// Each text is the wrapping one with one thing changed; the problem named must say what.
TEST(StateText, ABadSumAMissingFieldOrANonNumberIsNamed) {
  auto with = [](size_t field, const std::string& value) {
    auto fields = kWrapping;
    fields[field] = value;
    return Text(fields);
  };
  const std::string whole = Text(kWrapping);
  const std::string withoutOne = whole.substr(0, whole.rfind('|', whole.size() - 2) + 1);
  const struct {
    const char* what;
    std::string text, named;
  } cases[] = {
      {"the settings sum one too many", with(25, "81"), "settings sum (field 25)"},
      {"the settings sum not wrapped", with(25, "8589934672"), "field 25 is no number"},
      {"the badge sum without the wrap", with(34, "3"), "badge sum (field 34)"},
      {"group 0's sum with the last ten weighted as the top ten", with(55, "960"),
       "score group 0 (field 55)"},
      {"group 1's sum one too few", with(76, "629"), "score group 1 (field 76)"},
      {"group 2's sum unwrapped", with(97, "4294967301"), "field 97 is no number"},
      {"group 5's sum as an unsigned number", with(160, "2147483648"), "field 160 is no number"},
      {"group 7's sum weighted by k + 3 alone", with(202, "37"), "score group 7 (field 202)"},
      {"a setting that is a word", with(3, "x"), "field 3 is no number: x"},
      {"a score with a letter after it", with(204, "12a"), "field 204 is no number: 12a"},
      {"an empty score table entry", with(40, ""), "field 40 is no number"},
      {"the last field missing", withoutOne, "402 fields"},
      {"a field too many", whole + "0|", "404 fields"},
      {"the closing bar missing", whole.substr(0, whole.size() - 1), "cut short"},
      {"nothing", "", "cut short"},
  };
  for (const auto& c : cases) {
    const std::string problem = StateProblems(c.text);
    EXPECT_NE(problem.find(c.named), std::string::npos) << c.what << ": " << problem;
  }
}

} // namespace
