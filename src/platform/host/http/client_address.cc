#include "platform/host/http/client_address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "platform/text/ascii.h"

namespace host {
namespace {

// The elements of a comma-separated list, in order, trimmed (empty ones kept, so that "a,,b"
// reads as malformed where an address is expected).
std::vector<std::string_view> Elements(std::string_view list) {
  std::vector<std::string_view> elements;
  while (true) {
    const std::size_t comma = list.find(',');
    elements.push_back(text::TrimBlanks(list.substr(0, comma)));
    if (comma == std::string_view::npos) return elements;
    list.remove_prefix(comma + 1);
  }
}

// An address as a hop writes it in X-Forwarded-For or Forwarded: bare, "[v6]", "[v6]:port" or
// "v4:port".
std::optional<IpAddress> HopAddress(std::string_view text) {
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && (!rest.starts_with(':') || rest.size() == 1 ||
                          rest.find_first_not_of("0123456789", 1) != std::string_view::npos)) {
      return std::nullopt;
    }
    return IpAddress::Parse(text.substr(1, close - 1));
  }
  const std::size_t colon = text.find(':');
  if (colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
    const std::string_view port = text.substr(colon + 1);
    if (port.empty() || port.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    const auto address = IpAddress::Parse(text.substr(0, colon));
    if (!address || !address->v4) return std::nullopt;
    return address;
  }
  return IpAddress::Parse(text);
}

// The `for=` value of one element of a Forwarded header ("for=192.0.2.1;proto=http"), unquoted;
// std::nullopt when it has none.
std::optional<std::string_view> ForwardedFor(std::string_view element) {
  while (!element.empty()) {
    const std::size_t semicolon = element.find(';');
    const std::string_view pair = text::TrimBlanks(element.substr(0, semicolon));
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && equals == 3 &&
        strncasecmp(pair.data(), "for", 3) == 0) {
      std::string_view value = text::TrimBlanks(pair.substr(4));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
      }
      return value;
    }
    if (semicolon == std::string_view::npos) break;
    element.remove_prefix(semicolon + 1);
  }
  return std::nullopt;
}

// The addresses the hops named, left to right; std::nullopt in place of one that is malformed.
std::vector<std::optional<IpAddress>> Hops(const HttpHeaders& headers, const char* name) {
  std::vector<std::optional<IpAddress>> hops;
  for (const auto& [key, value] : headers) {
    if (!text::EqualsIgnoreCase(key, name)) continue;
    for (const std::string_view element : Elements(value)) {
      if (text::EqualsIgnoreCase(key, "Forwarded")) {
        const auto target = ForwardedFor(element);
        hops.push_back(target ? HopAddress(*target) : std::nullopt);
      } else {
        hops.push_back(HopAddress(element));
      }
    }
  }
  return hops;
}

bool Has(const HttpHeaders& headers, const char* name) {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& header) {
    return text::EqualsIgnoreCase(header.first, name);
  });
}

}  // namespace

std::optional<IpAddress> IpAddress::Parse(std::string_view text) {
  if (text.empty() || text.size() > 45) return std::nullopt;
  const std::string copy(text);
  IpAddress address;
  in_addr v4{};
  if (inet_pton(AF_INET, copy.c_str(), &v4) == 1) {
    address.bytes[10] = address.bytes[11] = 0xff;
    std::memcpy(address.bytes.data() + 12, &v4, 4);
    address.v4 = true;
    return address;
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, copy.c_str(), &v6) != 1) return std::nullopt;
  std::memcpy(address.bytes.data(), &v6, 16);
  static constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  address.v4 = std::memcmp(address.bytes.data(), kMapped, 12) == 0;
  return address;
}

std::string IpAddress::ToString() const {
  char text[INET6_ADDRSTRLEN] = {};
  if (v4) {
    inet_ntop(AF_INET, bytes.data() + 12, text, sizeof text);
  } else {
    inet_ntop(AF_INET6, bytes.data(), text, sizeof text);
  }
  return text;
}

std::optional<TrustedProxies> TrustedProxies::Parse(std::string_view list, std::string& error) {
  TrustedProxies trusted;
  if (text::TrimBlanks(list).empty()) return trusted;
  for (const std::string_view element : Elements(list)) {
    const std::size_t slash = element.find('/');
    const auto address = IpAddress::Parse(element.substr(0, slash));
    int bits = address && address->v4 ? 32 : 128;
    bool valid = address.has_value();
    if (valid && slash != std::string_view::npos) {
      const std::string_view digits = element.substr(slash + 1);
      valid = !digits.empty() && digits.size() <= 3 &&
              digits.find_first_not_of("0123456789") == std::string_view::npos;
      if (valid) {
        const int asked = std::stoi(std::string(digits));
        valid = asked <= bits;
        bits = asked;
      }
    }
    if (!valid) {
      error = "not an address range (CIDR): '" + std::string(element) + "'";
      return std::nullopt;
    }
    trusted.ranges_.push_back({*address, address->v4 ? bits + 96 : bits});
  }
  return trusted;
}

bool TrustedProxies::Contains(const IpAddress& address) const {
  for (const Range& range : ranges_) {
    if (range.network.v4 != address.v4) continue;
    bool inside = true;
    for (int bit = 0; bit < range.bits && inside; ++bit) {
      const int byte = bit / 8;
      const int mask = 0x80 >> (bit % 8);
      inside = (range.network.bytes[byte] & mask) == (address.bytes[byte] & mask);
    }
    if (inside) return true;
  }
  return false;
}

bool TrustedProxies::Contains(std::string_view address) const {
  const auto parsed = IpAddress::Parse(address);
  return parsed && Contains(*parsed);
}

std::string ClientAddress(std::string_view peer, const HttpHeaders& headers,
                          const TrustedProxies& trusted) {
  const auto peer_address = IpAddress::Parse(peer);
  if (!peer_address || !trusted.Contains(*peer_address)) return std::string(peer);
  // A gateway names its handset in a header of its own: one address, or nothing is taken from it.
  const std::vector<std::optional<IpAddress>> gateway = Hops(headers, "X-WAP-Network-Client-IP");
  if (gateway.size() == 1 && gateway.front()) return gateway.front()->ToString();
  if (!gateway.empty()) return peer_address->ToString();
  const char* const name = Has(headers, "X-Forwarded-For") ? "X-Forwarded-For" : "Forwarded";
  const std::vector<std::optional<IpAddress>> hops = Hops(headers, name);
  IpAddress client = *peer_address;
  for (auto hop = hops.rbegin(); hop != hops.rend(); ++hop) {
    if (!*hop) break;  // malformed: what lies left of it is not to be believed
    client = **hop;
    if (!trusted.Contains(client)) break;
  }
  return client.ToString();
}

}  // namespace host
