#include "platform/host/http/http_request_reading.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "platform/host/http/http_framing.h"
#include "platform/host/http/multipart_form.h"

namespace host::internal {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;

std::string Text(beast::string_view text) { return std::string(text.data(), text.size()); }

bool IsHttpParseError(const beast::error_code& ec) {
  return ec.category() == make_error_code(http::error::bad_target).category();
}

// The status and one-line reason of a request that could not be read because of `ec` (431 header
// too large, 413 body or request too large, 400 malformed); std::nullopt when `ec` is no such
// error (the connection failed, timed out or ended).
std::optional<std::pair<int, std::string_view>> Refusal(const beast::error_code& ec) {
  if (ec == http::error::header_limit) return std::pair(431, "request header too large");
  if (ec == http::error::body_limit) return std::pair(413, "request body too large");
  if (ec == http::error::buffer_overflow) return std::pair(413, "request too large");
  if (IsHttpParseError(ec)) return std::pair(400, "malformed request");
  return std::nullopt;
}

// The largest body any request may have under `options`: the limit the parser starts with, before
// the head says which of the limits applies.
std::uint64_t LargestBody(const HttpServerOptions& options) {
  return std::max(options.body_limit, options.upload_limit);
}

// Sets the body limit of the request whose head `parser` has just read: `upload_limit` for a
// multipart/form-data POST, `body_limit` otherwise. Returns false when the head's Content-Length
// already declares more (the request is refused before any of its body is read).
bool LimitBody(RequestReading::Parser& parser, const HttpServerOptions& options) {
  const auto& head = parser.get();
  const auto content_type = head.find(http::field::content_type);
  const bool upload = head.method() == http::verb::post && content_type != head.end() &&
                      IsMultipartFormContentType(Text(content_type->value()));
  const std::uint64_t limit = upload ? options.upload_limit : options.body_limit;
  const auto length = parser.content_length();
  if (length && *length > limit) return false;
  parser.body_limit(limit);
  return true;
}

RequestReading::Next ErrorNext(const beast::error_code& ec) {
  if (const auto refusal = Refusal(ec)) {
    return {RequestReading::Next::kRefuse, refusal->first, refusal->second};
  }
  return {RequestReading::Next::kClose, 0, {}};
}

}  // namespace

HttpRequestData ToRequestData(http::request<http::string_body>& request) {
  HttpRequestData data;
  data.method = Text(request.method_string());
  data.target = Text(request.target());
  for (const auto& field : request) {
    data.headers.emplace_back(Text(field.name_string()), Text(field.value()));
  }
  data.body = std::move(request.body());
  return data;
}

std::size_t ReadBufferLimit(const HttpServerOptions& options) {
  return options.header_limit + LargestBody(options) + 64 * 1024;
}

RequestReading::RequestReading(const HttpServerOptions& options) : options_(options) {
  parser_.header_limit(static_cast<std::uint32_t>(options_.header_limit));
  parser_.body_limit(LargestBody(options_));  // until the head says which applies
}

RequestReading::Next RequestReading::AfterHead(const beast::error_code& ec) {
  if (ec) return ErrorNext(ec);
  if (const auto refusal = FramingRefusal(parser_.get())) return {Next::kRefuse, 400, *refusal};
  if (!LimitBody(parser_, options_)) return {Next::kRefuse, 413, "request body too large"};
  return {parser_.is_done() ? Next::kAnswer : Next::kReadBody, 0, {}};
}

RequestReading::Next RequestReading::AfterBody(const beast::error_code& ec) {
  if (ec) return ErrorNext(ec);
  return {Next::kAnswer, 0, {}};
}

}  // namespace host::internal
