#include "platform/host/http/http_request_reader.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/error.hpp>

#include "platform/host/http/http_connection.h"
#include "platform/host/http/http_framing.h"

namespace host {

HttpRequestRead ReadHttpRequest(std::string_view bytes, const HttpServerOptions& limits) {
  namespace http = boost::beast::http;
  HttpRequestRead read;
  http::request_parser<http::string_body> parser;
  parser.header_limit(static_cast<std::uint32_t>(limits.header_limit));
  parser.body_limit(internal::LargestBody(limits));
  boost::beast::error_code ec;
  std::size_t used = 0;
  bool limited = false;
  // The parser takes what it can of the bytes not yet used; it stops at the end of the header
  // (where the body limit that applies is set, as the connection does) and at the end of the body.
  while (!parser.is_done() && used < bytes.size()) {
    const std::size_t n =
        parser.put(boost::asio::buffer(bytes.data() + used, bytes.size() - used), ec);
    used += n;
    if (ec == http::error::need_more) return read;  // kIncomplete
    if (ec) break;
    if (parser.is_header_done() && !limited) {
      limited = true;
      if (const auto refusal = internal::FramingRefusal(parser.get())) {
        read.outcome = HttpRequestRead::Outcome::kRefused;
        read.status = 400;
        read.reason = std::string(*refusal);
        return read;
      }
      if (!internal::LimitBody(parser, limits)) {
        read.outcome = HttpRequestRead::Outcome::kRefused;
        read.status = 413;
        read.reason = "request body too large";
        return read;
      }
      parser.eager(true);
      continue;
    }
    if (n == 0) return read;
  }
  if (ec) {
    const auto refusal = internal::Refusal(ec);
    read.outcome = refusal ? HttpRequestRead::Outcome::kRefused
                           : HttpRequestRead::Outcome::kIncomplete;
    if (refusal) {
      read.status = refusal->first;
      read.reason = std::string(refusal->second);
    }
    return read;
  }
  if (!parser.is_done()) return read;
  http::request<http::string_body> request = parser.release();
  read.outcome = HttpRequestRead::Outcome::kRequest;
  read.request = internal::ToRequestData(request);
  read.consumed = used;
  return read;
}

}  // namespace host
