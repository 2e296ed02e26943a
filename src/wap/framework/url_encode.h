// Percent-encoding for addresses the component sends outside markup (a redirect's Location).
// Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace wap {

// Every byte of `utf8` except the unreserved characters A-Z a-z 0-9 - . _ ~ as "%XX" (upper-case
// hex).
std::string PercentEncode(std::string_view utf8);

}  // namespace wap
