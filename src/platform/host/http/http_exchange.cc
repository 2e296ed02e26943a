#include "platform/host/http/http_exchange.h"

#include "platform/host/http/spooled_body.h"

namespace host {

std::uint64_t BodySize(const HttpRequestData& request) {
  return request.body_file ? request.body_file->Size() : request.body.size();
}

HttpReply PlainTextReply(int status, std::string_view line) {
  HttpReply reply;
  reply.status = status;
  reply.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
  for (const auto& [name, value] : kHardeningHeaders) reply.headers.emplace_back(name, value);
  // One line: a reason that spans lines (or carries control characters) is flattened.
  for (const char c : line) {
    const auto u = static_cast<unsigned char>(c);
    reply.body.push_back(u < 0x20 || u == 0x7F ? ' ' : c);
  }
  return reply;
}

}  // namespace host
