#include "platform/text/ascii.h"

#include <gtest/gtest.h>

namespace text {
namespace {

TEST(Ascii, FoldsAsciiLettersOnly) {
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"UserID", "userid", true},     {"PAGE", "page", true},  {"a-Z_09", "A-z_09", true},
      {"page", "pagE ", false},       {"@[`{", "`{@[", false}, {"\xC3\x89", "\xC3\xA9", false},
      {"\xC3\x89", "\xC3\x89", true}, {"", "", true},          {"x", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
    EXPECT_EQ(AsciiLower(c.a) == AsciiLower(c.b), c.equal) << c.a << " / " << c.b;
  }
  EXPECT_EQ(AsciiLower("Text/VND.wap.WML; Charset=\xC3\x89"), "text/vnd.wap.wml; charset=\xC3\x89");
  EXPECT_TRUE(StartsWithIgnoreCase("SQLite:data/x.db", "sqlite:"));
  EXPECT_FALSE(StartsWithIgnoreCase("sql", "sqlite:"));
  EXPECT_TRUE(EndsWithIgnoreCase("INDEX.Asp", ".asp"));
  EXPECT_FALSE(EndsWithIgnoreCase("x.aspx", ".asp"));
}

}  // namespace
}  // namespace text
