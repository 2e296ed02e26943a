#include "site/form_support.h"

#include "platform/text/utf8.h"
#include "wap/framework/wml_dollars.h"
#include "wap/framework/xml_escape.h"

namespace site {

std::string MarkupText(bool wml, std::string_view text) {
  std::string escaped = wap::EscapeXmlAttribute(text);
  return wml ? wap::WmlDollars(escaped) : escaped;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) text::NextCodePoint(text, i);
  return count;
}

}  // namespace site
