// Hexadecimal digits: reading one, and writing bytes and numbers with them. Every hex digit the
// server reads or writes goes through here. Pure; thread-safe.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace text {

// Which letters a–f / A–F the writers use for the digits 10–15.
enum class HexCase { kLower, kUpper };

// The value of the hex digit `c` (0–9, a–f, A–F); -1 for any other character.
int HexDigitValue(char c);

// Appends `byte` as exactly two hex digits.
void AppendHexByte(std::string& out, unsigned char byte, HexCase letters);

// Appends `value` in hex without leading zeros ("0" for zero).
void AppendHexNumber(std::string& out, std::uint32_t value, HexCase letters);

// `bytes` as lower-case hex, two digits a byte (digests and random ids).
std::string LowerHex(std::span<const unsigned char> bytes);

}  // namespace text
