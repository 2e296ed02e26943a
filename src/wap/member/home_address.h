// The address of the current site's home page for redirects.
#pragma once

#include <string>

namespace host {
class Application;
class Request;
}  // namespace host

namespace wap {

// Application("domain") + "/wap/index.asp?" + SiteQuery(request): a Location, not markup.
std::string SiteHomeAddress(const host::Application& application, const host::Request& request);

}  // namespace wap
