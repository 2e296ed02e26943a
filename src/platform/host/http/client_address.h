// The client address of a request: the one address every per-address limit of requests, the
// REMOTE_ADDR server variable, the access log and the audit trail name. It is the connecting
// address, unless that is a trusted gateway or balancer (TrustedProxies), which names the client
// it acts for:
//   - `X-WAP-Network-Client-IP` (a WAP gateway), one address;
//   - else the right-most address of `X-Forwarded-For` that is not itself trusted (each trusted
//     hop appends the address it saw, so anything left of the first untrusted one may be forged);
//   - else likewise the `for=` parameters of `Forwarded`.
// From any other address these headers are ignored. A header that is malformed (not an address,
// "unknown", repeated where one is expected) never fails a request and never lets an untrusted
// client choose its address: the walk stops at it and keeps the last address it trusted.
// Addresses are written as inet_ntop writes them (an IPv4-mapped IPv6 address as IPv4).
// Pure values; thread-safe for reading.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/http/http_exchange.h"

namespace host {

// An IPv4 or IPv6 address, IPv4 kept as an IPv4-mapped IPv6 address.
struct IpAddress {
  std::array<std::uint8_t, 16> bytes{};
  bool v4 = false;

  // `text` as an address ("192.0.2.1", "2001:db8::1", "::ffff:192.0.2.1"); std::nullopt when it
  // is none (brackets, ports and zones are not accepted here).
  static std::optional<IpAddress> Parse(std::string_view text);
  std::string ToString() const;
};

// A list of address ranges (CIDR) whose connections are trusted to name their client.
class TrustedProxies {
 public:
  TrustedProxies() = default;  // none

  // "CIDR[,CIDR...]": each an IPv4 or IPv6 address, optionally "/bits" (all bits when left out);
  // spaces around elements are allowed; an empty text is an empty list. Returns std::nullopt and
  // sets `error` to a one-line reason naming the bad element when one is not a range.
  static std::optional<TrustedProxies> Parse(std::string_view list, std::string& error);

  bool Empty() const { return ranges_.empty(); }
  bool Contains(const IpAddress& address) const;
  // `address` as text: false when it is not an address.
  bool Contains(std::string_view address) const;

 private:
  struct Range {
    IpAddress network;
    int bits = 0;  // of the 128 of the mapped form
  };
  std::vector<Range> ranges_;
};

// The client address of a request from `peer` (the connecting address, as text) with `headers`,
// under `trusted`. Returns `peer` itself when the peer is not trusted or names no usable client.
std::string ClientAddress(std::string_view peer, const HttpHeaders& headers,
                          const TrustedProxies& trusted);

}  // namespace host
