#include "wap/framework/wml_dollars.h"

namespace wap {
namespace {

// The length of the character reference to U+0024 at the start of `text` ("&#36;", "&#x24;", …);
// 0 when `text` does not start with one.
std::size_t DollarReferenceLength(std::string_view text) {
  if (!text.starts_with("&#")) return 0;
  std::size_t pos = 2;
  const bool hex = pos < text.size() && (text[pos] == 'x' || text[pos] == 'X');
  if (hex) ++pos;
  const std::size_t digits_at = pos;
  unsigned value = 0;
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
      return 0;
    }
    value = value * (hex ? 16 : 10) + static_cast<unsigned>(d);
    if (value > 0x24) return 0;
  }
  if (pos == digits_at || pos == text.size() || value != 0x24) return 0;
  return pos + 1;
}

}  // namespace

std::string WmlDollars(std::string_view markup) {
  std::string out;
  out.reserve(markup.size());
  for (std::size_t pos = 0; pos < markup.size();) {
    if (markup[pos] == '$') {
      out.append("$$");
      ++pos;
    } else if (const std::size_t n =
                   markup[pos] == '&' ? DollarReferenceLength(markup.substr(pos)) : 0) {
      out.append("$$");
      pos += n;
    } else {
      out.push_back(markup[pos++]);
    }
  }
  return out;
}

}  // namespace wap
