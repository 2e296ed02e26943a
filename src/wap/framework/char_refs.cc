#include "wap/framework/char_refs.h"

#include "platform/text/hex.h"
#include "platform/text/utf8.h"

namespace wap {

std::string ToCharRefs(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 8);
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = text::NextCodePoint(utf8, pos);
    if (!text::IsXmlChar(c)) c = text::kReplacementChar;
    out.append("&#x");
    text::AppendHexNumber(out, c, text::HexCase::kUpper);
    out.push_back(';');
  }
  return out;
}

std::optional<NumericCharRef> ReadNumericCharRef(std::string_view text) {
  if (!text.starts_with("&#")) return std::nullopt;
  const bool hex = text.size() > 2 && text[2] == 'x';
  const std::size_t digits_at = hex ? 3 : 2;
  char32_t value = 0;
  std::size_t pos = digits_at;
  for (; pos < text.size() && text[pos] != ';'; ++pos) {
    const char c = text[pos];
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
    if (value > 0x10FFFF) return std::nullopt;
  }
  if (pos == digits_at || pos == text.size()) return std::nullopt;
  return NumericCharRef{value, pos + 1};
}

}  // namespace wap
