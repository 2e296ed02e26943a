// The site's values in addresses: every page of a member site carries the request's userid,
// username and siteid on to the pages it links to. Thread-safe for a request no one changes.
#pragma once

#include <string>

namespace host {
class Request;
}

namespace wap {

// "userid=…&amp;username=…&amp;siteid=…": each value from the request's item lookup (missing gives
// ""), escaped for an XML attribute. For links in markup.
std::string LinkSuffix(const host::Request& request);

// "userid=…&username=…&siteid=…": each value percent-encoded as UTF-8 (missing gives ""), joined by
// a plain "&". An address outside markup (a Location), or one to escape before it enters markup.
std::string SiteQuery(const host::Request& request);

}  // namespace wap
