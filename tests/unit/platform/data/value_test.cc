#include "platform/data/value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace data {
namespace {

TEST(Value, TextFormOfEachKind) {
  const struct {
    Value value;
    const char* text;
  } cases[] = {
      {Value(), ""},
      {Value(std::int64_t{0}), "0"},
      {Value(std::int64_t{-42}), "-42"},
      {Value(1.5), "1.5"},
      {Value(0.1), "0.1"},
      {Value(15.0), "15"},
      {Value(std::string("")), ""},
      {Value(std::string("首页")), "首页"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value.ToText(), c.text) << c.text;
}

TEST(Value, ToIntegerAcceptsOnlyWholeNumbersInPlainDecimal) {
  const struct {
    Value value;
    std::optional<std::int64_t> expected;
  } cases[] = {
      {Value(std::int64_t{7}), 7},
      {Value(std::string("12")), 12},
      {Value(std::string("-12")), -12},
      {Value(std::string("9223372036854775807")), INT64_MAX},
      {Value(std::string("9223372036854775808")), std::nullopt},
      {Value(std::string("")), std::nullopt},
      {Value(std::string("-")), std::nullopt},
      {Value(std::string("+1")), std::nullopt},
      {Value(std::string(" 1")), std::nullopt},
      {Value(std::string("1 ")), std::nullopt},
      {Value(std::string("12a")), std::nullopt},
      {Value(std::string("1.0")), std::nullopt},
      {Value(1.0), std::nullopt},
      {Value(), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value.ToInteger(), c.expected) << c.value.ToText();
}

}  // namespace
}  // namespace data
