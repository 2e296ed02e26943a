#include "http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return std::string(s);
}

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

std::optional<std::string> HttpResponse::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) return value;
  }
  return std::nullopt;
}

std::vector<std::string> HttpResponse::Headers(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) values.push_back(value);
  }
  return values;
}

RawConnection::RawConnection(const std::string& host, int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
    close(fd_);
    throw std::runtime_error("not an IPv4 address: " + host);
  }
  if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    const std::string reason = std::strerror(errno);
    close(fd_);
    throw std::runtime_error("connect to " + host + ":" + std::to_string(port) + ": " + reason);
  }
  int one = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) close(fd_);
}

bool RawConnection::Send(std::string_view bytes, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!bytes.empty()) {
    pollfd p{fd_, POLLOUT, 0};
    const int ready = poll(&p, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) throw std::runtime_error("send timed out");
    const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      if (errno == EPIPE || errno == ECONNRESET) return false;
      throw std::runtime_error(std::string("send: ") + std::strerror(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<std::string> RawConnection::Receive(std::chrono::milliseconds timeout) {
  if (peer_closed_) return std::string();
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return std::nullopt;
    char buf[65536];
    const ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      peer_closed_ = true;
      return std::string();
    }
    return std::string(buf, static_cast<std::size_t>(n));
  }
}

bool RawConnection::WaitForClose(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  pending_.clear();
  while (!peer_closed_) {
    const auto chunk = Receive(std::chrono::milliseconds(RemainingMs(deadline)));
    if (!chunk) return false;
  }
  return true;
}

HttpResponse RawConnection::ReadResponse(bool head_request, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  // Makes sure pending_ holds at least `want` bytes; false when the connection ended first.
  auto fill = [&](std::size_t want) {
    while (pending_.size() < want) {
      const auto chunk = Receive(std::chrono::milliseconds(RemainingMs(deadline)));
      if (!chunk) throw std::runtime_error("timed out waiting for the response");
      if (chunk->empty()) return false;
      pending_ += *chunk;
    }
    return true;
  };
  // Reads up to and including the next CRLF; the line without it.
  auto line = [&]() -> std::optional<std::string> {
    std::size_t end;
    while ((end = pending_.find("\r\n")) == std::string::npos) {
      if (!fill(pending_.size() + 1)) return std::nullopt;
    }
    std::string text = pending_.substr(0, end);
    pending_.erase(0, end + 2);
    return text;
  };

  HttpResponse response;
  const auto status_line = line();
  if (!status_line) throw std::runtime_error("connection closed before a response");
  {
    const std::size_t sp1 = status_line->find(' ');
    if (sp1 == std::string::npos) throw std::runtime_error("bad status line: " + *status_line);
    response.version = status_line->substr(0, sp1);
    const std::size_t sp2 = status_line->find(' ', sp1 + 1);
    response.status = std::stoi(status_line->substr(sp1 + 1, sp2 - sp1 - 1));
    if (sp2 != std::string::npos) response.reason = status_line->substr(sp2 + 1);
  }
  for (;;) {
    const auto header = line();
    if (!header) throw std::runtime_error("connection closed inside the headers");
    if (header->empty()) break;
    const std::size_t colon = header->find(':');
    if (colon == std::string::npos) throw std::runtime_error("bad header line: " + *header);
    response.headers.emplace_back(header->substr(0, colon), Trim(header->substr(colon + 1)));
  }

  const bool no_body = head_request || response.status == 204 || response.status == 304 ||
                       (response.status >= 100 && response.status < 200);
  if (no_body) return response;
  const auto encoding = response.Header("Transfer-Encoding");
  if (encoding && EqualsNoCase(*encoding, "chunked")) {
    for (;;) {
      const auto size_line = line();
      if (!size_line) throw std::runtime_error("connection closed inside a chunked body");
      const std::size_t size = std::stoul(*size_line, nullptr, 16);
      if (size == 0) {
        while (true) {
          const auto trailer = line();
          if (!trailer || trailer->empty()) break;
        }
        break;
      }
      if (!fill(size + 2)) throw std::runtime_error("connection closed inside a chunk");
      response.body += pending_.substr(0, size);
      pending_.erase(0, size + 2);
    }
  } else if (const auto length = response.Header("Content-Length")) {
    const std::size_t size = std::stoul(*length);
    if (!fill(size)) throw std::runtime_error("connection closed inside the body");
    response.body = pending_.substr(0, size);
    pending_.erase(0, size);
  } else {
    while (fill(pending_.size() + 1)) {
    }
    response.body = std::move(pending_);
    pending_.clear();
  }
  return response;
}

HttpClient::HttpClient(std::string host, int port) : host_(std::move(host)), port_(port) {}

HttpClient::~HttpClient() = default;

void HttpClient::Close() { connection_.reset(); }

RawConnection& HttpClient::Connection() {
  if (connection_) {
    // Reuse only a connection the server has not closed meanwhile (an idle timeout).
    const auto early = connection_->Receive(std::chrono::milliseconds(0));
    if (connection_->PeerClosed() || (early && !early->empty())) connection_.reset();
  }
  if (!connection_) {
    connection_.emplace(host_, port_);
    ++connections_;
  }
  return *connection_;
}

HttpResponse HttpClient::Get(std::string_view target, const HeaderList& headers) {
  return Send("GET", target, headers, {});
}

HttpResponse HttpClient::Head(std::string_view target, const HeaderList& headers) {
  return Send("HEAD", target, headers, {});
}

HttpResponse HttpClient::Post(std::string_view target, std::string_view body,
                              std::string_view content_type, const HeaderList& headers) {
  HeaderList all = {{"Content-Type", std::string(content_type)}};
  all.insert(all.end(), headers.begin(), headers.end());
  return Send("POST", target, all, body);
}

HttpResponse HttpClient::Send(std::string_view method, std::string_view target,
                              const HeaderList& headers, std::string_view body) {
  std::string request;
  request.append(method).append(" ").append(target).append(" HTTP/1.1\r\n");
  request.append("Host: ").append(host_).append(":").append(std::to_string(port_)).append("\r\n");
  if (!body.empty() || method == "POST") {
    request.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
  }
  if (use_cookies_ && !cookies_.empty()) {
    request.append("Cookie: ");
    for (std::size_t i = 0; i < cookies_.size(); ++i) {
      if (i > 0) request.append("; ");
      request.append(cookies_[i].first).append("=").append(cookies_[i].second);
    }
    request.append("\r\n");
  }
  for (const auto& [name, value] : headers) {
    request.append(name).append(": ").append(value).append("\r\n");
  }
  request.append("\r\n").append(body);
  return SendRaw(request, method == "HEAD");
}

HttpResponse HttpClient::SendRaw(std::string_view bytes, bool head_request) {
  RawConnection& conn = Connection();
  conn.Send(bytes, timeout_);
  HttpResponse response = conn.ReadResponse(head_request, timeout_);
  AfterResponse(response);
  return response;
}

void HttpClient::AfterResponse(const HttpResponse& response) {
  if (use_cookies_) TakeCookies(response);
  const auto connection = response.Header("Connection");
  if ((connection && EqualsNoCase(*connection, "close")) || response.version == "HTTP/1.0") {
    connection_.reset();
  }
}

void HttpClient::TakeCookies(const HttpResponse& response) {
  for (const auto& set_cookie : response.Headers("Set-Cookie")) {
    const std::string pair = set_cookie.substr(0, set_cookie.find(';'));
    const std::size_t eq = pair.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = Trim(pair.substr(0, eq));
    const std::string value = Trim(pair.substr(eq + 1));
    bool replaced = false;
    for (auto& cookie : cookies_) {
      if (cookie.first == name) {
        cookie.second = value;
        replaced = true;
      }
    }
    if (!replaced) cookies_.emplace_back(name, value);
  }
}

std::string PercentEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string FormEncode(const HeaderList& pairs) {
  std::string out;
  for (const auto& [name, value] : pairs) {
    if (!out.empty()) out.push_back('&');
    std::string n = PercentEncode(name), v = PercentEncode(value);
    for (auto* s : {&n, &v}) {
      std::string spaced;
      for (std::size_t i = 0; i < s->size(); ++i) {
        if (s->compare(i, 3, "%20") == 0) {
          spaced.push_back('+');
          i += 2;
        } else {
          spaced.push_back((*s)[i]);
        }
      }
      *s = std::move(spaced);
    }
    out.append(n).append("=").append(v);
  }
  return out;
}

}  // namespace testing_support
