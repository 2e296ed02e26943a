// HttpConnection: one accepted connection of the HttpServer, from its first byte to its close.
// Internal to the transport: this header includes Boost.Asio/Beast and is included only by the
// transport's own .cc files, never by a header other units include.
//
// All of a connection's work runs on its own strand, so its members need no lock; the server
// reaches it only through Shutdown (posted to that strand).
#pragma once

#include <array>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/file_body.hpp>
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

#include "platform/host/http/http_request_reading.h"
#include "platform/host/http/http_server.h"
#include "platform/observe/metrics.h"

namespace host::internal {

class HttpConnection;

// What the server's connections share. Owned by the server; outlives every connection.
struct ConnectionShared {
  ConnectionShared(HttpServerOptions o, HttpHandler h, HttpAtOnce b, ServerLog& l,
                   observe::Metrics* m)
      : options(std::move(o)),
        handler(std::move(h)),
        at_once(std::move(b)),
        log(l),
        metrics(m),
        pages(static_cast<std::size_t>(std::max(options.page_threads, 1))) {}

  const HttpServerOptions options;
  const HttpHandler handler;
  const HttpAtOnce at_once;
  ServerLog& log;
  observe::Metrics* const metrics;  // nullptr: none kept
  std::atomic<bool> stopping{false};
  std::atomic<bool> draining{false};  // replies close their connections

  // Live connections, for Shutdown on stop and for evicting one that waits for a request head
  // when the server is full,
  // and how many each client address holds; each connection registers itself on Start and leaves
  // in its destructor.
  std::mutex mutex;
  std::unordered_map<const HttpConnection*, std::weak_ptr<HttpConnection>> live;
  std::unordered_map<std::string, std::size_t> per_address;
  // Of `live`, those claimed to make room for a new connection and not yet gone: their slots
  // count as free already.
  std::size_t evicting = 0;
  std::atomic<std::size_t> open{0};  // live.size(), readable without the lock

  // Runs the handler for requests that may block.
  boost::asio::thread_pool pages;
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
  // Since when the connection has been waiting for a request head it has not completely
  // received (idle, or a head still arriving), in steady-clock ticks; 0 when it is not.
  // Thread-safe.
  std::int64_t WaitingSince() const { return waiting_since_; }
  // True, once, when the connection is still waiting for the same head since `since`: it is then
  // the caller's to close with Evict, to take its place. Thread-safe.
  // Requires: shared.mutex held (the claim is counted in shared.evicting until the connection
  // is gone).
  bool ClaimIfWaitingSince(std::int64_t since) {
    if (since == 0 || !waiting_since_.compare_exchange_strong(since, 0)) return false;
    evicted_ = true;
    ++shared_.evicting;
    return true;
  }
  // Closes a connection claimed with ClaimIfWaitingSince. Thread-safe.
  void Evict();
  // The connecting address ("-" when unknown). Thread-safe (set on construction).
  const std::string& Address() const { return remote_; }

 private:
  using Request = boost::beast::http::request<RequestBody>;

  // The head timeout of the next request head: shorter when the server is nearly full.
  std::chrono::milliseconds HeadTimeout() const;
  void WaitForRequest();
  void OnFirstBytes(boost::beast::error_code ec, std::size_t bytes);
  void ReadRequest();
  void OnHead(boost::beast::error_code ec, std::size_t bytes);
  void ReadBody();
  void OnRead(boost::beast::error_code ec, std::size_t bytes);
  void Answer(Request request);
  // Answers a request refused as `refusal` says (its problem logged): by the options' on_refusal
  // for a 413 whose head was read, else with the one-line text; then closes.
  void Refuse(const RequestReading::Next& refusal);
  void SendError(int status, std::string_view reason);
  void Send(HttpReply reply, bool keep_alive, bool head);
  void OnWrite(bool keep_alive, boost::beast::error_code ec, std::size_t bytes);
  void CloseGracefully();
  void Drain();
  void Close();

  ConnectionShared& shared_;
  boost::beast::tcp_stream stream_;
  boost::beast::flat_buffer buffer_;
  std::optional<RequestReading> reading_;  // the request being read (http_request_reading.h)
  boost::beast::http::response<boost::beast::http::string_body> response_;
  // The reply being written when its body is sent from a file (HttpReply::body_file).
  std::optional<boost::beast::http::response<boost::beast::http::file_body>> file_response_;
  int status_ = 0;             // of the reply being written
  std::string remote_;         // the connecting address, "-" when unknown
  std::string client_;         // the client address of the request at hand (client_address.h)
  std::string local_address_;  // the address and port the client reached; empty and 0 when unknown
  int local_port_ = 0;
  bool idle_ = false;
  std::atomic<std::int64_t> waiting_since_{0};  // see WaitingSince
  bool served_ = false;                         // a request was answered on this connection
  bool evicted_ = false;  // claimed by ClaimIfWaitingSince; guarded by shared_.mutex
  std::chrono::steady_clock::time_point head_deadline_;

  // For the access line of the reply being written; method_ empty until a head was read.
  std::string method_;
  std::string target_;
  int http_version_ = 11;
  std::string referer_;
  std::string user_agent_;
  std::size_t body_bytes_ = 0;
  std::size_t page_label_ = 0;
  bool access_logged_ = true;
  std::chrono::steady_clock::time_point started_;
  std::chrono::system_clock::time_point received_;
  std::chrono::steady_clock::time_point drain_deadline_;  // the latest a lingering close ends
  std::array<char, 4096> scratch_{};
};

}  // namespace host::internal
