// The compiled size of a WML deck as Debian's xml2wbxml makes it (WBXML 1.1, string table on,
// ignorable whitespace dropped): the reference the deck budget is checked against. Runs the tool
// on a temporary file; thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

namespace testing_support {

// The bytes of `deck` compiled by `xml2wbxml -v 1.1`. Throws std::runtime_error when the tool is
// missing or refuses the deck.
std::size_t XmlToWbxmlBytes(std::string_view deck);

}  // namespace testing_support
