// Wildcard matching of file names, as the file-system object's CopyFile uses it: "*" matches any
// run of characters (none included), "?" exactly one character (a UTF-8 sequence counts as one),
// every other character itself, letter case included. A pattern ending in ".*" also matches a name
// without a dot by its stem, so "*.*" matches every name and "a.*" matches "a". Pure functions;
// thread-safe.
#pragma once

#include <string_view>

namespace fso {

// True when `pattern` holds "*" or "?".
bool HasWildcard(std::string_view pattern);

// True when `name` matches `pattern` (the rules above).
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace fso
