#include "platform/text/percent.h"

#include <gtest/gtest.h>

#include <string>

namespace text {
namespace {

TEST(Percent, FormValuesAreLenientPathsStrict) {
  using namespace std::string_literals;
  const struct {
    std::string raw;
    std::string form;    // PercentDecodeFormValue
    std::string strict;  // PercentDecodeStrict: the bytes, or the fault
  } cases[] = {
      {"a+b%20c", "a b c", "a+b c"},
      {"%E9%a6%96", "\xE9\xA6\x96", "\xE9\xA6\x96"},
      {"%252e", "%2e", "%2e"},  // decoded once only
      {"%00", "\0"s, "\0"s},
      {"100%", "100%", "incomplete %-escape"},
      {"%4", "%4", "incomplete %-escape"},
      {"%g0x", "%g0x", "invalid %-escape"},
      {"%%41", "%A", "invalid %-escape"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PercentDecodeFormValue(c.raw), c.form) << c.raw;
    const StrictlyDecoded strict = PercentDecodeStrict(c.raw);
    EXPECT_EQ(strict.fault ? std::string(strict.fault) : strict.bytes, c.strict) << c.raw;
  }
  EXPECT_EQ(HexDigitValue('F'), 15);
  EXPECT_EQ(HexDigitValue('G'), -1);
}

}  // namespace
}  // namespace text
