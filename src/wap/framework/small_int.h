// The small integer: a request value converted to a 16-bit signed whole number, for ids and page
// numbers that enter SQL text and links. Pure; thread-safe.
//
// Grammar: surrounding blanks (spaces and tabs) are ignored; what remains is an optional "+" or
// "-", then ASCII digits with an optional fraction ("7", "-3", "12.5", ".5", "5."); nothing else
// (no exponent, no hex, no other digits). The number is rounded to the nearest whole number, an
// exact half to the even neighbour, and must then lie in -32768..32767.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wap {

// A value read in the grammar above, exactly (before rounding).
struct Decimal {
  bool negative = false;
  std::string integer_digits;   // without leading zeros; "" for zero
  std::string fraction_digits;  // without trailing zeros; "" for none
};

// `text` read in the grammar; std::nullopt when it does not follow it (empty included).
std::optional<Decimal> ParseDecimal(std::string_view text);

// -1, 0 or 1 as `value` is less than, equal to or greater than `n`.
int Compare(const Decimal& value, std::int64_t n);

// `text` converted; std::nullopt when it is not in the grammar or out of range after rounding.
std::optional<std::int16_t> ParseSmallInt(std::string_view text);

// A request value converted: absent gives 0; a present value that does not convert throws
// host::RequestError naming `name`.
std::int16_t ToSmallInt(const std::optional<std::string>& value, std::string_view name);

}  // namespace wap
