// What the surrounding site's form pages share: values made safe for the markup of the page, and
// the length of typed texts. Pure; thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace site {

// `text` for an attribute value or element content of a page: XML-escaped, and in WML (`wml`) every
// "$" doubled, so that a handset never reads it as a variable reference.
std::string MarkupText(bool wml, std::string_view text);

// The number of characters (code points) of the UTF-8 `text`; an unreadable byte counts as one.
std::size_t CharacterCount(std::string_view text);

}  // namespace site
