#include "wap/framework/site_query.h"

#include <string_view>

#include "platform/host/objects/request.h"
#include "platform/text/percent.h"
#include "wap/framework/xml_escape.h"

namespace wap {
namespace {

// The three site values of `request` as NAME=ENCODED pairs joined by
// `separator`.
template <typename Encode>
std::string SiteValues(const host::Request& request, Encode encode, std::string_view separator) {
  std::string query;
  for (const std::string_view name : {"userid", "username", "siteid"}) {
    if (!query.empty()) query.append(separator);
    query.append(name).append("=").append(encode(request.Item(name).value_or("")));
  }
  return query;
}

}  // namespace

std::string LinkSuffix(const host::Request& request) {
  return SiteValues(request, EscapeXmlAttribute, "&amp;");
}

std::string SiteQuery(const host::Request& request) {
  return SiteValues(
      request, [](std::string_view value) { return text::PercentEncode(value); }, "&");
}

}  // namespace wap
