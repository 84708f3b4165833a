// SPDX-License-Identifier: MIT
#include "cli/wildcard.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace tamrik {
namespace {

TEST(WildcardMatch, StarAndQuestionMark) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"disk.lif", "disk.lif", true},
      {"disk.lif", "disk.lif2", false},
      {"disk.lif", "Disk.lif", false},
      {"*", "anything", true},
      {"*", ".", true},
      {"*", "..", true},
      {"*.lif", "a.lif", true},
      {"*.lif", ".lif", true},
      {"*.lif", "a.LIF", false},
      {"*.lif", "a.lif.bak", false},
      {"?.lif", "a.lif", true},
      {"?.lif", "ab.lif", false},
      {"a*b*c", "abc", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYc.", false},
      {"**", "", true},
      {"?", "", false},
      {"[ab].lif", "a.lif", false},
      {"[ab].lif", "[ab].lif", true},
      {"\\*", "\\x", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  }
}

// Every pattern and name of up to three characters over a, b, '*' and '?',
// against a regular expression made from the pattern: names that hold the
// wildcard characters themselves must match as well.
TEST(WildcardMatch, EveryShortPatternAgreesWithARegularExpression) {
  std::vector<std::string> texts = {""};
  for (std::size_t from = 0, to = 1; texts.back().size() < 3; from = to, to = texts.size()) {
    for (std::size_t i = from; i < to; ++i) {
      for (char c : {'a', 'b', '*', '?'}) texts.push_back(texts[i] + c);
    }
  }
  int wrong = 0;
  for (const std::string& pattern : texts) {
    std::string expression;
    for (char c : pattern) {
      if (c == '*') {
        expression += ".*";
      } else if (c == '?') {
        expression += '.';
      } else {
        expression += c;  // a letter, literal in a regular expression too
      }
    }
    const std::regex whole(expression);
    for (const std::string& name : texts) {
      const bool expected = std::regex_match(name, whole);
      if (wildcardMatch(pattern, name) != expected) {
        ++wrong;
        ADD_FAILURE() << "pattern \"" << pattern << "\" name \"" << name << "\": expected "
                      << expected;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(WildcardMatch, ManyStarsStayFast) {
  const std::string name(2000, 'a');
  EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*a*a*a*b", name));
}

}  // namespace
}  // namespace tamrik
