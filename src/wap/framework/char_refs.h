// ToCharRefs: a text written entirely as hexadecimal character references, so that no character
// of it can act as markup. Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace wap {

// `utf8` as "&#x" + upper-case hex + ";" per character: one reference per UTF-16 code unit of a
// character in the Basic Multilingual Plane, one reference with the code point for a character
// outside it ("&#x1F600;"). A character that XML 1.0 does not allow (U+0000–U+0008, U+000B,
// U+000C, U+000E–U+001F, surrogates, U+FFFE, U+FFFF) and a byte that is not part of well-formed
// UTF-8 give "&#xFFFD;". "" gives "".
std::string ToCharRefs(std::string_view utf8);

}  // namespace wap
