// The origin check of changing back-office requests: a browser names, in Origin, the site whose
// page sent the request; it must be this site, as the request's Host names it. Pure; thread-safe.
#pragma once

#include <string_view>

namespace backoffice {

// True when `origin` ("http://HOST[:PORT]" or "https://HOST[:PORT]") names the host and port of
// `host` (the Host header, "HOST[:PORT]"): host names compared without regard to ASCII case, a
// missing port being the scheme's default (80 or 443) on both sides. False for "null", another
// scheme, a path or user part, or an empty `host`.
bool OriginMatchesHost(std::string_view origin, std::string_view host);

}  // namespace backoffice
