// tests/support/checks.h — named facts checked one by one, so that a failure names what broke.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

// Is("cursor x", got, want): numbers (and truth values) compare as doubles, anything else with ==.
struct Is {
  template <class A, class B> Is(std::string what, const A& got, const B& want) : what(std::move(what)) {
    std::ostringstream g, w;
    g.precision(9), w.precision(9);
    if constexpr (std::is_arithmetic_v<A> && std::is_arithmetic_v<B>) {
      same = static_cast<double>(got) == static_cast<double>(want);
      g << static_cast<double>(got), w << static_cast<double>(want);
    } else {
      same = got == want;
      g << '"' << got << '"', w << '"' << want << '"';
    }
    this->got = g.str(), this->want = w.str();
  }
  std::string what, got, want;
  bool same;
};
inline void ExpectAll(std::initializer_list<Is> facts) {
  for (const Is& f : facts) EXPECT_TRUE(f.same) << f.what << ": " << f.got << ", expected " << f.want;
}
