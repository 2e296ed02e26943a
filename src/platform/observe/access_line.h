// AccessLine: one request of the access log in the combined log format that log analysers read:
//   REMOTE - - [07/Dec/2026:05:45:00 +0000] "GET /wap/index.asp?userid=1 HTTP/1.1" 200 1234
//   "REFERER" "AGENT"
// The time is the request's arrival, in UTC. The request line and the Referer carry their query
// strings with secret fields redacted (redaction.h). A body of 0 bytes is written "-", as is a
// missing Referer, User-Agent or request line (a request whose head could not be read). Quotes,
// backslashes and every byte outside printable ASCII are written as \xHH, so that a client
// cannot forge a line or a field. Pure; thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace observe {

struct AccessRecord {
  std::string_view remote{};  // the client's address
  std::chrono::system_clock::time_point received{};
  std::string_view method{};  // empty: the request head could not be read
  std::string_view target{};  // as received
  int http_version = 11;      // 10 or 11
  int status = 0;
  std::size_t body_bytes = 0;
  std::string_view referer{};     // empty: none
  std::string_view user_agent{};  // empty: none
};

// Appends the line of `record`, with its closing "\n", to `out`.
void AppendAccessLine(std::string& out, const AccessRecord& record);

}  // namespace observe
