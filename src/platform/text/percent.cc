#include "platform/text/percent.h"

#include "platform/text/hex.h"

namespace text {

std::string PercentEncode(std::string_view bytes, std::string_view also_kept) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~' || also_kept.find(c) != std::string_view::npos) {
      out.push_back(c);
    } else {
      out.push_back('%');
      AppendHexByte(out, static_cast<unsigned char>(c), HexCase::kUpper);
    }
  }
  return out;
}

std::string PercentDecodeFormValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
               HexDigitValue(text[i + 2]) >= 0) {
      out.push_back(
          static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

StrictlyDecoded PercentDecodeStrict(std::string_view text) {
  StrictlyDecoded result;
  result.bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      result.bytes.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) {
      result.fault = "incomplete %-escape";
      return result;
    }
    const int hi = HexDigitValue(text[i + 1]);
    const int lo = HexDigitValue(text[i + 2]);
    if (hi < 0 || lo < 0) {
      result.fault = "invalid %-escape";
      return result;
    }
    result.bytes.push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
  }
  return result;
}

}  // namespace text
