// The numbers of request values that enter SQL text: ParseSmallInt (ids, page numbers) and
// ParseWholeNumber (owner ids). Each result is compared with a slow reference that reads the text
// with strtod/strtoll where those are exact (short inputs), and the two conversions must agree
// where their grammars overlap.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "platform/host/request_error.h"
#include "wap/framework/small_int.h"
#include "wap/framework/whole_number.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The small-integer grammar, checked on its own: blanks (space, tab) around an optional sign,
// digits with an optional fraction, at least one digit. The trimmed text, or nullopt.
std::optional<std::string> SmallIntGrammar(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  std::size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  std::size_t digits = 0, dots = 0;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      ++digits;
    } else if (text[i] == '.' && dots == 0) {
      ++dots;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  return std::string(text);
}

// The reference for inputs of at most 15 significant digits, where strtod is exact enough that a
// half stays a half: round half to even, then the range.
std::optional<std::optional<int>> ReferenceSmallInt(std::string_view text) {
  const auto trimmed = SmallIntGrammar(text);
  if (!trimmed) return std::optional<int>();
  std::size_t significant = 0;
  bool leading = true;
  for (const char c : *trimmed) {
    if (c >= '1' && c <= '9') leading = false;
    if (IsDigit(c) && !leading) ++significant;
  }
  if (significant > 15) return std::nullopt;  // no opinion
  const double value = std::strtod(trimmed->c_str(), nullptr);
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(value);
  if (rounded < -32768 || rounded > 32767) return std::optional<int>();
  return std::optional<int>(static_cast<int>(rounded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::optional<std::int16_t> small = wap::ParseSmallInt(text);
  if (const auto want = ReferenceSmallInt(text)) {
    const std::optional<int> got = small ? std::optional<int>(*small) : std::nullopt;
    fuzz::Check(got == *want, "ParseSmallInt disagrees with the reference", text);
  }
  // The conversion of a request value: the same number, or a request error (a 400).
  try {
    const std::int16_t n = wap::ToSmallInt(text, "id");
    fuzz::Check(small && n == *small, "ToSmallInt accepted what ParseSmallInt refused", text);
  } catch (const host::RequestError&) {
    fuzz::Check(!small, "ToSmallInt refused a small integer", text);
  }
  // ParseDecimal accepts exactly the grammar; Compare orders like the number it read.
  const std::optional<wap::Decimal> decimal = wap::ParseDecimal(text);
  fuzz::Check(decimal.has_value() == SmallIntGrammar(text).has_value(),
              "ParseDecimal and the grammar disagree", text);
  if (small) {
    for (const std::int64_t n : {std::int64_t{*small} - 1, std::int64_t{*small} + 1}) {
      const int c = wap::Compare(*decimal, n);
      fuzz::Check(n < *small ? c > 0 : c < 0, "Compare misorders a rounded neighbour", text);
    }
  }

  // Whole numbers: spaces, an optional "-", 1 to 18 digits.
  const std::optional<std::int64_t> whole = wap::ParseWholeNumber(text);
  const auto first = text.find_first_not_of(' ');
  std::string trimmed =
      first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
  const bool negative = !trimmed.empty() && trimmed[0] == '-';
  const std::string digits = negative ? trimmed.substr(1) : trimmed;
  const bool grammar = !digits.empty() && digits.size() <= 18 &&
                       digits.find_first_not_of("0123456789") == std::string::npos;
  fuzz::Check(whole.has_value() == grammar, "ParseWholeNumber and its grammar disagree", text);
  if (whole) {
    fuzz::Check(*whole == std::strtoll(trimmed.c_str(), nullptr, 10),
                "ParseWholeNumber disagrees with strtoll", text);
    if (*whole >= -32768 && *whole <= 32767) {
      fuzz::Check(small && *small == *whole, "a whole number in range is not a small integer",
                  text);
    }
  }
  return 0;
}
