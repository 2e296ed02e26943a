// RequestBody: the body type the server reads requests into: in memory, or, once the request's
// head has shown it to be an upload, appended to a SpooledBody (spooled_body.h) as it arrives,
// so that an upload never lies whole in memory. Internal to the transport: includes Beast and is
// included only by the transport's own .cc files (through http_request_reading.h). One request,
// one thread.
#pragma once

#include <boost/beast/core/buffers_range.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>
#include <boost/system/error_code.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/host/http/spooled_body.h"

namespace host::internal {

struct RequestBody {
  struct value_type {
    std::string text;                   // the body, unless `file` is set
    std::unique_ptr<SpooledBody> file;  // set before the body is read: the body goes here
  };

  static std::uint64_t size(const value_type& body) {
    return body.file ? body.file->Size() : body.text.size();
  }

  // Beast's BodyReader. A body that cannot be written to its file ends the read with
  // kCannotSpool.
  class reader {
   public:
    template <bool isRequest, class Fields>
    reader(boost::beast::http::header<isRequest, Fields>&, value_type& body) : body_(body) {}

    void init(const boost::optional<std::uint64_t>& length, boost::beast::error_code& ec) {
      // The length is within the body limit already (RequestReading checks it first).
      if (length && !body_.file) body_.text.reserve(static_cast<std::size_t>(*length));
      ec = {};
    }

    template <class ConstBufferSequence>
    std::size_t put(const ConstBufferSequence& buffers, boost::beast::error_code& ec) {
      std::size_t taken = 0;
      for (const auto buffer : boost::beast::buffers_range_ref(buffers)) {
        if (body_.file) {
          if (!body_.file->Append(buffer.data(), buffer.size())) {
            ec = kCannotSpool;
            return taken;
          }
        } else {
          body_.text.append(static_cast<const char*>(buffer.data()), buffer.size());
        }
        taken += buffer.size();
      }
      ec = {};
      return taken;
    }

    void finish(boost::beast::error_code& ec) { ec = {}; }

   private:
    value_type& body_;
  };

  // The error of a body that cannot be written to its file.
  static inline const boost::beast::error_code kCannotSpool =
      make_error_code(boost::system::errc::io_error);
};

}  // namespace host::internal
