// What the surrounding site's form pages share: the site's values for addresses, values made safe
// for the markup of the page, and the length of typed texts. Requires the page context of a page
// object's entry point where stated; the rest is pure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace site {

// "userid=…&username=…&siteid=…" from the request's item lookup, each value percent-encoded as
// UTF-8 (missing gives ""), joined with a plain "&": an address part, to be escaped before it goes
// into markup. Requires: the host objects are captured.
std::string SiteQuery();

// `text` for an attribute value or element content of the current page: XML-escaped, and in WML
// every "$" doubled, so that a handset never reads it as a variable reference. Requires: InitPage
// ran.
std::string MarkupText(std::string_view text);

// The number of characters (code points) of the UTF-8 `text`; an unreadable byte counts as one.
std::size_t CharacterCount(std::string_view text);

}  // namespace site
