// The dot segments of slash-separated paths: "." stays where it is and ".." goes up one part,
// never above the first. Pure; thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace text {

// `parts` with the parts of `path` applied in order: `path` is split at every character of
// `separators`; empty parts and "." are dropped, ".." removes the last part, any other part is
// appended. std::nullopt when a ".." finds no part left to remove.
std::optional<std::vector<std::string>> ApplyPathParts(std::vector<std::string> parts,
                                                       std::string_view path,
                                                       std::string_view separators);

}  // namespace text
