// tests/e2e/robot_support.cpp — see robot_support.h.
#include "robot_support.h"

#include <regex>
#include <sstream>

namespace e2e {

std::string AllShortWords() {
  std::string out;
  auto put = [&](uint32_t v) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>(v >> (8 * k) & 0xff);
    for (int k = 0; k < 4; ++k) out += '\0';
  };
  for (uint32_t a = 1; a <= 26; ++a)
    for (uint32_t b = 1; b <= 26; ++b) put(a | b << 5);
  for (uint32_t a = 1; a <= 26; ++a)
    for (uint32_t b = 1; b <= 26; ++b)
      for (uint32_t c = 1; c <= 26; ++c) put(a | b << 5 | c << 10);
  return out;
}

int LetterValue(char c) {
  static const int kValues[26] = {1, 3, 3, 2, 1, 4, 2, 4, 1, 7, 5, 4, 3,
                                  2, 1, 3, 8, 1, 1, 1, 2, 5, 4, 6, 4, 8};
  return c >= 'A' && c <= 'Z' ? kValues[c - 'A'] : 0;
}

int WordScore(const std::string& word) {
  int sum = 0;
  for (char c : word) sum += LetterValue(c);
  return static_cast<int>(word.size()) * sum;
}

std::vector<Chain> Chains(const std::string& output) {
  static const std::regex line(R"((-?\d+)\.0,(-?\d+)\.0)");
  std::vector<Chain> chains;
  std::istringstream in(output);
  int entries = 0;
  Chain current;
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) continue;
    const int x = std::stoi(m[1]), y = std::stoi(m[2]);
    if (x >= 0 && y >= 0) current.push_back({x, y});
    if (++entries == 21) {
      chains.push_back(current);
      current.clear();
      entries = 0;
    }
  }
  return chains;
}

std::string Printed(const Program& p) {
  std::string text = "the chains printed:";
  for (const Chain& chain : Chains(p.Output())) {
    text += " ";
    for (const Cell& c : chain) text += "(" + std::to_string(c.first) + "," + std::to_string(c.second) + ")";
    if (chain.empty()) text += "(none)";
  }
  return text;
}

} // namespace e2e
