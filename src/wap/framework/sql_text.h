// Texts placed into SQL statements. Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace wap {

// `text` between apostrophes with every apostrophe doubled: a literal that compares as typed and
// cannot end early. Requires: `text` holds no NUL (callers refuse such values first).
std::string SqlQuote(std::string_view text);

}  // namespace wap
