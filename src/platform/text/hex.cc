#include "platform/text/hex.h"

namespace text {
namespace {

char HexDigit(unsigned value, HexCase letters) {
  static constexpr char kLower[] = "0123456789abcdef";
  static constexpr char kUpper[] = "0123456789ABCDEF";
  return (letters == HexCase::kLower ? kLower : kUpper)[value & 15];
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendHexByte(std::string& out, unsigned char byte, HexCase letters) {
  out.push_back(HexDigit(byte >> 4, letters));
  out.push_back(HexDigit(byte, letters));
}

void AppendHexNumber(std::string& out, std::uint32_t value, HexCase letters) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = HexDigit(value, letters);
    value >>= 4;
  } while (value != 0);
  while (n > 0) out.push_back(digits[--n]);
}

std::string LowerHex(std::span<const unsigned char> bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const unsigned char b : bytes) AppendHexByte(hex, b, HexCase::kLower);
  return hex;
}

}  // namespace text
