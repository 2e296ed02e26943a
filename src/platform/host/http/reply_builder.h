// Turns the Response a host page filled into the HTTP reply the host sends. Pure functions;
// thread-safe.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host/http/http_exchange.h"
#include "platform/host/objects/response.h"

namespace host {

// Headers in this order: Content-Type (a text type with "; charset=utf-8" unless it names a
// charset), Expires (an HTTP date, when ExpiresAt() is set), Cache-Control (when set), the
// AddHeader headers as given (except Content-Length, Transfer-Encoding and Connection, which are
// the host's), Set-Cookie `set_cookie` when given, Location for a redirect. A 302 has no
// body. std::nullopt when a header name or value the page set holds a line break or another
// control character (which would split the reply); otherwise the body is moved out of
// `response` into the reply. Never throws.
std::optional<HttpReply> ReplyFromResponse(Response& response,
                                           const std::optional<std::string>& set_cookie);

// `when` as an HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT".
std::string HttpDate(std::chrono::system_clock::time_point when);

}  // namespace host
