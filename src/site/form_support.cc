#include "site/form_support.h"

#include "platform/host/request.h"
#include "platform/text/utf8.h"
#include "wap/framework/page_context.h"
#include "wap/framework/url_encode.h"
#include "wap/framework/xml_escape.h"

namespace site {

std::string SiteQuery() {
  const host::Request& request = *wap::PageContext::Current().request;
  std::string query;
  for (const char* name : {"userid", "username", "siteid"}) {
    if (!query.empty()) query.push_back('&');
    query.append(name).append("=").append(wap::PercentEncode(request.Item(name).value_or("")));
  }
  return query;
}

std::string MarkupText(std::string_view text) {
  std::string escaped = wap::EscapeXmlAttribute(text);
  if (wap::PageContext::Current().markup != wap::Markup::kWml) return escaped;
  std::string wml;
  for (const char c : escaped) {
    wml.push_back(c);
    if (c == '$') wml.push_back('$');
  }
  return wml;
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) text::NextCodePoint(text, i);
  return count;
}

}  // namespace site
