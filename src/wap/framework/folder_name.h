// Folder names taken from requests or sessions (a member's username names the member folder).
// Pure; thread-safe.
#pragma once

#include <string_view>

namespace wap {

// True when `name` can only name one folder inside its parent: not empty, not "." or "..", and
// without "/", "\", ":" or a control character (U+0000–U+001F, U+007F).
bool IsPlainFolderName(std::string_view name);

}  // namespace wap
