#include "platform/host/http/http_server.h"

#include <array>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <csignal>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/host/http/http_connection.h"
#include "platform/host/http/spooled_body.h"

namespace host {
namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;

std::string BusyReply() {
  std::string reply =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n";
  for (const auto& [name, value] : kHardeningHeaders) {
    reply.append(name).append(": ").append(value).append("\r\n");
  }
  return reply + "Content-Length: 11\r\nConnection: close\r\n\r\nserver busy";
}

const std::string kBusyReply = BusyReply();

}  // namespace

struct HttpServer::Impl {
  Impl(HttpServerOptions options, HttpHandler handler, HttpAtOnce at_once, ServerLog& log,
       observe::Metrics* metrics)
      : shared(WithUploadFolder(std::move(options)), std::move(handler), std::move(at_once), log,
               metrics),
        io(std::max(shared.options.threads, 1)),
        acceptor(net::make_strand(io)),
        signals(acceptor.get_executor()),
        retry_timer(acceptor.get_executor()),
        drain_timer(acceptor.get_executor()) {}

  void Accept() {
    acceptor.async_accept(net::make_strand(io),
                          [this](boost::system::error_code ec, tcp::socket socket) {
                            if (ec == net::error::operation_aborted || !acceptor.is_open()) return;
                            if (ec) {
                              // Out of descriptors or similar: try again shortly rather than spin.
                              shared.log.Note("accept failed: " + ec.message());
                              retry_timer.expires_after(std::chrono::milliseconds(100));
                              retry_timer.async_wait([this](boost::system::error_code wait_ec) {
                                if (!wait_ec) Accept();
                              });
                              return;
                            }
                            Admit(std::move(socket));
                            Accept();
                          });
  }

  // Starts a connection for `socket`, unless its address holds its share already (closed
  // unread) or the server is full and no connection waiting for a request head can make room
  // (503).
  void Admit(tcp::socket socket) {
    boost::system::error_code ec;
    const auto remote = socket.remote_endpoint(ec);
    const std::string address = ec ? "-" : remote.address().to_string();
    // Every connection looked at is kept until the lock is released: dropping the last reference
    // to one takes the lock.
    std::vector<std::shared_ptr<internal::HttpConnection>> seen;
    std::shared_ptr<internal::HttpConnection> evicted;
    bool full = false;
    {
      std::lock_guard lock(shared.mutex);
      const auto held = shared.per_address.find(address);
      if (held != shared.per_address.end() &&
          !shared.options.trusted_proxies.Contains(std::string_view(address)) &&
          held->second >= shared.options.max_connections_per_address) {
        socket.close(ec);
        return;
      }
      full = shared.live.size() - shared.evicting >= shared.options.max_connections;
      if (full) evicted = ClaimOneWaiting(seen);
    }
    if (full && !evicted) return Reject(std::move(socket));
    if (evicted) evicted->Evict();
    std::make_shared<internal::HttpConnection>(std::move(socket), shared)->Start();
  }

  // Of the connections waiting for a request head (idle, or a head still arriving), the one to
  // close for a new connection: of the address that holds the most connections, the one that has
  // waited longest. Claims it and returns it; nullptr when none waits. Keeps each connection it
  // looks at in `seen`. Requires: shared.mutex held.
  std::shared_ptr<internal::HttpConnection> ClaimOneWaiting(
      std::vector<std::shared_ptr<internal::HttpConnection>>& seen) {
    for (int attempt = 0; attempt < 3; ++attempt) {    // a chosen one may get its head meanwhile
      seen.reserve(seen.size() + shared.live.size());  // never cleared under the lock
      std::shared_ptr<internal::HttpConnection> chosen;
      std::int64_t chosen_since = 0;
      std::size_t chosen_held = 0;
      for (const auto& [key, weak] : shared.live) {
        seen.push_back(weak.lock());
        const auto& connection = seen.back();
        const std::int64_t since = connection ? connection->WaitingSince() : 0;
        if (since == 0) continue;
        const auto held = shared.per_address.find(connection->Address());
        const std::size_t count = held == shared.per_address.end() ? 0 : held->second;
        if (!chosen || count > chosen_held || (count == chosen_held && since < chosen_since)) {
          chosen = connection;
          chosen_since = since;
          chosen_held = count;
        }
      }
      if (!chosen) return nullptr;
      if (chosen->ClaimIfWaitingSince(chosen_since)) return chosen;
    }
    return nullptr;
  }

  // Answers 503 without reading the request, then reads and drops what the client sends for a
  // moment (so that it sees the reply rather than a reset) and closes.
  void Reject(tcp::socket socket) {
    struct Rejected {
      explicit Rejected(tcp::socket s) : socket(std::move(s)), timer(socket.get_executor()) {}
      tcp::socket socket;
      net::steady_timer timer;
      std::array<char, 1024> scratch{};
    };
    auto rejected = std::make_shared<Rejected>(std::move(socket));
    net::async_write(rejected->socket, net::buffer(kBusyReply),
                     [rejected](boost::system::error_code ec, std::size_t) {
                       boost::system::error_code ignored;
                       if (ec) {
                         rejected->socket.close(ignored);
                         return;
                       }
                       rejected->socket.shutdown(tcp::socket::shutdown_send, ignored);
                       rejected->timer.expires_after(std::chrono::seconds(2));
                       rejected->timer.async_wait([rejected](boost::system::error_code) {
                         boost::system::error_code ignored_too;
                         rejected->socket.close(ignored_too);
                       });
                       DrainRejected(rejected);
                     });
  }

  template <typename Rejected>
  static void DrainRejected(const std::shared_ptr<Rejected>& rejected) {
    rejected->socket.async_read_some(net::buffer(rejected->scratch),
                                     [rejected](boost::system::error_code ec, std::size_t) {
                                       if (!ec) return DrainRejected(rejected);
                                       rejected->timer.cancel();
                                       boost::system::error_code ignored;
                                       rejected->socket.close(ignored);
                                     });
  }

  // Runs on the acceptor's strand.
  void StopOnStrand() {
    if (stopped) return;
    stopped = true;
    shared.stopping = true;
    boost::system::error_code ignored;
    acceptor.close(ignored);
    signals.cancel(ignored);
    retry_timer.cancel();
    drain_timer.cancel();
    std::vector<std::shared_ptr<internal::HttpConnection>> connections;
    {
      std::lock_guard lock(shared.mutex);
      for (const auto& [key, weak] : shared.live) {
        if (auto connection = weak.lock()) connections.push_back(std::move(connection));
      }
    }
    for (const auto& connection : connections) connection->Shutdown();
  }

  // `options` with an upload folder: the one it names, else spool's, made now.
  HttpServerOptions WithUploadFolder(HttpServerOptions options) {
    if (options.upload_folder.empty()) {
      spool.emplace();
      options.upload_folder = spool->Path().string();
    }
    return options;
  }

  std::optional<SpoolFolder> spool;  // the upload folder the server made, if it made one
  internal::ConnectionShared shared;
  net::io_context io;
  tcp::acceptor acceptor;
  net::signal_set signals;
  net::steady_timer retry_timer;
  net::steady_timer drain_timer;
  bool stopped = false;  // on the acceptor's strand only

  // The first stop request drains, a second stops at once. Runs on the acceptor's strand.
  void RequestStopOnStrand() {
    if (stopped) return;
    if (shared.draining || shared.options.drain_period.count() <= 0) return StopOnStrand();
    shared.draining = true;
    if (shared.options.on_drain) shared.options.on_drain();
    drain_timer.expires_after(shared.options.drain_period);
    drain_timer.async_wait([this](boost::system::error_code wait_ec) {
      if (!wait_ec) StopOnStrand();
    });
  }

  void WaitForSignal() {
    signals.async_wait([this](boost::system::error_code ec, int) {
      if (ec || stopped) return;
      RequestStopOnStrand();
      WaitForSignal();
    });
  }
};

HttpServer::HttpServer(HttpServerOptions options, HttpHandler handler, ServerLog& log,
                       HttpAtOnce at_once, observe::Metrics* metrics)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(handler), std::move(at_once),
                                   log, metrics)) {}

HttpServer::~HttpServer() = default;

std::string HttpServer::Listen() {
  const auto& options = impl_->shared.options;
  boost::system::error_code ec;
  const auto address = net::ip::make_address(options.address, ec);
  if (ec) throw std::runtime_error("not an IP address: " + options.address);
  if (options.port < 0 || options.port > 65535) {
    throw std::runtime_error("not a port: " + std::to_string(options.port));
  }
  const tcp::endpoint endpoint(address, static_cast<unsigned short>(options.port));
  auto& acceptor = impl_->acceptor;
  auto fail = [&](const char* what) {
    throw std::runtime_error(std::string("cannot ") + what + " " + options.address + ":" +
                             std::to_string(options.port) + ": " + ec.message());
  };
  acceptor.open(endpoint.protocol(), ec);
  if (ec) fail("open");
  acceptor.set_option(net::socket_base::reuse_address(true), ec);
  if (ec) fail("configure");
  acceptor.bind(endpoint, ec);
  if (ec) fail("bind");
  acceptor.listen(net::socket_base::max_listen_connections, ec);
  if (ec) fail("listen on");
  const tcp::endpoint bound = acceptor.local_endpoint(ec);
  if (ec) fail("read the address of");
  const std::string host = bound.address().is_v6() ? "[" + bound.address().to_string() + "]"
                                                   : bound.address().to_string();
  return host + ":" + std::to_string(bound.port());
}

void HttpServer::Run() {
  Impl& impl = *impl_;
  net::post(impl.acceptor.get_executor(), [&impl] {
    if (impl.stopped) return;  // Stop() came first
    if (impl.shared.options.handle_signals) {
      impl.signals.add(SIGINT);
      impl.signals.add(SIGTERM);
      impl.WaitForSignal();
    }
    impl.Accept();
  });
  std::vector<std::thread> workers;
  for (int i = 1; i < impl.shared.options.threads; ++i) {
    workers.emplace_back([&impl] { impl.io.run(); });
  }
  impl.io.run();
  for (auto& worker : workers) worker.join();
  impl.shared.pages.join();
}

void HttpServer::RequestStop() {
  net::post(impl_->acceptor.get_executor(), [impl = impl_.get()] { impl->RequestStopOnStrand(); });
}

void HttpServer::Stop() {
  net::post(impl_->acceptor.get_executor(), [impl = impl_.get()] { impl->StopOnStrand(); });
}

}  // namespace host
