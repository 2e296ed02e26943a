// HttpConnection: one accepted connection of the HttpServer, from its first byte to its close.
// Internal to the host: this header includes Boost.Asio/Beast and is included only by the host's
// own http_*.cc files, never by a header other units include.
//
// All of a connection's work runs on its own strand, so its members need no lock; the server
// reaches it only through Shutdown (posted to that strand).
#pragma once

#include <array>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/host/http_server.h"

namespace host::internal {

class HttpConnection;

// The status and one-line reason the server answers a request that could not be read because of
// `ec` (431 header too large, 413 body or request too large, 400 malformed); std::nullopt when
// `ec` is no such error (the connection failed or timed out: nothing is answered).
std::optional<std::pair<int, std::string_view>> Refusal(const boost::beast::error_code& ec);

// `request` as the handler sees it: method, target, headers in order and the body (moved out of
// `request`); the connection's addresses are left for the caller.
HttpRequestData ToRequestData(
    boost::beast::http::request<boost::beast::http::string_body>& request);

// What the server's connections share. Owned by the server; outlives every connection.
struct ConnectionShared {
  ConnectionShared(HttpServerOptions o, HttpHandler h, ServerLog& l)
      : options(std::move(o)), handler(std::move(h)), log(l) {}

  const HttpServerOptions options;
  const HttpHandler handler;
  ServerLog& log;
  std::atomic<bool> stopping{false};
  std::atomic<bool> draining{false};  // replies close their connections

  // Live connections, for Shutdown on stop and for closing an idle one when the server is full,
  // and how many each client address holds; each connection registers itself on Start and leaves
  // in its destructor.
  std::mutex mutex;
  std::unordered_map<const HttpConnection*, std::weak_ptr<HttpConnection>> live;
  std::unordered_map<std::string, std::size_t> per_address;
};

class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
 public:
  HttpConnection(boost::asio::ip::tcp::socket socket, ConnectionShared& shared);
  ~HttpConnection();

  // Registers the connection and starts waiting for its first request.
  void Start();
  // Closes the connection if it is idle (waiting for a request); otherwise, when the server
  // stops, it closes after the reply in flight. Thread-safe.
  void Shutdown();
  // Since when the connection has been idle (steady-clock ticks); 0 when it is not idle.
  // Thread-safe.
  std::int64_t IdleSince() const { return idle_since_; }
  // True, once, when the connection is still idle since `since`: it is then the caller's to
  // close with Shutdown, to take its place. Thread-safe.
  bool ClaimIfIdleSince(std::int64_t since) {
    return since != 0 && idle_since_.compare_exchange_strong(since, 0);
  }

 private:
  using Request = boost::beast::http::request<boost::beast::http::string_body>;

  void WaitForRequest();
  void OnFirstBytes(boost::beast::error_code ec, std::size_t bytes);
  void ReadRequest();
  void OnHead(boost::beast::error_code ec, std::size_t bytes);
  void ReadBody();
  void OnRead(boost::beast::error_code ec, std::size_t bytes);
  void Answer(Request request);
  void SendError(int status, std::string_view reason);
  void Send(const HttpReply& reply, bool keep_alive, bool head);
  void OnWrite(bool keep_alive, boost::beast::error_code ec, std::size_t bytes);
  void CloseGracefully();
  void Drain();
  void Close();

  ConnectionShared& shared_;
  boost::beast::tcp_stream stream_;
  boost::beast::flat_buffer buffer_;
  std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
  boost::beast::http::response<boost::beast::http::string_body> response_;
  std::string remote_;         // the client's address, "-" when unknown
  std::string local_address_;  // the address and port the client reached; empty and 0 when unknown
  int local_port_ = 0;
  bool idle_ = false;
  std::atomic<std::int64_t> idle_since_{0};  // see IdleSince
  bool served_ = false;                  // a request was answered on this connection
  std::chrono::steady_clock::time_point head_deadline_;

  // For the access line of the reply being written.
  std::string method_;
  std::string path_;
  std::size_t body_bytes_ = 0;
  bool access_logged_ = true;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point drain_deadline_;
  std::array<char, 4096> scratch_{};
};

}  // namespace host::internal
