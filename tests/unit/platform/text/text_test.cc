// The text routines: path segments, percent-coding and UTF-8, each as one table.
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "platform/text/path.h"
#include "platform/text/percent.h"
#include "platform/text/utf8.h"

namespace text {
namespace {

TEST(Path, SplitsOnlyAtTheSeparatorsGiven) {
  using Parts = std::vector<std::string>;
  const std::tuple<Parts, const char*, const char*, std::optional<Parts>> cases[] = {
      // Dot segments and climbing out are host_unit PathGuard's rows; these are the separators.
      {{"wap"}, "..\\waphome/x", "/\\", Parts{"waphome", "x"}},
      {{"wap"}, "a\\b", "/", Parts{"wap", "a\\b"}}};
  for (const auto& [base, path, separators, result] : cases) {
    EXPECT_EQ(ApplyPathParts(base, path, separators), result) << path;
  }
}

TEST(Percent, EncodesAllButUnreservedAndTheCharactersKept) {
  using namespace std::string_literals;
  const std::tuple<std::string, std::string_view, std::string> cases[] = {
      {"aZ09-._~", "", "aZ09-._~"},
      {"a b/+%\xE9\xA6\x96", "", "a%20b%2F%2B%25%E9%A6%96"},
      {"\0x"s, "", "%00x"},
      {"a:b@c;d/", ":@", "a:b@c%3Bd%2F"}};
  for (const auto& [bytes, kept, encoded] : cases) {
    EXPECT_EQ(PercentEncode(bytes, kept), encoded) << bytes;
    EXPECT_EQ(PercentDecodeStrict(encoded).bytes, bytes) << bytes;
  }
}

TEST(Percent, FormValuesAreLenientPathsStrict) {
  using namespace std::string_literals;
  // The raw text, as a form value, and strictly decoded: the bytes or the fault.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"a+b%20c", "a b c", "a+b c"},
      {"%E9%a6%96", "\xE9\xA6\x96", "\xE9\xA6\x96"},
      {"%252e", "%2e", "%2e"},
      {"%00", "\0"s, "\0"s},
      {"100%", "100%", "incomplete %-escape"},
      {"%4", "%4", "incomplete %-escape"},
      {"%g0x", "%g0x", "invalid %-escape"},
      {"%%41", "%A", "invalid %-escape"}};
  for (const auto& [raw, form, strict] : cases) {
    EXPECT_EQ(PercentDecodeFormValue(raw), form) << raw;
    const StrictlyDecoded decoded = PercentDecodeStrict(raw);
    EXPECT_EQ(decoded.fault ? std::string(decoded.fault) : decoded.bytes, strict) << raw;
  }
}

// Each input with the code points NextCodePoint reads from it and whether it is well-formed;
// ReplaceIllFormedUtf8 must give the same code points, well-formed.
TEST(Utf8, ReadsWellFormedSequencesAndReplacesEveryOtherByte) {
  constexpr char32_t R = kReplacementChar;
  const std::tuple<std::string, std::u32string, bool> cases[] = {
      {"a\x7F", U"a\x7F", true},
      {"\xC3\xA9\xE9\xA6\x96\xF0\x9F\x98\x80", U"\u00E9\u9996\U0001F600", true},
      {"\xEF\xBF\xBD", {R}, true},
      {"\xC0\xAE", {R, R}, false},                // overlong "."
      {"\xED\xA0\x80", {R, R, R}, false},         // an encoded surrogate
      {"\xF4\x90\x80\x80", {R, R, R, R}, false},  // above U+10FFFF
      {"\xE9\xA6", {R, R}, false},                // cut off
      {"\xFFx", {R, U'x'}, false},
  };
  for (const auto& [text, code_points, well_formed] : cases) {
    std::u32string read;
    for (std::size_t pos = 0; pos < text.size();) read.push_back(NextCodePoint(text, pos));
    EXPECT_EQ(read, code_points) << text;
    EXPECT_EQ(IsWellFormedUtf8(text), well_formed) << text;
    EXPECT_EQ(CharacterCount(text), code_points.size()) << text;
    std::string expected;
    for (const char32_t cp : code_points) AppendUtf8(expected, cp);
    EXPECT_EQ(ReplaceIllFormedUtf8(text), expected) << text;
  }
  // XML allows tab, line ends and the characters outside its gaps.
  for (const char32_t c : {0x9, 0xA, 0xD, 0x20, 0xD7FF, 0xE000, 0xFFFD, 0x10000, 0x10FFFF})
    EXPECT_TRUE(IsXmlChar(c)) << static_cast<int>(c);
  for (const char32_t c : {0x0, 0x8, 0x1F, 0xD800, 0xFFFE, 0xFFFF, 0x110000})
    EXPECT_FALSE(IsXmlChar(c)) << static_cast<int>(c);
}

}  // namespace
}  // namespace text
