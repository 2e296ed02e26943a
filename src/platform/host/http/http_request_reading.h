// RequestReading: how the server reads one request, whatever brings the bytes: a parser with the
// server's header limit and (until the head says which applies) its largest body limit, then,
// once the head is in, the framing checks and the body limit of this request, and what an error
// of the read means. HttpConnection feeds it from its socket; ReadHttpRequest from bytes already
// received (the fuzz targets), so both read a request by the very same steps.
// Internal to the transport: this header includes Beast and is included only by the transport's
// own .cc files. One request, one thread.
#pragma once

#include <boost/beast/core/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/host/http/http_exchange.h"
#include "platform/host/http/http_server.h"
#include "platform/host/http/request_body.h"

namespace host::internal {

// `request` as the handler sees it: method, target, headers in order and the body (moved out of
// `request`, its file too); the connection's addresses are left for the caller.
HttpRequestData ToRequestData(boost::beast::http::request<RequestBody>& request);

// The head of `head` as a refusal's handler sees it: method, target and headers, no body.
HttpRequestData ToRequestHead(const boost::beast::http::request_header<>& head);

// The largest whole request (head, in-memory body and what follows) a connection's buffer holds
// under `options`: more is refused with 413 "request too large".
std::size_t ReadBufferLimit(const HttpServerOptions& options);

class RequestReading {
 public:
  using Parser = boost::beast::http::request_parser<RequestBody>;

  // What to do after a read step.
  struct Next {
    enum Kind {
      kReadBody,  // the head is sound: read the body (the parser holds its limit)
      kAnswer,    // the request is whole: release it from the parser and answer it
      kRefuse,    // answer `status` with the one-line `reason`, then close
      kClose,     // the connection failed or the bytes ended: close without an answer
    };
    Kind kind;
    int status = 0;
    std::string_view reason;
    std::uint64_t limit = 0;  // of a 413: the body limit that applied (0 when none is known)
    std::string problem;      // for the server's log: a fault of the server, not of the request
  };

  // A parser with `options`' header limit and largest body limit. `options` must outlive this.
  explicit RequestReading(const HttpServerOptions& options);

  Parser& parser() { return parser_; }

  // After reading the head ended with `ec`: a refusal for a head too large or malformed, framed
  // ambiguously (400) or declaring a body over the limit that applies (413), or an upload whose
  // temporary file cannot be made (503); kClose for any other error; else kAnswer when there is
  // no body to read and kReadBody otherwise (an upload's body then goes to a SpooledBody in
  // options.upload_folder).
  Next AfterHead(const boost::beast::error_code& ec);
  // After reading the body ended with `ec`: a refusal for a body too large or malformed (or that
  // cannot be written to its temporary file: 503), kClose for any other error, else kAnswer.
  Next AfterBody(const boost::beast::error_code& ec);

 private:
  const HttpServerOptions& options_;
  Parser parser_;
  std::uint64_t limit_ = 0;  // the body limit of the request, once its head is read
};

}  // namespace host::internal
