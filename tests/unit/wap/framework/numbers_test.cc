#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/host/request_error.h"
#include "wap/framework/small_int.h"
#include "wap/framework/whole_number.h"

namespace wap {
namespace {

TEST(ParseSmallInt, FollowsTheGrammarAndRoundsHalfToEven) {
  const struct {
    const char* in;
    std::optional<int> out;
  } cases[] = {
      {"7", 7},
      {"-3", -3},
      {"+4", 4},
      {" \t12\t ", 12},
      {"12.5", 12},
      {"13.5", 14},
      {"-12.5", -12},
      {"-13.5", -14},
      {".5", 0},
      {"1.5", 2},
      {"5.", 5},
      {"2.50001", 3},
      {"2.4999", 2},
      {"0007", 7},
      {"-0", 0},
      {"32767", 32767},
      {"32767.4", 32767},
      {"32767.5", std::nullopt},
      {"-32768", -32768},
      {"-32768.5", -32768},
      {"-32768.6", std::nullopt},
      {"32768", std::nullopt},
      {"1000000", std::nullopt},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"+", std::nullopt},
      {".", std::nullopt},
      {"-.", std::nullopt},
      {"1e3", std::nullopt},
      {"0x10", std::nullopt},
      {"1 2", std::nullopt},
      {"\n5", std::nullopt},
      {"5,0", std::nullopt},
      {"--5", std::nullopt},
      {"\xEF\xBC\x95", std::nullopt},  // a full-width digit
      {"1.2.3", std::nullopt},
      {"abc", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<std::int16_t> got = ParseSmallInt(c.in);
    if (c.out) {
      ASSERT_TRUE(got.has_value()) << '"' << c.in << '"';
      EXPECT_EQ(*got, *c.out) << '"' << c.in << '"';
    } else {
      EXPECT_FALSE(got.has_value()) << '"' << c.in << "\" gave " << (got ? *got : 0);
    }
  }
}

TEST(ToSmallInt, CountsAnAbsentValueAsZeroAndRejectsAnEmptyOne) {
  EXPECT_EQ(ToSmallInt(std::nullopt, "id"), 0);
  EXPECT_EQ(ToSmallInt(std::string("12"), "id"), 12);
  EXPECT_THROW(ToSmallInt(std::string(""), "id"), host::RequestError);
  EXPECT_THROW(ToSmallInt(std::string("x"), "id"), host::RequestError);
}

TEST(CompareDecimal, ComparesTheExactValueWithAWholeNumber) {
  const struct {
    const char* value;
    std::int64_t n;
    int expected;
  } cases[] = {
      {"1", 1, 0},     {"1.2", 1, 1}, {"0.9", 1, -1}, {"-1", 0, -1},    {"0", 0, 0},
      {"-0.1", 0, -1}, {"0.1", 0, 1}, {"-2", -1, -1}, {"-1.5", -1, -1}, {"-0.5", -1, 1},
      {"10", 9, 1},    {"9", 10, -1}, {"5", -5, 1},   {"0", -3, 1},     {"0", 3, -1},
  };
  for (const auto& c : cases) {
    const std::optional<Decimal> d = ParseDecimal(c.value);
    ASSERT_TRUE(d.has_value()) << c.value;
    EXPECT_EQ(Compare(*d, c.n), c.expected) << c.value << " vs " << c.n;
  }
}

TEST(ParseWholeNumber, TakesSurroundingSpacesAMinusAndUpTo18Digits) {
  const struct {
    const char* in;
    std::optional<std::int64_t> out;
  } cases[] = {
      {"5", 5},
      {"  12 ", 12},
      {"-7", -7},
      {"007", 7},
      {"999999999999999999", 999999999999999999},
      {"1234567890123456789", std::nullopt},  // 19 digits
      {"", std::nullopt},
      {"  ", std::nullopt},
      {"-", std::nullopt},
      {"+5", std::nullopt},
      {"1.0", std::nullopt},
      {"1 or 1=1", std::nullopt},
      {"1;delete from wap_classes", std::nullopt},
      {"\t5", std::nullopt},
      {"0x1", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseWholeNumber(c.in), c.out) << '"' << c.in << '"';
}

TEST(RequireWholeNumber, RejectsAMissingValue) {
  EXPECT_EQ(RequireWholeNumber(std::string(" 42"), "userid"), 42);
  EXPECT_THROW(RequireWholeNumber(std::nullopt, "userid"), host::RequestError);
  EXPECT_THROW(RequireWholeNumber(std::string("4x"), "userid"), host::RequestError);
}

}  // namespace
}  // namespace wap
