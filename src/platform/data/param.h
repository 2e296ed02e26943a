// Param: one value bound to a "?" placeholder of a statement: NULL, a whole number or text. Values
// travel beside the statement text, never spliced into it, so a text of fixed statements is
// prepared once per connection and reused. Params: the values of one statement, in the order of
// its placeholders. Plain values; thread-safe as any value type.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace data {

using Param = std::variant<std::monostate /*NULL*/, std::int64_t, std::string>;
using Params = std::vector<Param>;

// The values of `params` as one line for the statement log: NULL, a whole number in decimal, text
// in single quotes with a quote inside doubled; joined by ", ".
std::string DescribeParams(std::span<const Param> params);

}  // namespace data
