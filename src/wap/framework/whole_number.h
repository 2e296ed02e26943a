// Whole numbers of request values that enter SQL text as numbers (the site owner's userid). Pure;
// thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wap {

// `text` as a whole number: surrounding spaces allowed, an optional "-", then 1 to 18 ASCII
// digits; std::nullopt otherwise.
std::optional<std::int64_t> ParseWholeNumber(std::string_view text);

// The request value as a whole number. Throws host::RequestError naming `name` when it is
// missing or not a whole number, so that no statement is formed from it.
std::int64_t RequireWholeNumber(const std::optional<std::string>& value, std::string_view name);

}  // namespace wap
