// The HTTP client of the integration tests, on Boost.Beast.
//
//   HttpClient client("127.0.0.1", server.Port());
//   HttpResponse r = client.Get("/wap/index.asp?userid=1", {{"Accept", "text/vnd.wap.wml"}});
//
// HttpClient keeps one connection alive across requests until a response closes it (Connections()
// counts the connects); a request on a kept connection that the server has meanwhile closed is
// sent once more on a fresh one. With UseCookies(true) it keeps the name and value of every
// Set-Cookie and sends them back. RawConnection writes bytes exactly as given, for the tests of
// malformed, slow and pipelined requests. Every wait has a deadline; a failed or late exchange
// throws std::runtime_error (boost::system::system_error). Not thread-safe: one per thread.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testing_support {

using HeaderList = std::vector<std::pair<std::string, std::string>>;
using Ms = std::chrono::milliseconds;

struct HttpResponse {
  int status = 0;
  HeaderList headers;  // in the order received
  std::string body;    // de-chunked
  std::optional<std::string> Header(std::string_view name) const;  // any letter case
  std::vector<std::string> Headers(std::string_view name) const;   // every one so named
};

class RawConnection {
 public:
  RawConnection(const std::string& host, int port);  // throws when refused
  ~RawConnection();
  // False when the peer has closed or reset the connection.
  bool Send(std::string_view bytes, Ms timeout = Ms(10'000));
  // One whole response; `head_request`: it has no body whatever its headers say.
  HttpResponse ReadResponse(bool head_request = false, Ms timeout = Ms(10'000));
  // True when the peer closes the connection within `timeout` (what arrives is discarded).
  bool WaitForClose(Ms timeout);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class HttpClient {
 public:
  HttpClient(std::string host, int port) : host_(std::move(host)), port_(port) {}
  void UseCookies(bool on) { use_cookies_ = on; }
  void SetTimeout(Ms timeout) { timeout_ = timeout; }
  HttpResponse Get(std::string_view target, const HeaderList& headers = {});
  HttpResponse Head(std::string_view target, const HeaderList& headers = {});
  HttpResponse Post(std::string_view target, std::string_view body,
                    std::string_view content_type = "application/x-www-form-urlencoded",
                    const HeaderList& headers = {});
  // Any method: Host, then Content-Length (a body or POST), the cookies, then `headers`.
  HttpResponse Send(std::string_view method, std::string_view target, const HeaderList& headers,
                    std::string_view body);
  HttpResponse SendRaw(std::string_view bytes, bool head_request = false);
  void Close() { connection_.reset(); }
  int Connections() const { return connections_; }
  const HeaderList& Cookies() const { return cookies_; }

 private:
  HttpResponse Exchange(const std::string& bytes, bool head_request);

  std::string host_;
  int port_;
  Ms timeout_ = Ms(10'000);
  bool use_cookies_ = false;
  HeaderList cookies_;
  std::unique_ptr<RawConnection> connection_;
  int connections_ = 0;
};

// "a=1&b=x+y": names and values percent-encoded, spaces as "+".
std::string FormEncode(const HeaderList& pairs);
// Every byte but A-Z a-z 0-9 - . _ ~ as %XX.
std::string PercentEncode(std::string_view text);

}  // namespace testing_support
