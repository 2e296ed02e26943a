#include "platform/fs/wildcard.h"

#include <gtest/gtest.h>

namespace {

TEST(Wildcard, MatchesStarQuestionMarkAndTheStemOfDotStar) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.*", "a.txt", true},
      {"*.*", "README", true},
      {"*.*", ".hidden", true},
      {"*", "", true},
      {"*.txt", "a.txt", true},
      {"*.txt", "a.TXT", false},
      {"*.txt", "a.txt.bak", false},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"?.gif", "a.gif", true},
      {"?.gif", "ab.gif", false},
      {"?.gif", "页.gif", true},
      {"??.gif", "页.gif", false},
      {"a.*", "a", true},
      {"a.*", "ab", false},
      {"logo.gif", "logo.gif", true},
      {"logo.gif", "logo.gifx", false},
      {"**", "x", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fso::MatchesWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  }
  EXPECT_TRUE(fso::HasWildcard("*.*"));
  EXPECT_TRUE(fso::HasWildcard("a?"));
  EXPECT_FALSE(fso::HasWildcard("index.asp"));
}

}  // namespace
