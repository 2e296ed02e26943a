// The call-entry telephone number of a member site (wap_setting.dircall), as owners may enter it.
// Pure; thread-safe.
#pragma once

#include <string_view>

namespace backoffice {

// True when `number` is empty (no call entry) or holds at most 30 characters, all of them
// digits, "+", "-" or spaces, at least one a digit.
bool IsCallNumber(std::string_view number);

}  // namespace backoffice
