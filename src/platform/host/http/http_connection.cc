#include "platform/host/http/http_connection.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/file_body.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include "platform/host/http/reply_builder.h"

namespace host::internal {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

// Lingering close: after an error reply the connection still reads (and drops) what the client
// sends until it has been silent this long (at most the read timeout in all), so that the client
// sees the reply instead of a reset, even while it is still sending a large body.
constexpr std::chrono::seconds kLingerTime{2};

std::string Text(beast::string_view text) { return std::string(text.data(), text.size()); }

}  // namespace

HttpConnection::HttpConnection(net::ip::tcp::socket socket, ConnectionShared& shared)
    : shared_(shared), stream_(std::move(socket)), buffer_(ReadBufferLimit(shared.options)) {
  if (shared_.metrics != nullptr) shared_.metrics->ConnectionOpened();
  beast::error_code ec;
  const auto remote = stream_.socket().remote_endpoint(ec);
  remote_ = ec ? "-" : remote.address().to_string();
  const auto local = stream_.socket().local_endpoint(ec);
  if (!ec) {
    local_address_ = local.address().to_string();
    local_port_ = local.port();
  }
}

HttpConnection::~HttpConnection() {
  if (shared_.metrics != nullptr) shared_.metrics->ConnectionClosed();
  std::lock_guard lock(shared_.mutex);
  if (shared_.live.erase(this) > 0) --shared_.open;
  if (evicted_) --shared_.evicting;
  const auto it = shared_.per_address.find(remote_);
  if (it != shared_.per_address.end() && --it->second == 0) shared_.per_address.erase(it);
}

void HttpConnection::Start() {
  {
    // A new connection waits for its first request head from now on, so that it can make room
    // for another before its first read has even started.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    waiting_since_ = std::max<std::int64_t>(now, 1);
    std::lock_guard lock(shared_.mutex);
    shared_.live.emplace(this, weak_from_this());
    ++shared_.open;
    ++shared_.per_address[remote_];
  }
  net::post(stream_.get_executor(),
            beast::bind_front_handler(&HttpConnection::WaitForRequest, shared_from_this()));
}

void HttpConnection::Shutdown() {
  net::post(stream_.get_executor(), [self = shared_from_this()] {
    if (self->idle_) self->stream_.cancel();  // OnFirstBytes sees operation_aborted and closes
  });
}

void HttpConnection::Evict() {
  net::post(stream_.get_executor(), [self = shared_from_this()] {
    self->stream_.cancel();  // the pending read sees operation_aborted, or OnHead the claim
  });
}

std::chrono::milliseconds HttpConnection::HeadTimeout() const {
  const auto& options = shared_.options;
  // Under pressure (three quarters of the slots taken) a head has a quarter of the time, so that
  // slow heads give their slots back sooner; never less than a second unless asked for less.
  if (shared_.open * 4 < options.max_connections * 3) return options.head_timeout;
  return std::min(options.head_timeout,
                  std::max(options.head_timeout / 4, std::chrono::milliseconds(1000)));
}

void HttpConnection::WaitForRequest() {
  if (shared_.stopping) return Close();
  if (served_) {  // waiting for its next request head from now on
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    waiting_since_ = std::max<std::int64_t>(now, 1);
  } else if (waiting_since_ == 0) {
    return Close();  // claimed before its first read: it makes room for another
  }
  if (buffer_.size() > 0) {  // a pipelined request is already here
    head_deadline_ = std::chrono::steady_clock::now() + HeadTimeout();
    return ReadRequest();
  }
  idle_ = true;
  if (served_) {
    stream_.expires_after(shared_.options.idle_timeout);
  } else {
    // A new connection has the head timeout for its first request head, from its accept on.
    head_deadline_ = std::chrono::steady_clock::now() + HeadTimeout();
    stream_.expires_at(head_deadline_);
  }
  stream_.async_read_some(
      buffer_.prepare(4096),
      beast::bind_front_handler(&HttpConnection::OnFirstBytes, shared_from_this()));
}

void HttpConnection::OnFirstBytes(beast::error_code ec, std::size_t bytes) {
  idle_ = false;
  // Claimed meanwhile by a new connection that takes this one's place: it closes.
  if (waiting_since_ == 0) return Close();
  if (ec) return Close();  // idle timeout, the client closed, or the server stops
  buffer_.commit(bytes);
  if (served_) head_deadline_ = std::chrono::steady_clock::now() + HeadTimeout();
  ReadRequest();
}

void HttpConnection::ReadRequest() {
  started_ = std::chrono::steady_clock::now();
  received_ = std::chrono::system_clock::now();
  reading_.emplace(shared_.options);
  stream_.expires_at(std::min(head_deadline_, started_ + shared_.options.read_timeout));
  http::async_read_header(stream_, buffer_, reading_->parser(),
                          beast::bind_front_handler(&HttpConnection::OnHead, shared_from_this()));
}

void HttpConnection::OnHead(beast::error_code ec, std::size_t) {
  // Claimed meanwhile by a new connection that takes this one's place: it closes. Otherwise the
  // head is in (or failed) and the connection can no longer be evicted.
  if (waiting_since_.exchange(0) == 0) return Close();
  if (ec == http::error::end_of_stream || ec == net::error::operation_aborted) return Close();
  if (ec == beast::error::timeout) {
    shared_.log.Note(remote_ +
                     ": request head not received within the head or read timeout; "
                     "closed");
    return Close();
  }
  method_.clear();
  client_ = remote_;
  if (!ec) {  // what the access line shows
    const auto& read = reading_->parser().get();
    method_ = Text(read.method_string());
    target_ = Text(read.target());
    http_version_ = static_cast<int>(read.version());
    const auto referer = read.find(http::field::referer);
    referer_ = referer == read.end() ? std::string() : Text(referer->value());
    const auto agent = read.find(http::field::user_agent);
    user_agent_ = agent == read.end() ? std::string() : Text(agent->value());
  }
  const RequestReading::Next next = reading_->AfterHead(ec);
  if (next.kind == RequestReading::Next::kRefuse) return Refuse(next);
  if (next.kind == RequestReading::Next::kClose) return Close();  // the connection failed
  stream_.expires_at(started_ + shared_.options.read_timeout);
  if (next.kind == RequestReading::Next::kAnswer) return Answer(reading_->parser().release());
  const auto& head = reading_->parser().get();
  const auto expect = head.find(http::field::expect);
  if (head.version() >= 11 && expect != head.end() &&
      beast::iequals(expect->value(), "100-continue")) {
    net::async_write(stream_, net::buffer(kContinue.data(), kContinue.size()),
                     [self = shared_from_this()](beast::error_code write_ec, std::size_t) {
                       if (write_ec) return self->Close();
                       self->ReadBody();
                     });
    return;
  }
  ReadBody();
}

void HttpConnection::ReadBody() {
  http::async_read(stream_, buffer_, reading_->parser(),
                   beast::bind_front_handler(&HttpConnection::OnRead, shared_from_this()));
}

void HttpConnection::OnRead(beast::error_code ec, std::size_t) {
  if (ec == http::error::end_of_stream || ec == net::error::operation_aborted) return Close();
  if (ec == beast::error::timeout) {
    shared_.log.Note(remote_ + ": request not received within the read timeout; closed");
    return Close();
  }
  const RequestReading::Next next = reading_->AfterBody(ec);
  if (next.kind == RequestReading::Next::kRefuse) return Refuse(next);
  if (next.kind == RequestReading::Next::kClose) return Close();  // the connection failed
  Answer(reading_->parser().release());
}

void HttpConnection::Answer(Request request) {
  auto data = std::make_shared<HttpRequestData>(ToRequestData(request));
  client_ = ClientAddress(remote_, data->headers, shared_.options.trusted_proxies);
  data->remote_address = client_;
  data->local_address = local_address_;
  data->local_port = local_port_;
  const bool keep_alive = request.keep_alive();
  const bool head = request.method() == http::verb::head;
  if (shared_.at_once) {
    if (auto reply = shared_.at_once(*data)) {
      return Send(std::move(*reply), keep_alive && !shared_.stopping && !shared_.draining, head);
    }
  }
  // The page runs on a page thread, start to end; its reply is sent from this connection's
  // strand. The guard keeps the I/O threads running while no I/O of this connection is pending.
  net::post(shared_.pages, [self = shared_from_this(), data = std::move(data), keep_alive, head,
                            guard = net::make_work_guard(stream_.get_executor())]() mutable {
    HttpReply reply = self->shared_.handler(*data);
    net::post(guard.get_executor(),
              [self = std::move(self), reply = std::move(reply), keep_alive, head]() mutable {
                self->Send(std::move(reply),
                           keep_alive && !self->shared_.stopping && !self->shared_.draining, head);
              });
  });
}

void HttpConnection::Refuse(const RequestReading::Next& refusal) {
  if (!refusal.problem.empty()) {
    shared_.log.Error(method_ + " " + std::string(PathOf(target_)) + ": " + refusal.problem);
  }
  if (refusal.status != 413 || method_.empty() || !shared_.options.on_refusal) {
    return SendError(refusal.status, refusal.reason);
  }
  auto head = std::make_shared<HttpRequestData>(ToRequestHead(reading_->parser().get()));
  client_ = ClientAddress(remote_, head->headers, shared_.options.trusted_proxies);
  head->remote_address = client_;
  head->local_address = local_address_;
  head->local_port = local_port_;
  reading_.reset();  // the body read so far (a file, for an upload) is not needed
  // As a page, on a page thread: the application's reply may wait (a session store).
  net::post(shared_.pages, [self = shared_from_this(), head = std::move(head),
                            refusal = HttpRefusal{refusal.status, refusal.reason, refusal.limit},
                            guard = net::make_work_guard(stream_.get_executor())]() mutable {
    std::optional<HttpReply> reply;
    try {
      reply = self->shared_.options.on_refusal(*head, refusal);
    } catch (const std::exception& e) {
      self->shared_.log.Error(head->method + " " + std::string(PathOf(head->target)) +
                              ": the refusal's page failed: " + e.what());
    }
    if (!reply) reply = PlainTextReply(refusal.status, refusal.reason);
    net::post(guard.get_executor(), [self = std::move(self), reply = std::move(*reply)]() mutable {
      self->Send(std::move(reply), false, false);
    });
  });
}

void HttpConnection::SendError(int status, std::string_view reason) {
  Send(PlainTextReply(status, reason), false, false);
}

void HttpConnection::Send(HttpReply reply, bool keep_alive, bool head) {
  std::optional<http::file_body::value_type> file;
  if (!reply.body_file.empty()) {
    beast::error_code ec;
    file.emplace();
    file->open(reply.body_file.c_str(), beast::file_mode::scan, ec);
    if (ec) {  // gone since it was looked at
      HttpReply gone = PlainTextReply(404, "not found");
      gone.page_label = reply.page_label;
      return Send(std::move(gone), keep_alive, head);
    }
  }
  response_ = {};
  file_response_.reset();
  response_.version(11);
  response_.result(static_cast<unsigned>(reply.status));
  response_.set(http::field::date, HttpDate(std::chrono::system_clock::now()));
  try {
    for (const auto& [name, value] : reply.headers) response_.insert(name, value);
  } catch (const std::length_error&) {
    // A header the transport cannot carry (a value over 64 KiB): the page's reply is lost.
    const std::string id = shared_.log.Error(method_ + " " + std::string(PathOf(target_)) +
                                             ": a response header is too large to send");
    return Send(PlainTextReply(500, "internal error (id " + id + ")"), false, false);
  }
  status_ = reply.status;
  body_bytes_ = file ? static_cast<std::size_t>(file->size()) : reply.body.size();
  page_label_ = reply.page_label;
  access_logged_ = reply.access_logged;
  stream_.expires_after(std::max(shared_.options.read_timeout, shared_.options.idle_timeout));
  auto on_write =
      beast::bind_front_handler(&HttpConnection::OnWrite, shared_from_this(), keep_alive);
  if (head) {
    // What a GET would get; no body follows.
    if (reply.status != 304) response_.content_length(body_bytes_);
  } else if (file) {
    // Sent from the file in pieces as the socket takes them.
    file_response_.emplace();
    file_response_->base() = std::move(response_.base());
    file_response_->body() = std::move(*file);
    file_response_->prepare_payload();
    file_response_->keep_alive(keep_alive);
    return http::async_write(stream_, *file_response_, std::move(on_write));
  } else {
    response_.body() = std::move(reply.body);
    response_.prepare_payload();
  }
  response_.keep_alive(keep_alive);
  http::async_write(stream_, response_, std::move(on_write));
}

void HttpConnection::OnWrite(bool keep_alive, beast::error_code ec, std::size_t) {
  if (shared_.metrics != nullptr) {
    shared_.metrics->CountRequest(page_label_, status_, ec ? 0 : body_bytes_,
                                  std::chrono::steady_clock::now() - started_);
  }
  if (shared_.options.log_access && access_logged_) {
    shared_.log.Access({.remote = client_.empty() ? remote_ : client_,
                        .received = received_,
                        .method = method_,
                        .target = target_,
                        .http_version = http_version_,
                        .status = status_,
                        .body_bytes = ec ? 0 : body_bytes_,
                        .referer = referer_,
                        .user_agent = user_agent_});
  }
  if (ec) return Close();
  if (!keep_alive) return CloseGracefully();
  served_ = true;
  WaitForRequest();
}

void HttpConnection::CloseGracefully() {
  beast::error_code ec;
  stream_.socket().shutdown(net::ip::tcp::socket::shutdown_send, ec);
  if (ec) return Close();
  drain_deadline_ =
      std::chrono::steady_clock::now() +
      std::max<std::chrono::steady_clock::duration>(kLingerTime, shared_.options.read_timeout);
  Drain();
}

void HttpConnection::Drain() {
  stream_.expires_at(std::min(drain_deadline_, std::chrono::steady_clock::now() + kLingerTime));
  stream_.async_read_some(net::buffer(scratch_),
                          [self = shared_from_this()](beast::error_code ec, std::size_t) {
                            if (ec) return self->Close();  // the client closed, or time is up
                            self->Drain();
                          });
}

void HttpConnection::Close() {
  beast::error_code ec;
  stream_.socket().shutdown(net::ip::tcp::socket::shutdown_both, ec);
  stream_.close();
}

}  // namespace host::internal
