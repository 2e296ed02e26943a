// HttpClient: a small blocking HTTP/1.1 client over POSIX sockets, for integration tests.
//
//   HttpClient client("127.0.0.1", server.Port());
//   HttpResponse r = client.Get("/wap/index.asp?userid=1", {{"Accept", "text/vnd.wap.wml"}});
//   EXPECT_EQ(r.status, 200);
//   EXPECT_EQ(r.Header("content-type"), "text/vnd.wap.wml; charset=utf-8");
//
// One client holds at most one connection and reuses it for the next request (keep-alive) until
// the server closes it or a response says "Connection: close"; it then connects afresh for the
// next request. Connections() counts the connects, so a test can tell whether two requests shared
// one connection. Every read and write has a deadline (Timeout(), 10 s by default); a request that
// runs into it throws std::runtime_error, as does a connection refused or a response that cannot
// be parsed.
//
// With UseCookies(true) the client keeps the cookies that Set-Cookie headers give it (name and
// value only; attributes are ignored) and sends them back in a Cookie header.
//
// SendRaw writes bytes exactly as given (for malformed-request tests) and reads one response;
// RawConnection is the bare socket below all this, for tests that need to control every byte and
// every pause (slow clients, half requests).
//
// Not thread-safe; use one client per thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testing_support {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpResponse {
  std::string version;  // "HTTP/1.1"
  int status = 0;
  std::string reason;
  HeaderList headers;  // in the order received, names as received
  std::string body;    // exactly the bytes of the body (chunked bodies are de-chunked)

  // The first header named `name` (any letter case); std::nullopt when absent.
  std::optional<std::string> Header(std::string_view name) const;
  // Every header named `name` (any letter case), in order (e.g. each Set-Cookie).
  std::vector<std::string> Headers(std::string_view name) const;
};

// A connected TCP socket with deadlines. Closed by the destructor.
class RawConnection {
 public:
  // Connects to host:port (IPv4 dotted address). Throws std::runtime_error on failure.
  RawConnection(const std::string& host, int port);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Writes all of `bytes`. Returns false when the peer has closed the connection
  // (EPIPE/ECONNRESET); throws std::runtime_error when the deadline passes first.
  bool Send(std::string_view bytes, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // Reads whatever arrives next (at most 64 KiB), waiting at most `timeout`. Returns "" when the
  // peer closed the connection (or reset it); std::nullopt when nothing arrived in time.
  std::optional<std::string> Receive(std::chrono::milliseconds timeout);

  // Reads one whole response, using bytes left over from an earlier read first. `head_request`
  // means the response has no body whatever its headers say. Throws std::runtime_error when the
  // connection ends before a whole response arrived or the deadline passes.
  HttpResponse ReadResponse(bool head_request = false,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // Waits (at most `timeout`) for the peer to close the connection, discarding what arrives;
  // true when it closed.
  bool WaitForClose(std::chrono::milliseconds timeout);

  // True once a read has seen the end of the connection.
  bool PeerClosed() const { return peer_closed_; }

 private:
  int fd_ = -1;
  bool peer_closed_ = false;
  std::string pending_;  // received bytes not yet consumed by ReadResponse
};

class HttpClient {
 public:
  HttpClient(std::string host, int port);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  void UseCookies(bool on) { use_cookies_ = on; }
  void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

  HttpResponse Get(std::string_view target, const HeaderList& headers = {});
  HttpResponse Head(std::string_view target, const HeaderList& headers = {});
  // POST with `body`; the content type defaults to a form.
  HttpResponse Post(std::string_view target, std::string_view body,
                    std::string_view content_type = "application/x-www-form-urlencoded",
                    const HeaderList& headers = {});
  // Any method. Adds Host, Content-Length (when there is a body or the method is POST) and the
  // cookie jar's Cookie header; `headers` are sent after them, as given.
  HttpResponse Send(std::string_view method, std::string_view target, const HeaderList& headers,
                    std::string_view body);

  // Writes `bytes` as given on the current (or a new) connection and reads one response. Throws
  // std::runtime_error when the server closes the connection without a response.
  HttpResponse SendRaw(std::string_view bytes, bool head_request = false);

  // Drops the current connection; the next request connects afresh.
  void Close();
  // How many connections this client has opened.
  int Connections() const { return connections_; }
  // The cookie jar: name → value, in the order first set.
  const HeaderList& Cookies() const { return cookies_; }
  void ClearCookies() { cookies_.clear(); }

 private:
  RawConnection& Connection();
  void TakeCookies(const HttpResponse& response);
  void AfterResponse(const HttpResponse& response);

  std::string host_;
  int port_;
  std::chrono::milliseconds timeout_ = std::chrono::seconds(10);
  bool use_cookies_ = false;
  HeaderList cookies_;
  std::optional<RawConnection> connection_;
  int connections_ = 0;
};

// "a=1&b=x+y": each name and value percent-encoded (spaces as "+"), pairs joined by "&".
std::string FormEncode(const HeaderList& pairs);
// Percent-encodes every byte except unreserved characters (A-Z a-z 0-9 - . _ ~).
std::string PercentEncode(std::string_view text);

}  // namespace testing_support
