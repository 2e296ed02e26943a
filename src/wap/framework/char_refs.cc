#include "wap/framework/char_refs.h"
#include "platform/text/utf8.h"


namespace wap {

std::string ToCharRefs(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size() * 8);
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = text::NextCodePoint(utf8, pos);
    if (!text::IsXmlChar(c)) c = text::kReplacementChar;
    char digits[8];
    int n = 0;
    do {
      digits[n++] = kHex[c & 0xF];
      c >>= 4;
    } while (c != 0);
    out.append("&#x");
    while (n > 0) out.push_back(digits[--n]);
    out.push_back(';');
  }
  return out;
}

}  // namespace wap
