#include "platform/text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace text {
namespace {

// Each input with the code points NextCodePoint reads from it and whether it is well-formed;
// ReplaceIllFormedUtf8 must give the same code points, well-formed.
TEST(Utf8, ReadsWellFormedSequencesAndReplacesEveryOtherByte) {
  constexpr char32_t R = kReplacementChar;
  const struct {
    std::string text;
    std::u32string code_points;
    bool well_formed;
  } cases[] = {
      {"a\x7F", U"a\x7F", true},
      {"\xC3\xA9\xE9\xA6\x96\xF0\x9F\x98\x80", U"\u00E9\u9996\U0001F600", true},
      {"\xEF\xBF\xBD", {R}, true},
      {"\xC0\xAE", {R, R}, false},                // overlong "."
      {"\xE0\x80\xAE", {R, R, R}, false},         // overlong, three bytes
      {"\xED\xA0\x80", {R, R, R}, false},         // an encoded surrogate
      {"\xF4\x90\x80\x80", {R, R, R, R}, false},  // above U+10FFFF
      {"\xE9\xA6", {R, R}, false},                // cut off
      {"\xFFx", {R, U'x'}, false},
      {"", U"", true},
  };
  for (const auto& c : cases) {
    std::u32string read;
    for (std::size_t pos = 0; pos < c.text.size();) read.push_back(NextCodePoint(c.text, pos));
    EXPECT_EQ(read, c.code_points) << c.text;
    EXPECT_EQ(IsWellFormedUtf8(c.text), c.well_formed) << c.text;
    std::string expected;
    for (const char32_t cp : c.code_points) AppendUtf8(expected, cp);
    EXPECT_EQ(ReplaceIllFormedUtf8(c.text), expected) << c.text;
  }
}

TEST(Utf8, XmlAllowsTabLineEndsAndCharactersOutsideTheGaps) {
  for (const char32_t c : {0x9, 0xA, 0xD, 0x20, 0xD7FF, 0xE000, 0xFFFD, 0x10000, 0x10FFFF})
    EXPECT_TRUE(IsXmlChar(c)) << static_cast<int>(c);
  for (const char32_t c : {0x0, 0x8, 0x1F, 0xD800, 0xFFFE, 0xFFFF, 0x110000})
    EXPECT_FALSE(IsXmlChar(c)) << static_cast<int>(c);
}

}  // namespace
}  // namespace text
