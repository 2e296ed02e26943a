// AddressPrefix: the network a client address belongs to, for limits that one client could
// otherwise dodge by rotating through the addresses it holds: an IPv4 address's /24, an IPv6
// address's /64 (an IPv4-mapped IPv6 address counts as its IPv4 address). Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace host {

// "192.0.2.0/24" for "192.0.2.77"; "2001:db8:1:2::/64" for "2001:db8:1:2:aa::1". A text that is
// no IP address is returned as it is (it still names one client).
std::string AddressPrefix(std::string_view address);

}  // namespace host
