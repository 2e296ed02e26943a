#include "wap/framework/small_int.h"

#include "platform/host/objects/request_error.h"

namespace wap {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Compares two digit strings without leading zeros as numbers.
int CompareDigits(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

std::optional<Decimal> ParseDecimal(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  Decimal d;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    d.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::size_t i = 0;
  while (i < text.size() && IsDigit(text[i])) ++i;
  std::string_view integer = text.substr(0, i);
  std::string_view fraction;
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    while (j < text.size() && IsDigit(text[j])) ++j;
    fraction = text.substr(i + 1, j - i - 1);
    i = j;
  }
  if (i != text.size() || (integer.empty() && fraction.empty())) return std::nullopt;
  while (!integer.empty() && integer.front() == '0') integer.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  d.integer_digits = std::string(integer);
  d.fraction_digits = std::string(fraction);
  if (d.integer_digits.empty() && d.fraction_digits.empty()) d.negative = false;  // -0 is 0
  return d;
}

int Compare(const Decimal& value, std::int64_t n) {
  const bool n_negative = n < 0;
  const bool v_zero = value.integer_digits.empty() && value.fraction_digits.empty();
  if (v_zero) return n == 0 ? 0 : (n_negative ? 1 : -1);
  if (value.negative != n_negative || n == 0) return value.negative ? -1 : 1;
  // Same sign, both non-zero: compare magnitudes, then flip for negatives.
  const std::uint64_t magnitude =
      n_negative ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  int c = CompareDigits(value.integer_digits, std::to_string(magnitude));
  if (c == 0 && !value.fraction_digits.empty()) c = 1;
  return value.negative ? -c : c;
}

std::optional<std::int16_t> ParseSmallInt(std::string_view text) {
  const std::optional<Decimal> d = ParseDecimal(text);
  if (!d || d->integer_digits.size() > 5) return std::nullopt;
  std::int32_t magnitude = d->integer_digits.empty() ? 0 : std::stoi(d->integer_digits);
  if (!d->fraction_digits.empty()) {
    const char first = d->fraction_digits.front();
    const bool exact_half = first == '5' && d->fraction_digits.size() == 1;
    if (first > '5' || (first == '5' && !exact_half) || (exact_half && magnitude % 2 == 1)) {
      ++magnitude;
    }
  }
  const std::int32_t value = d->negative ? -magnitude : magnitude;
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

std::int16_t ToSmallInt(const std::optional<std::string>& value, std::string_view name) {
  if (!value) return 0;
  const std::optional<std::int16_t> n = ParseSmallInt(*value);
  if (!n) {
    throw host::RequestError("the value of " + std::string(name) +
                             " is not a whole number from -32768 to 32767");
  }
  return *n;
}

}  // namespace wap
