#include "platform/host/http/http_framing.h"

#include <boost/beast/core/string.hpp>
#include <string>

namespace host::internal {
namespace {

namespace http = boost::beast::http;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Whether the codings of every Transfer-Encoding field, in order, are exactly one "chunked"
// (any case): the only coding this server decodes. Empty list elements are skipped.
bool OnlyChunked(const http::request_header<>& head) {
  int codings = 0;
  bool chunked = true;
  const auto [first, last] = head.equal_range(http::field::transfer_encoding);
  for (auto field = first; field != last; ++field) {
    std::string_view rest(field->value().data(), field->value().size());
    while (true) {
      const std::size_t comma = rest.find(',');
      const std::string_view coding = Trim(rest.substr(0, comma));
      if (!coding.empty()) {
        ++codings;
        chunked =
            chunked && boost::beast::iequals(
                           boost::beast::string_view(coding.data(), coding.size()), "chunked");
      }
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return codings == 1 && chunked;
}

// Whether every Content-Length field (each possibly a list) holds the same whole number.
bool OneContentLength(const http::request_header<>& head) {
  std::string seen;
  const auto [first, last] = head.equal_range(http::field::content_length);
  for (auto field = first; field != last; ++field) {
    std::string_view rest(field->value().data(), field->value().size());
    while (true) {
      const std::size_t comma = rest.find(',');
      const std::string_view value = Trim(rest.substr(0, comma));
      if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
      }
      if (seen.empty()) {
        seen = std::string(value);
      } else if (seen != value) {
        return false;
      }
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return true;
}

}  // namespace

std::optional<std::string_view> FramingRefusal(const http::request_header<>& head) {
  const bool has_transfer_encoding = head.count(http::field::transfer_encoding) > 0;
  const bool has_content_length = head.count(http::field::content_length) > 0;
  if (has_transfer_encoding) {
    if (head.version() < 11) return "Transfer-Encoding in an HTTP/1.0 request";
    if (has_content_length) return "both Transfer-Encoding and Content-Length";
    if (!OnlyChunked(head)) return "unsupported Transfer-Encoding (only chunked is accepted)";
  }
  if (has_content_length && !OneContentLength(head)) return "conflicting Content-Length";
  const std::size_t hosts = head.count(http::field::host);
  if (hosts > 1) return "more than one Host header";
  if (hosts == 0 && head.version() >= 11) return "no Host header";
  return std::nullopt;
}

}  // namespace host::internal
