// HttpServer: the HTTP/1.1 listener. Accepts connections, reads requests with strict limits,
// hands each whole request to a handler and writes the reply, with keep-alive and HEAD.
//
// Threads: `threads` I/O threads accept, read, write and answer what cannot block (what
// `at_once` answers); `page_threads` page threads run the handler for every other request (a
// host page waiting on its database). A page that waits never
// holds up accepting, timers, static files or the 503 of a full server; the handler runs start
// to end on one thread either way.
//
// Limits: a request head larger than `header_limit` gets 431, a body larger than `body_limit`
// (`upload_limit` for a multipart/form-data POST) 413, as soon as its Content-Length declares it
// or, when chunked, as soon as that many bytes have arrived; never after buffering it. An HTTP/1.1
// request without Host and any other malformed request 400; each closes that connection only. A
// request head must arrive whole within `head_timeout` (of the connection's accept for its first
// request, of its first byte for a later one) and the whole request within `read_timeout` of its
// first byte, however the bytes trickle in; a kept-alive connection may sit idle for
// `idle_timeout`. A request with "Expect: 100-continue" gets "100 Continue" once its head is
// accepted (or the refusal of its head instead).
//
// Refusals the application answers: a request refused for the size of its body (413) once its
// head has been read (the declared length, or the bytes, over the limit that applies) goes to
// `on_refusal` when set, on a page thread (it may wait, e.g. for a session store), with its head
// (method, target, headers, the client address; no body) and the refusal. Its reply, when it gives
// one, is sent instead of the one-line text, as it is (it should keep the refusal's status); then
// the connection closes gracefully: it stops reading the request, and discards what the client
// still sends for a while (as long as bytes keep coming, at most `read_timeout`), so that the
// client sees the reply rather than a reset. `on_refusal` must not throw; when it does, the
// one-line text goes instead. The access line of every refused request whose head was read
// shows its request line.
//
// Uploads: the body of a multipart/form-data POST is written to a temporary file in
// `upload_folder` as it arrives, never held in memory (HttpRequestData::body_file); the file goes
// when the request has been answered, however it ends.
//
// Client address: the handler and the access log see the request's client address
// (client_address.h): the connecting one, or the one a trusted gateway or balancer names.
//
// Connections: one connecting address holds at most `max_connections_per_address` (a trusted
// gateway or balancer any number); a connection beyond is closed at once, unread. At
// `max_connections`, a new connection closes one that has not completed a request head (idle, or
// its head still arriving: slow heads), of the address holding the most connections the one
// waiting longest, to take its place; when none waits, it gets 503 and is closed. From three
// quarters of `max_connections` on, a request head has a quarter of `head_timeout` (at least a
// second, at most `head_timeout`). The host's own refusals carry the hardening headers of
// http_exchange.h.
//
// Stopping (SIGINT or SIGTERM when `handle_signals`, or Stop()): stop accepting, close idle
// connections, let requests in flight finish and send their replies (with "Connection: close"),
// then Run returns. A signal first drains for `drain_period`: `on_drain` runs (so that health
// checks turn the balancer away), the server keeps accepting and serving, each reply closes its
// connection (a balancer's kept connections do not outlive the drain); then it stops as above. A
// second signal during the drain stops at once.
//
// Boost.Asio/Beast stay inside the implementation. Thread-safe as documented per operation.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/host/http/client_address.h"
#include "platform/host/http/http_exchange.h"
#include "platform/host/http/server_log.h"

namespace observe {
class Metrics;
}

namespace host {

// A request the transport refuses (413) once its head is read: the status, the one-line reason the
// transport would send, and the body limit that applied to it (`upload_limit` for an upload), so
// that a page can say it.
struct HttpRefusal {
  int status = 413;
  std::string_view reason;
  std::uint64_t limit = 0;
};

struct HttpServerOptions {
  std::string address = "127.0.0.1";  // an IPv4 or IPv6 address
  int port = 8080;                    // 0: any free port
  // I/O threads (at least 1): one per core; they never wait on a database.
  int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  // Page threads (at least 1). Two per core: a page waits on its database (a PostgreSQL round
  // trip, a SQLite lock) while the other thread of its core runs.
  int page_threads = std::max(2, 2 * static_cast<int>(std::thread::hardware_concurrency()));
  std::size_t max_connections = 1024;
  std::size_t max_connections_per_address = 64;
  // Gateways and balancers that name the client they act for (client_address.h): a request
  // from one carries that client's address; a connection from one is exempt from
  // max_connections_per_address.
  TrustedProxies trusted_proxies;
  std::size_t header_limit = 8 * 1024;
  std::size_t body_limit = 1024 * 1024;
  std::size_t upload_limit = 25 * 1024 * 1024;  // the body of a multipart/form-data POST
  // Where the body of a multipart/form-data POST is kept while its request runs, in a temporary
  // file without a name (spooled_body.h); only the server's user should be able to enter it.
  // Empty: the server makes a private folder under $TMPDIR (else /tmp) and removes it when it
  // is destroyed.
  std::string upload_folder;
  std::chrono::milliseconds head_timeout{10'000};
  std::chrono::milliseconds read_timeout{15'000};
  std::chrono::milliseconds idle_timeout{30'000};
  bool handle_signals = true;
  bool log_access = true;  // false: no access lines (a listener for the operator's tools)
  std::chrono::milliseconds drain_period{0};
  std::function<void()> on_drain;  // called once, on the signal thread's strand; may be empty
  // The application's own reply to a request refused for the size of its body (see "Refusals the
  // application answers" above); empty: the transport's one-line text.
  std::function<std::optional<HttpReply>(const HttpRequestData& head, const HttpRefusal& refusal)>
      on_refusal;
};

// Answers one request; must not throw. Called on several threads at once.
using HttpHandler = std::function<HttpReply(const HttpRequestData&)>;

// The reply to a request when it can be given without blocking (a static file, a kept page);
// std::nullopt when answering it may block (run a host page), and the handler runs it on a page
// thread. Must be quick and must not throw. Null: every request goes to the handler.
using HttpAtOnce = std::function<std::optional<HttpReply>(const HttpRequestData&)>;

class HttpServer {
 public:
  // `log` receives one access line per reply and connection-level notes; `metrics`, when given,
  // counts every reply (under the reply's page_label) and the open connections. Both must outlive
  // the server. Throws std::system_error when `options` names no upload folder and none can be
  // made.
  HttpServer(HttpServerOptions options, HttpHandler handler, ServerLog& log,
             HttpAtOnce at_once = nullptr, observe::Metrics* metrics = nullptr);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and listens. Returns "ADDR:PORT" with the real port (also when 0 was asked; an IPv6
  // address in brackets). Throws std::runtime_error when the address is not valid or cannot be
  // bound. Call once, before Run.
  std::string Listen();

  // Serves on `threads` I/O threads (the calling one among them) and the page threads until
  // stopped; returns once every connection is closed. Call once, after Listen.
  void Run();

  // Asks the server to stop (see above) at once. Thread-safe; may be called from any thread, also
  // before Run.
  void Stop();
  // Asks the server to stop as a stop signal does: the first call drains for `drain_period` (see
  // the options) before it stops, a second stops at once. Thread-safe.
  void RequestStop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace host
