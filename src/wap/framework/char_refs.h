// Character references: ToCharRefs writes a text entirely as hexadecimal
// character references, so that no character of it can act as markup;
// ReadNumericCharRef reads one reference back. Pure; thread-safe.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wap {

// `utf8` as "&#x" + upper-case hex + ";" per character: one reference per
// UTF-16 code unit of a character in the Basic Multilingual Plane, one
// reference with the code point for a character outside it ("&#x1F600;"). A
// character that XML 1.0 does not allow (U+0000–U+0008, U+000B, U+000C,
// U+000E–U+001F, surrogates, U+FFFE, U+FFFF) and a byte that is not part of
// well-formed UTF-8 give "&#xFFFD;". "" gives "".
std::string ToCharRefs(std::string_view utf8);

// A numeric character reference, "&#" decimal digits ";" or "&#x" hexadecimal
// digits ";".
struct NumericCharRef {
  char32_t value;      // the code point it names
  std::size_t length;  // its bytes in the text, "&" to ";" included
};

// The numeric character reference at the start of `text`; nullopt when `text`
// does not start with one (no digits, another character before ";", no ";") or
// its value is above U+10FFFF. The value is not checked further: callers decide
// which characters they allow.
std::optional<NumericCharRef> ReadNumericCharRef(std::string_view text);

}  // namespace wap
