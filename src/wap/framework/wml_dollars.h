// The dollar sign in WML: a handset's gateway reads "$" (also written as a character reference,
// "&#x24;" or "&#36;") as the start of a variable reference, substitutes "$(name)" and drops what
// follows a lone "$"; only "$$" reaches the handset as a dollar sign. Every text from data that a
// WML page writes passes through WmlDollars after its escaping. Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace wap {

// `markup` (escaped text, character references or owner markup) with every "$" and every character
// reference to U+0024 (decimal or hexadecimal, any leading zeros) written as "$$"; everything else
// unchanged.
std::string WmlDollars(std::string_view markup);

}  // namespace wap
