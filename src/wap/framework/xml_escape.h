// Escaping texts for markup: request values and visitor texts written into a page. Pure;
// thread-safe. Both functions write a character that XML 1.0 does not allow, and a byte that is
// not part of well-formed UTF-8, as U+FFFD; other characters pass unchanged.
#pragma once

#include <string>
#include <string_view>

namespace wap {

// For element content: & < > " as &amp; &lt; &gt; &quot;.
std::string EscapeXmlText(std::string_view utf8);

// For attribute values (and anything that may end up in one): & < > " ' as &amp; &lt; &gt; &quot;
// &#39;.
std::string EscapeXmlAttribute(std::string_view utf8);

}  // namespace wap
