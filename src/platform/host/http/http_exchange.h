// HttpExchange types: one HTTP request as the connection received it and the reply the host
// sends, as plain values, so that everything between reading and writing (dispatch, host pages,
// static files) is independent of the HTTP library. Plain data; no thread-safety concerns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host {

class SpooledBody;

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequestData {
  std::string method;   // "GET", "HEAD", "POST", …
  std::string target;   // as received: "/wap/index.asp?userid=1"
  HttpHeaders headers;  // in order, names as received; a repeated header appears repeatedly
  std::string body;     // empty when the body is in `body_file`
  // A multipart/form-data body, kept in a temporary file rather than in `body` (spooled_body.h);
  // the file goes with the last copy of this request. Null for every other body.
  std::shared_ptr<const SpooledBody> body_file;
  // The client's IP address: the peer's, or the one a trusted gateway names (client_address.h).
  std::string remote_address;
  std::string local_address;   // the address the request arrived on
  int local_port = 0;
};

// The size of `request`'s body, wherever it is kept.
std::uint64_t BodySize(const HttpRequestData& request);

// The path of a request target: all of `target` before its first "?", as received (not decoded).
constexpr std::string_view PathOf(std::string_view target) {
  return target.substr(0, target.find('?'));
}

struct HttpReply {
  int status = 200;
  // Every header but Content-Length and Connection, which the connection adds.
  HttpHeaders headers;
  std::string body;
  // When not empty: the body is this file's content instead of `body`, read in pieces as the
  // connection sends it (its size at opening is the Content-Length; a file that cannot be opened
  // any more is answered 404).
  std::string body_file;
  // The metrics label of what answered (observe::Metrics::Page); 0: "other".
  std::size_t page_label = 0;
  bool access_logged = true;  // false: the reply gets no access line (health checks)
};

// What the host's own replies (refusals, errors, redirects) tell a browser: do not guess another
// content type, do not show the reply in a frame, load nothing for it.
inline constexpr std::pair<std::string_view, std::string_view> kHardeningHeaders[] = {
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "DENY"},
    {"Content-Security-Policy", "default-src 'none'"},
};

// A reply of the host's own with a one-line plain-text body ("text/plain; charset=utf-8") and the
// kHardeningHeaders.
HttpReply PlainTextReply(int status, std::string_view line);

}  // namespace host
