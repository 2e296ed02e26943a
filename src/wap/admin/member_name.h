// Member names as site creation accepts them: the name becomes a folder under waphome/ and is
// written into the generated entry page, so a name that could leave that folder, hide as a dot
// file, or break out of the page's string literal or script block is refused. Pure; thread-safe.
#pragma once

#include <string_view>

namespace wap {

// True when `name` is well-formed UTF-8 (without U+FFFD), not empty, not starting with "." (so
// neither "." nor ".."), and holds none of "/", "\", ":", '"', "<", ">", "%", NUL or another
// control character (U+0001–U+001F, U+007F–U+009F).
bool IsSafeMemberName(std::string_view name);

}  // namespace wap
