#include "platform/host/http/http_request_reading.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
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

// The largest body any request may have under `options`, in memory or spooled.
std::uint64_t LargestBody(const HttpServerOptions& options) {
  return std::max(options.body_limit, options.upload_limit);
}

using Next = RequestReading::Next;

Next Go(Next::Kind kind) { return {kind, 0, {}, 0, {}}; }

Next Refused(int status, std::string_view reason, std::uint64_t limit = 0,
             std::string problem = {}) {
  return {Next::kRefuse, status, reason, limit, std::move(problem)};
}

// True when the head `head` is that of an upload: a multipart/form-data POST.
bool IsUpload(const http::request_header<>& head) {
  const auto content_type = head.find(http::field::content_type);
  return head.method() == http::verb::post && content_type != head.end() &&
         IsMultipartFormContentType(Text(content_type->value()));
}

Next ErrorNext(const beast::error_code& ec, std::uint64_t limit) {
  if (ec == RequestBody::kCannotSpool) {
    return Refused(503, "the upload cannot be stored now", 0,
                   "an upload's temporary file cannot be written: " + ec.message());
  }
  if (const auto refusal = Refusal(ec)) {
    return Refused(refusal->first, refusal->second, refusal->first == 413 ? limit : 0);
  }
  return Go(Next::kClose);
}

}  // namespace

HttpRequestData ToRequestHead(const http::request_header<>& head) {
  HttpRequestData data;
  data.method = Text(head.method_string());
  data.target = Text(head.target());
  for (const auto& field : head) {
    data.headers.emplace_back(Text(field.name_string()), Text(field.value()));
  }
  return data;
}

HttpRequestData ToRequestData(http::request<RequestBody>& request) {
  HttpRequestData data = ToRequestHead(request.base());
  data.body = std::move(request.body().text);
  data.body_file = std::move(request.body().file);
  return data;
}

std::size_t ReadBufferLimit(const HttpServerOptions& options) {
  return options.header_limit + LargestBody(options) + 64 * 1024;
}

RequestReading::RequestReading(const HttpServerOptions& options) : options_(options) {
  parser_.header_limit(static_cast<std::uint32_t>(options_.header_limit));
  // No body limit while the head is read: the parser would refuse a declared length over it
  // before the head is whole, and the refusal could not name the request. AfterHead sets the
  // limit that applies before any body byte is read.
  // (The largest limit rather than none: this Beast compares a declared length with an empty
  // limit as over it.)
  parser_.body_limit(std::numeric_limits<std::uint64_t>::max());
}

RequestReading::Next RequestReading::AfterHead(const beast::error_code& ec) {
  if (ec) return ErrorNext(ec, 0);
  const auto& head = parser_.get();
  if (const auto refusal = FramingRefusal(head)) return Refused(400, *refusal);
  const bool upload = IsUpload(head);
  limit_ = upload ? options_.upload_limit : options_.body_limit;
  const auto length = parser_.content_length();
  if (length && *length > limit_) {  // refused before any of its body is read
    return Refused(413, "request body too large", limit_);
  }
  parser_.body_limit(limit_);
  if (parser_.is_done()) return Go(Next::kAnswer);
  if (upload) {
    if (options_.upload_folder.empty()) {
      return Refused(503, "the upload cannot be stored now", 0, "no upload folder is set");
    }
    try {
      parser_.get().body().file = std::make_unique<SpooledBody>(options_.upload_folder);
    } catch (const std::system_error& e) {
      return Refused(503, "the upload cannot be stored now", 0, e.what());
    }
  }
  return Go(Next::kReadBody);
}

RequestReading::Next RequestReading::AfterBody(const beast::error_code& ec) {
  if (ec) return ErrorNext(ec, limit_);
  return Go(Next::kAnswer);
}

}  // namespace host::internal
