// Reading one HTTP/1.1 request out of bytes already received, without a socket: the very steps an
// HttpConnection takes with the bytes it reads (RequestReading, http_request_reading.h), up to the
// HttpRequestData it hands to the handler. For tools that feed bytes directly (the fuzz targets).
// Pure; thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/host/http/http_exchange.h"
#include "platform/host/http/http_server.h"

namespace host {

struct HttpRequestRead {
  enum class Outcome {
    kRequest,     // a whole request: `request` and `consumed` are set
    kIncomplete,  // the bytes end before the request does
    kRefused,     // the server would answer `status` with `reason` and close the connection
  };
  Outcome outcome = Outcome::kIncomplete;
  HttpRequestData request;  // without the connection's addresses
  std::size_t consumed = 0;
  int status = 0;  // 400, 413 or 431
  std::string reason;
};

// The first request of `bytes` as the server reads it with the limits of `limits` (header_limit,
// body_limit, upload_limit); an upload's body goes to a temporary file in `limits.upload_folder`
// as the server's does (refused with 503 when that is empty). Never throws but std::bad_alloc.
HttpRequestRead ReadHttpRequest(std::string_view bytes, const HttpServerOptions& limits);

}  // namespace host
