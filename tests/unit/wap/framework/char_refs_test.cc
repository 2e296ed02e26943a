#include "wap/framework/char_refs.h"

#include <gtest/gtest.h>

#include <string>

namespace wap {
namespace {

TEST(ToCharRefs, WritesEveryCharacterAsAnUpperCaseHexReference) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"abc", "&#x61;&#x62;&#x63;"},
      {"首页", "&#x9996;&#x9875;"},
      {"\xC3\xA9", "&#xE9;"},  // U+00E9
      {"蓝", "&#x84DD;"},      // upper-case digits
      {"\n", "&#xA;"},         // one digit, no leading zero
      {"\t\r", "&#x9;&#xD;"},  // allowed control characters stay
      {"<&>\"' ", "&#x3C;&#x26;&#x3E;&#x22;&#x27;&#x20;"},
      {"\xF0\x9F\x98\x80", "&#x1F600;"},  // a surrogate pair gives one reference
      {"\xEF\xBF\xBD", "&#xFFFD;"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToCharRefs(c.in), c.out) << c.in;
}

TEST(ToCharRefs, WritesCharactersXmlForbidsAsReplacementCharacter) {
  const std::string forbidden[] = {
      std::string(1, '\0'),
      "\x01",
      "\x08",
      "\x0B",
      "\x0C",
      "\x0E",
      "\x1F",
      "\xEF\xBF\xBE",  // U+FFFE
      "\xEF\xBF\xBF",  // U+FFFF
      "\xED\xA0\x80",  // an encoded lone surrogate (each byte is unreadable)
      "\xFF",          // not UTF-8 at all
  };
  for (const std::string& f : forbidden) {
    const std::string refs = ToCharRefs(f);
    std::string expected;
    // Unreadable bytes each give one replacement; a readable forbidden character gives one.
    const std::size_t n = (f == "\xED\xA0\x80") ? 3 : 1;
    for (std::size_t i = 0; i < n; ++i) expected += "&#xFFFD;";
    EXPECT_EQ(refs, expected) << "byte " << static_cast<int>(static_cast<unsigned char>(f[0]));
  }
}

}  // namespace
}  // namespace wap
