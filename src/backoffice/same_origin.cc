#include "backoffice/same_origin.h"

#include <optional>
#include <string>

#include "platform/text/ascii.h"

namespace backoffice {
namespace {

struct HostPort {
  std::string host;  // lower case
  std::string port;
};

// "HOST[:PORT]" ("[V6]:PORT" too) with `default_port` when none is given; std::nullopt when
// malformed.
std::optional<HostPort> SplitHostPort(std::string_view text, std::string_view default_port) {
  if (text.empty()) return std::nullopt;
  std::size_t colon = text.rfind(':');
  if (text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    colon = close + 1 < text.size() ? close + 1 : std::string_view::npos;
    if (colon != std::string_view::npos && text[colon] != ':') return std::nullopt;
  }
  HostPort split{
      text::AsciiLower(text.substr(0, colon)),
      std::string(colon == std::string_view::npos ? default_port : text.substr(colon + 1))};
  if (split.host.empty() || split.port.empty() ||
      split.port.find_first_not_of("0123456789") != std::string::npos ||
      split.host.find_first_of("/@?#\\ ") != std::string::npos) {
    return std::nullopt;
  }
  return split;
}

}  // namespace

bool OriginMatchesHost(std::string_view origin, std::string_view host) {
  std::string_view default_port;
  if (origin.starts_with("http://")) {
    default_port = "80";
    origin.remove_prefix(7);
  } else if (origin.starts_with("https://")) {
    default_port = "443";
    origin.remove_prefix(8);
  } else {
    return false;
  }
  const auto from = SplitHostPort(origin, default_port);
  const auto to = SplitHostPort(host, default_port);
  return from && to && from->host == to->host && from->port == to->port;
}

}  // namespace backoffice
