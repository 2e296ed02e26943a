// Percent-coding ("%XX" is the byte 0xXX): encoding the bytes of an address part, and decoding in
// its two uses, the lenient form of application/x-www-form-urlencoded values and the strict form
// of a request path. Decoded results are bytes; whether they are UTF-8 is the caller's question.
// Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace text {

// `bytes` with every byte but the unreserved characters (A–Z a–z 0–9 - . _ ~) and those of
// `also_kept` written as "%XX" with upper-case hex digits.
std::string PercentEncode(std::string_view bytes, std::string_view also_kept = {});

// A form name or value decoded: "+" is a blank and "%XX" a byte; a "%" not followed by two hex
// digits stays as it is. Never fails.
std::string PercentDecodeFormValue(std::string_view text);

// The outcome of PercentDecodeStrict: the decoded bytes, or the reason decoding stopped.
struct StrictlyDecoded {
  std::string bytes;
  // nullptr when every "%" was followed by two hex digits; otherwise "incomplete %-escape" (the
  // text ends within two characters of a "%") or "invalid %-escape", and `bytes` is partial.
  const char* fault = nullptr;
};

// `text` decoded with "%XX" as a byte and every other character, "+" included, as it is.
StrictlyDecoded PercentDecodeStrict(std::string_view text);

}  // namespace text
