// Owner markup: texts written by a site owner (product names and descriptions, guestbook
// replies) may carry a little inline markup. Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace wap {

// True when `utf8` is well-formed XML content made only of text (characters XML 1.0 allows, in
// well-formed UTF-8), character references to such characters, the five predefined entities,
// empty br elements, and the elements b, i, u, em, strong, big and small, all without attributes.
bool IsOwnerMarkup(std::string_view utf8);

// `utf8` unchanged when IsOwnerMarkup, else EscapeXmlText(utf8).
std::string OwnerText(std::string_view utf8);

}  // namespace wap
