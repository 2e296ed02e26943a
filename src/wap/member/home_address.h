// The address of the current site's home page for redirects.
#pragma once

#include <string>

namespace wap {

// Application("domain") + "/wap/index.asp?userid=…&username=…&siteid=…", each value from the
// request's item lookup, percent-encoded as UTF-8 (missing gives ""). A Location, not markup: the
// values are joined with a plain "&". Requires: the host objects are captured.
std::string SiteHomeAddress();

}  // namespace wap
