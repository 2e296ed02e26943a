#include "support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/beast/core/string.hpp>
#include <boost/beast/http.hpp>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testing_support {

namespace http = boost::beast::http;
using Clock = std::chrono::steady_clock;

RawConnection::RawConnection(int port, const char* from)
    : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in local{AF_INET, 0, {}, {}}, to{AF_INET, htons(static_cast<uint16_t>(port)), {}, {}};
  inet_pton(AF_INET, from, &local.sin_addr);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  // The local port is chosen at connect, so ports a test's earlier connections left waiting
  // (TIME_WAIT) are reused for other servers instead of running out under a parallel run.
  const int choose_at_connect = 1;
  setsockopt(fd_, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &choose_at_connect, sizeof(int));
  if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    const int error = errno;
    close(fd_);
    throw std::runtime_error("cannot connect to port " + std::to_string(port) + " from " + from +
                             ": " + std::strerror(error));
  }
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) close(fd_);
}

bool RawConnection::Send(std::string_view bytes) {
  for (ssize_t n; !bytes.empty(); bytes.remove_prefix(static_cast<std::size_t>(n))) {
    if ((n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)) <= 0) return false;
  }
  return true;
}

// Waits for bytes until `deadline`: how many arrived (0 at the end of the stream), -1 for none.
static ssize_t Receive(int fd, std::string& into, Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
  pollfd p{fd, POLLIN, 0};
  if (left <= 0 || poll(&p, 1, static_cast<int>(left)) != 1) return -1;
  char chunk[65536];
  const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
  into.append(chunk, n > 0 ? static_cast<std::size_t>(n) : 0);
  return n > 0 ? n : 0;
}

HttpResponse RawConnection::ReadResponse(bool head_request, Ms timeout) {
  http::response_parser<http::string_body> parser;
  parser.body_limit(boost::none);
  parser.skip(head_request);
  parser.eager(true);
  const auto deadline = Clock::now() + timeout;
  while (!parser.is_done()) {
    boost::beast::error_code ec;
    if (!buffer_.empty()) {
      buffer_.erase(0, parser.put(boost::asio::buffer(buffer_), ec));
      if (ec && ec != http::error::need_more)
        throw std::runtime_error("bad response: " + ec.message());
      if (parser.is_done() || (!ec && !buffer_.empty())) continue;
    }
    const ssize_t n = Receive(fd_, buffer_, deadline);
    if (n < 0) throw std::runtime_error("no response in time");
    if (n == 0 && parser.got_some()) parser.put_eof(ec);
    if (n == 0 && (ec || !parser.is_done())) throw std::runtime_error("closed before a response");
  }
  HttpResponse r{static_cast<int>(parser.get().result_int()), {}, parser.get().body()};
  for (const auto& field : parser.get()) r.headers.emplace_back(field.name_string(), field.value());
  return r;
}

bool RawConnection::WaitForClose(Ms timeout) {
  std::string sink;
  for (const auto deadline = Clock::now() + timeout;; sink.clear()) {
    const ssize_t n = Receive(fd_, sink, deadline);
    if (n <= 0) return n == 0;
  }
}

void RawConnection::Reset() {
  const linger hard{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  close(std::exchange(fd_, -1));
}

std::vector<std::string> HttpResponse::Headers(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [n, v] : headers)
    if (boost::beast::iequals(n, {name.data(), name.size()})) values.push_back(v);
  return values;
}

std::optional<std::string> HttpResponse::Header(std::string_view name) const {
  const auto all = Headers(name);
  return all.empty() ? std::nullopt : std::optional(all[0]);
}

HttpResponse HttpClient::Post(std::string_view target, std::string_view form,
                              const Pairs& headers) {
  Pairs all = {{"Content-Type", "application/x-www-form-urlencoded"}};
  all.insert(all.end(), headers.begin(), headers.end());
  return Send("POST", target, all, form);
}

HttpResponse HttpClient::Send(std::string_view method, std::string_view target,
                              const Pairs& headers, std::string_view body) {
  std::string bytes =
      std::string(method) + " " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  if (!body.empty() || method == "POST")
    bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  std::string cookie;
  for (const auto& [name, value] : cookies_)
    cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
  if (!cookie.empty()) bytes += "Cookie: " + cookie + "\r\n";
  for (const auto& [name, value] : headers) bytes += name + ": " + value + "\r\n";
  bytes += "\r\n" + std::string(body);
  HttpResponse r;
  for (bool retry = connection_ != nullptr;; retry = false) {
    if (!connection_) connection_ = std::make_unique<RawConnection>(port_), ++connections_;
    try {
      if (!connection_->Send(bytes)) throw std::runtime_error("connection closed");
      r = connection_->ReadResponse(method == "HEAD");
      if (boost::beast::iequals(r.Header("Connection").value_or(""), "close")) connection_.reset();
      break;
    } catch (const std::exception&) {
      connection_.reset();
      if (!retry) throw;
    }
  }
  for (const std::string& set :
       use_cookies_ ? r.Headers("Set-Cookie") : std::vector<std::string>{}) {
    const std::string name = set.substr(0, set.find('='));
    std::erase_if(cookies_, [&](const auto& c) { return c.first == name; });
    cookies_.emplace_back(name, set.substr(name.size() + 1, set.find(';') - name.size() - 1));
  }
  return r;
}

HttpResponse PostFrom(int port, const char* from, std::string_view target, std::string_view form,
                      std::string_view headers) {
  RawConnection connection(port, from);
  connection.Send("POST " + std::string(target) + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
                  "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                  std::to_string(form.size()) + "\r\n" + std::string(headers) + "\r\n" +
                  std::string(form));
  return connection.ReadResponse();
}

std::string FormEncode(const Pairs& pairs) {
  std::string out;
  for (const auto& [name, value] : pairs) {
    std::string v = text::PercentEncode(value);
    for (std::size_t at; (at = v.find("%20")) != std::string::npos;) v.replace(at, 3, "+");
    out += (out.empty() ? "" : "&") + text::PercentEncode(name) + "=" + v;
  }
  return out;
}

}  // namespace testing_support
