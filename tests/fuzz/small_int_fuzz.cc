// The numbers of request values: ParseSmallInt (ids, page numbers), ToSmallInt (the same or a
// 400), ParseDecimal and Compare, ParseWholeNumber (owner ids). Compared with strtod/strtoll
// where those are exact (up to 15 significant digits), and with each other where they overlap.
#include <cmath>
#include <cstdlib>
#include <regex>

#include "fuzz_check.h"
#include "platform/host/objects/request_error.h"
#include "wap/framework/small_int.h"
#include "wap/framework/whole_number.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (size > 256) return 0;  // std::regex recurses per character
  // Blanks around an optional sign, digits with an optional fraction (at least one digit).
  static const std::regex small_grammar("[ \t]*([+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+))[ \t]*");
  static const std::regex whole_grammar(" *(-?[0-9]{1,18}) *");
  std::smatch m;
  const bool in_grammar = std::regex_match(text, m, small_grammar);
  const std::optional<std::int16_t> small = wap::ParseSmallInt(text);
  const std::string digits =
      in_grammar ? std::regex_replace(m[1].str(), std::regex("[^1-9]*([0-9.]*)"), "$1") : "";
  fuzz::Check(in_grammar || !small, "ParseSmallInt read a text outside its grammar", text);
  if (in_grammar && digits.size() <= 16) {  // strtod exact: a half stays a half, rounded to even
    const double rounded = std::nearbyint(std::strtod(m[1].str().c_str(), nullptr));
    const bool fits = rounded >= -32768 && rounded <= 32767;
    fuzz::Check(small.has_value() == fits && (!fits || *small == rounded),
                "ParseSmallInt disagrees with strtod", text);
  }
  std::optional<std::int16_t> to;  // the same number, or a request error (a 400)
  try {
    to = wap::ToSmallInt(text, "id");
  } catch (const host::RequestError&) {
  }
  fuzz::Check(to == small, "ToSmallInt and ParseSmallInt disagree", text);
  const std::optional<wap::Decimal> decimal = wap::ParseDecimal(text);
  fuzz::Check(decimal.has_value() == in_grammar, "ParseDecimal and the grammar disagree", text);
  for (const std::int64_t n : {small.value_or(0) - 1, small.value_or(0) + 1})
    fuzz::Check(
        !small || (n < *small ? wap::Compare(*decimal, n) > 0 : wap::Compare(*decimal, n) < 0),
        "Compare misorders a neighbour", text);
  const std::optional<std::int64_t> whole = wap::ParseWholeNumber(text);
  fuzz::Check(whole.has_value() == std::regex_match(text, m, whole_grammar),
              "ParseWholeNumber and its grammar disagree", text);
  fuzz::Check(!whole || *whole == std::strtoll(m[1].str().c_str(), nullptr, 10),
              "ParseWholeNumber disagrees with strtoll", text);
  fuzz::Check(!whole || *whole < -32768 || *whole > 32767 || small == *whole,
              "a whole number in range is not a small integer", text);
  return 0;
}
