// SPDX-License-Identifier: MIT
#include "cli/wildcard.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(WildcardMatch, ManyStarsStayFast) {
  const std::string name(2000, 'a');
  EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*a*a*a*b", name));
}

}  // namespace
}  // namespace tamrik
