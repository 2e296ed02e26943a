#include "platform/host/http/http_request_reader.h"

#include <algorithm>
#include <boost/asio/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/system/system_error.hpp>
#include <cstring>

#include "platform/host/http/http_request_reading.h"

namespace host {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;

// A stream with nothing more to read: the request's bytes are in the read buffer already, as
// those a connection has received are in its own.
struct ExhaustedStream {
  template <class Buffers>
  std::size_t read_some(const Buffers&, beast::error_code& ec) {
    ec = boost::asio::error::eof;
    return 0;
  }
  template <class Buffers>
  std::size_t read_some(const Buffers& buffers) {
    beast::error_code ec;
    read_some(buffers, ec);
    throw boost::system::system_error(ec);
  }
};

// True when reading stopped because the bytes ran out: as for a connection whose client closed,
// that is no refusal; here it means the request is incomplete.
bool BytesEnded(const beast::error_code& ec) {
  return ec == http::error::end_of_stream || ec == http::error::partial_message;
}

}  // namespace

HttpRequestRead ReadHttpRequest(std::string_view bytes, const HttpServerOptions& limits) {
  HttpRequestRead read;
  beast::flat_buffer buffer(internal::ReadBufferLimit(limits));
  const std::size_t taken = std::min(bytes.size(), buffer.max_size());
  std::memcpy(buffer.prepare(taken).data(), bytes.data(), taken);
  buffer.commit(taken);
  ExhaustedStream stream;
  internal::RequestReading reading(limits);
  beast::error_code ec;
  http::read_header(stream, buffer, reading.parser(), ec);
  if (BytesEnded(ec)) return read;
  internal::RequestReading::Next next = reading.AfterHead(ec);
  if (next.kind == internal::RequestReading::Next::kReadBody) {
    http::read(stream, buffer, reading.parser(), ec);
    if (BytesEnded(ec)) return read;
    next = reading.AfterBody(ec);
  }
  switch (next.kind) {
    case internal::RequestReading::Next::kAnswer: {
      auto request = reading.parser().release();
      read.outcome = HttpRequestRead::Outcome::kRequest;
      read.request = internal::ToRequestData(request);
      read.consumed = taken - buffer.size();
      break;
    }
    case internal::RequestReading::Next::kRefuse:
      read.outcome = HttpRequestRead::Outcome::kRefused;
      read.status = next.status;
      read.reason = std::string(next.reason);
      break;
    default:  // the bytes end before the request does
      break;
  }
  return read;
}

}  // namespace host
