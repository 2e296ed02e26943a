#include "support/http_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cctype>
#include <sstream>

namespace testing_support {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

struct RawConnection::Impl {
  net::io_context io;
  beast::tcp_stream stream{io};
  beast::flat_buffer buffer;

  // Runs one asynchronous operation to its end or to the deadline; its error code.
  template <class Start>
  beast::error_code Await(Ms timeout, Start start) {
    beast::error_code result;
    stream.expires_after(timeout);
    start([&](beast::error_code ec, auto&&...) { result = ec; });
    io.restart();
    io.run();
    return result;
  }
};

RawConnection::RawConnection(const std::string& host, int port) : impl_(std::make_unique<Impl>()) {
  const net::ip::tcp::endpoint at(net::ip::make_address(host), static_cast<unsigned short>(port));
  const auto ec = impl_->Await(Ms(10'000), [&](auto done) { impl_->stream.async_connect(at, done); });
  if (ec) throw beast::system_error(ec, "connect");
}

RawConnection::~RawConnection() = default;

bool RawConnection::Send(std::string_view bytes, Ms timeout) {
  const auto ec = impl_->Await(timeout, [&](auto done) {
    net::async_write(impl_->stream, net::buffer(bytes.data(), bytes.size()), done);
  });
  if (ec == net::error::broken_pipe || ec == net::error::connection_reset) return false;
  if (ec) throw beast::system_error(ec, "send");
  return true;
}

HttpResponse RawConnection::ReadResponse(bool head_request, Ms timeout) {
  http::response_parser<http::string_body> parser;
  parser.body_limit(boost::none);
  parser.skip(head_request);
  const auto ec = impl_->Await(
      timeout, [&](auto done) { http::async_read(impl_->stream, impl_->buffer, parser, done); });
  if (ec) throw beast::system_error(ec, "read response");
  const auto& message = parser.get();
  HttpResponse r{static_cast<int>(message.result_int()), {}, message.body()};
  for (const auto& field : message) r.headers.emplace_back(field.name_string(), field.value());
  return r;
}

bool RawConnection::WaitForClose(Ms timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (char sink[4096];;) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - std::chrono::steady_clock::now());
    if (left <= Ms(0)) return false;
    const auto ec = impl_->Await(
        left, [&](auto done) { impl_->stream.async_read_some(net::buffer(sink), done); });
    if (ec == beast::error::timeout) return false;
    if (ec) return true;  // end of stream or reset
  }
}

std::optional<std::string> HttpResponse::Header(std::string_view name) const {
  for (const auto& [n, v] : headers)
    if (beast::iequals(n, beast::string_view(name.data(), name.size()))) return v;
  return std::nullopt;
}

std::vector<std::string> HttpResponse::Headers(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [n, v] : headers)
    if (beast::iequals(n, beast::string_view(name.data(), name.size()))) values.push_back(v);
  return values;
}

HttpResponse HttpClient::Get(std::string_view target, const HeaderList& headers) {
  return Send("GET", target, headers, "");
}

HttpResponse HttpClient::Head(std::string_view target, const HeaderList& headers) {
  return Send("HEAD", target, headers, "");
}

HttpResponse HttpClient::Post(std::string_view target, std::string_view body,
                              std::string_view content_type, const HeaderList& headers) {
  HeaderList all = {{"Content-Type", std::string(content_type)}};
  all.insert(all.end(), headers.begin(), headers.end());
  return Send("POST", target, all, body);
}

HttpResponse HttpClient::Send(std::string_view method, std::string_view target,
                              const HeaderList& headers, std::string_view body) {
  http::request<http::string_body> request;
  request.method_string(beast::string_view(method.data(), method.size()));
  request.target(beast::string_view(target.data(), target.size()));
  request.set(http::field::host, host_);
  if (!body.empty() || method == "POST") request.content_length(body.size());
  std::string cookie;
  for (const auto& [name, value] : cookies_) cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
  if (!cookie.empty()) request.set(http::field::cookie, cookie);
  for (const auto& [name, value] : headers) request.insert(beast::string_view(name), value);
  request.body() = body;
  std::ostringstream bytes;
  bytes << request;
  HttpResponse r = Exchange(bytes.str(), method == "HEAD");
  for (const std::string& set : r.Headers("Set-Cookie")) {
    if (!use_cookies_) break;
    const auto eq = set.find('='), end = set.find(';');
    if (eq == std::string::npos) continue;
    const std::string name = set.substr(0, eq), value = set.substr(eq + 1, end - eq - 1);
    std::erase_if(cookies_, [&](const auto& c) { return c.first == name; });
    cookies_.emplace_back(name, value);
  }
  return r;
}

HttpResponse HttpClient::SendRaw(std::string_view bytes, bool head_request) {
  return Exchange(std::string(bytes), head_request);
}

HttpResponse HttpClient::Exchange(const std::string& bytes, bool head_request) {
  for (bool fresh = false;; fresh = true) {
    const bool reused = connection_ != nullptr;
    if (!connection_) {
      connection_ = std::make_unique<RawConnection>(host_, port_);
      ++connections_;
    }
    try {
      if (!connection_->Send(bytes, timeout_)) throw std::runtime_error("connection closed");
      HttpResponse r = connection_->ReadResponse(head_request, timeout_);
      const auto close = r.Header("Connection");
      if (close && beast::iequals(*close, "close")) connection_.reset();
      return r;
    } catch (const std::exception&) {
      connection_.reset();
      if (!reused || fresh) throw;  // a kept connection the server had closed: once more
    }
  }
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return out;
}

std::string FormEncode(const HeaderList& pairs) {
  std::string out;
  for (const auto& [name, value] : pairs) {
    std::string v = PercentEncode(value);
    for (std::size_t at; (at = v.find("%20")) != std::string::npos;) v.replace(at, 3, "+");
    out += (out.empty() ? "" : "&") + PercentEncode(name) + "=" + v;
  }
  return out;
}

}  // namespace testing_support
