// HTTP request framing: whether a request head says unambiguously where its body ends and which
// host it names, so that the bytes after it are never read as a request of their own. Internal to
// the transport (includes Beast); used by RequestReading, the read steps of every request. Pure;
// thread-safe.
#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <optional>
#include <string_view>

namespace host::internal {

// The one-line reason of a 400 (the connection then closes) when the request head `head` is
// framed ambiguously, std::nullopt when it is sound:
//   - a Transfer-Encoding other than exactly "chunked" (a last coding that is not chunked, any
//     other coding, chunked twice), or a Transfer-Encoding in an HTTP/1.0 request;
//   - Transfer-Encoding together with Content-Length;
//   - Content-Length repeated with differing values, or a value that is no whole number;
//   - more than one Host header, or none in an HTTP/1.1 request.
std::optional<std::string_view> FramingRefusal(const boost::beast::http::request_header<>& head);

}  // namespace host::internal
