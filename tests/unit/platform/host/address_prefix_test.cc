// The client networks that guestbook limits count by.
#include "platform/host/sessions/address_prefix.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(AddressPrefix, NamesTheIpv4Slash24AndTheIpv6Slash64) {
  const struct {
    const char* address;
    const char* prefix;
  } cases[] = {
      {"192.0.2.77", "192.0.2.0/24"},
      {"127.0.0.255", "127.0.0.0/24"},
      {"2001:db8:1:2:aa::1", "2001:db8:1:2::/64"},
      {"::1", "::/64"},
      {"::ffff:192.0.2.77", "192.0.2.0/24"},  // an IPv4 client on an IPv6 socket
      {"-", "-"},                             // no address: kept as it is
      {"not an address", "not an address"},
  };
  for (const auto& c : cases) EXPECT_EQ(AddressPrefix(c.address), c.prefix) << c.address;
}

}  // namespace
}  // namespace host
