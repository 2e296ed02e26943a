// The HTTP client of the integration tests: requests written by hand, responses read with
// Boost.Beast's parser, every wait bounded (a late or failed exchange throws).
//   HttpClient client(server.Port());
//   HttpResponse r = client.Get("/wap/index.asp?userid=1", {{"Accept", "text/vnd.wap.wml"}});
// HttpClient keeps one connection alive until a response closes it (Connections() counts the
// connects), sending once more on a fresh one when a kept one was closed meanwhile; with
// UseCookies(true) it sends back every Set-Cookie's name and value. RawConnection writes bytes
// exactly as given, for byte-level tests. Not thread-safe: one per thread.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text/percent.h"

namespace testing_support {

using Pairs = std::vector<std::pair<std::string, std::string>>;
using Ms = std::chrono::milliseconds;

struct HttpResponse {
  int status = 0;
  Pairs headers;
  std::string body;                                               // de-chunked
  std::vector<std::string> Headers(std::string_view name) const;  // any letter case
  std::optional<std::string> Header(std::string_view name) const;
};

class RawConnection {
 public:
  explicit RawConnection(int port, const char* from = "127.0.0.1");  // throws when refused
  ~RawConnection();
  bool Send(std::string_view bytes);  // false once the peer has closed or reset
  HttpResponse ReadResponse(bool head_request = false, Ms timeout = Ms(30'000));
  bool WaitForClose(Ms timeout);  // true when the peer closes within `timeout`
  void Reset();                   // closes with a reset (RST)

 private:
  int fd_;
  std::string buffer_;  // read, not yet parsed
};

class HttpClient {
 public:
  explicit HttpClient(int port) : port_(port) {}
  void UseCookies(bool on) { use_cookies_ = on; }
  HttpResponse Get(std::string_view target, const Pairs& headers = {}) {
    return Send("GET", target, headers, "");
  }
  HttpResponse Post(std::string_view target, std::string_view form, const Pairs& headers = {});
  // Host, Content-Length (with a body or for POST), the cookies, then `headers`.
  HttpResponse Send(std::string_view method, std::string_view target, const Pairs& headers,
                    std::string_view body);
  int Connections() const { return connections_; }
  const Pairs& Cookies() const { return cookies_; }

 private:
  int port_;
  bool use_cookies_ = false;
  Pairs cookies_;
  std::unique_ptr<RawConnection> connection_;
  int connections_ = 0;
};

// A form POST of `form` to `target` on a connection of its own from the local address `from`,
// with `headers` (each "Name: value\r\n") added; the response.
HttpResponse PostFrom(int port, const char* from, std::string_view target, std::string_view form,
                      std::string_view headers = "");

using text::PercentEncode;                   // all but A-Z a-z 0-9 - . _ ~ as %XX
std::string FormEncode(const Pairs& pairs);  // "a=1&b=x+y"

}  // namespace testing_support
