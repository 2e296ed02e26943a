// The client address of a request: which header a trusted gateway or balancer is believed in,
// and that nothing else lets a client choose its address.
#include "platform/host/http/client_address.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TrustedProxies Trusted(std::string_view list) {
  std::string error;
  auto trusted = TrustedProxies::Parse(list, error);
  EXPECT_TRUE(trusted) << error;
  return trusted.value_or(TrustedProxies());
}

// "Name: value" lines as headers, in order.
HttpHeaders Headers(const std::string& lines) {
  HttpHeaders headers;
  for (std::size_t at = 0; at < lines.size();) {
    std::size_t end = lines.find('\n', at);
    if (end == std::string::npos) end = lines.size();
    const std::string line = lines.substr(at, end - at);
    const std::size_t colon = line.find(": ");
    headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    at = end + 1;
  }
  return headers;
}

TEST(TrustedProxies, ReadsRangesOfBothFamiliesAndRefusesAnythingElse) {
  const TrustedProxies trusted = Trusted(" 10.0.0.0/8, 192.0.2.7 ,2001:db8::/32,::1");
  for (const char* inside : {"10.1.2.3", "192.0.2.7", "::ffff:10.9.9.9", "2001:db8:1::5", "::1"})
    EXPECT_TRUE(trusted.Contains(std::string_view(inside))) << inside;
  for (const char* outside : {"11.0.0.1", "192.0.2.8", "2001:db9::1", "::2", "not an address", ""})
    EXPECT_FALSE(trusted.Contains(std::string_view(outside))) << outside;
  EXPECT_TRUE(Trusted("").Empty());
  EXPECT_TRUE(Trusted("0.0.0.0/0").Contains(std::string_view("203.0.113.9")));
  EXPECT_FALSE(Trusted("0.0.0.0/0").Contains(std::string_view("2001:db8::1")));

  for (const char* bad : {"10.0.0.0/33", "::/129", "10.0.0.0/", "10.0.0/8", "10.0.0.0/8,",
                          "example.com", "10.0.0.0/-1", "[::1]", "10.0.0.0/8 /8"}) {
    std::string error;
    EXPECT_FALSE(TrustedProxies::Parse(bad, error)) << bad;
    EXPECT_NE(error.find("CIDR"), std::string::npos) << bad;
  }
}

TEST(ClientAddress, ATrustedPeerNamesItsClientAndNoOneElseDoes) {
  const TrustedProxies trusted = Trusted("10.0.0.0/8,2001:db8::/32");
  // Each header a line "Name: value".
  const struct {
    const char* name;
    const char* peer;
    std::string headers;
    const char* client;
  } cases[] = {
      {"no headers", "10.0.0.1", "", "10.0.0.1"},
      {"a gateway's handset", "10.0.0.1", "X-WAP-Network-Client-IP: 203.0.113.5", "203.0.113.5"},
      {"the header in any letter case", "10.0.0.1", "x-wap-network-client-ip:  203.0.113.5 ",
       "203.0.113.5"},
      {"the gateway header before X-Forwarded-For", "10.0.0.1",
       "X-Forwarded-For: 198.51.100.1\nX-WAP-Network-Client-IP: 203.0.113.5", "203.0.113.5"},
      {"a balancer's client", "10.0.0.1", "X-Forwarded-For: 198.51.100.1", "198.51.100.1"},
      {"a forged left part of the chain", "10.0.0.1", "X-Forwarded-For: 1.2.3.4, 198.51.100.1",
       "198.51.100.1"},
      {"trusted hops are stepped over", "10.0.0.1",
       "X-Forwarded-For: 1.2.3.4, 198.51.100.1, 10.0.0.2", "198.51.100.1"},
      {"a chain over two fields", "10.0.0.1",
       "X-Forwarded-For: 198.51.100.1\nX-Forwarded-For: 10.0.0.2", "198.51.100.1"},
      {"every hop trusted", "10.0.0.1", "X-Forwarded-For: 10.0.0.3, 10.0.0.2", "10.0.0.3"},
      {"a hop with a port", "10.0.0.1", "X-Forwarded-For: 198.51.100.1:4711", "198.51.100.1"},
      {"Forwarded", "10.0.0.1", "Forwarded: for=198.51.100.1;proto=http;by=10.0.0.1",
       "198.51.100.1"},
      {"Forwarded, quoted IPv6 with a port", "10.0.0.1",
       "Forwarded: for=1.2.3.4, For=\"[2001:db9::7]:4711\"", "2001:db9::7"},
      {"X-Forwarded-For before Forwarded", "10.0.0.1",
       "Forwarded: for=1.2.3.4\nX-Forwarded-For: 198.51.100.1", "198.51.100.1"},
      {"an IPv4-mapped peer", "::ffff:10.0.0.1", "X-Forwarded-For: 198.51.100.1", "198.51.100.1"},
      {"a mapped client is written as IPv4", "10.0.0.1",
       "X-WAP-Network-Client-IP: ::ffff:203.0.113.5", "203.0.113.5"},
      // Garbage never fails and never moves the address past what was trusted.
      {"a gateway header that is no address", "10.0.0.1", "X-WAP-Network-Client-IP: <script>",
       "10.0.0.1"},
      {"a repeated gateway header", "10.0.0.1",
       "X-WAP-Network-Client-IP: 203.0.113.5\nX-WAP-Network-Client-IP: 203.0.113.6", "10.0.0.1"},
      {"a gateway header listing two", "10.0.0.1", "X-WAP-Network-Client-IP: 203.0.113.5, 1.2.3.4",
       "10.0.0.1"},
      {"garbage right of the client", "10.0.0.1", "X-Forwarded-For: 198.51.100.1, unknown",
       "10.0.0.1"},
      {"garbage left of the client", "10.0.0.1", "X-Forwarded-For: junk, 198.51.100.1",
       "198.51.100.1"},
      {"garbage behind a trusted hop", "10.0.0.1", "X-Forwarded-For: junk, 10.0.0.2", "10.0.0.2"},
      {"an empty header", "10.0.0.1", "X-Forwarded-For: ", "10.0.0.1"},
      {"Forwarded without for=", "10.0.0.1", "Forwarded: proto=http", "10.0.0.1"},
      {"Forwarded, obfuscated", "10.0.0.1", "Forwarded: for=_hidden", "10.0.0.1"},
      {"a bracket left open", "10.0.0.1", "X-Forwarded-For: [2001:db9::1", "10.0.0.1"},
      {"a port that is no number", "10.0.0.1", "X-Forwarded-For: 198.51.100.1:http", "10.0.0.1"},
      {"a very long value", "10.0.0.1", "X-Forwarded-For: " + std::string(10'000, '1'), "10.0.0.1"},
      // An untrusted peer is who it is, whatever it says.
      {"an untrusted peer's gateway header", "198.51.100.9", "X-WAP-Network-Client-IP: 10.0.0.1",
       "198.51.100.9"},
      {"an untrusted peer's X-Forwarded-For", "198.51.100.9", "X-Forwarded-For: 203.0.113.5",
       "198.51.100.9"},
      {"an untrusted peer's Forwarded", "198.51.100.9", "Forwarded: for=203.0.113.5",
       "198.51.100.9"},
      {"an unknown peer", "-", "X-Forwarded-For: 203.0.113.5", "-"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClientAddress(c.peer, Headers(c.headers), trusted), c.client) << c.name;
  }
  // With no trusted proxies (the default), the headers mean nothing.
  EXPECT_EQ(ClientAddress("10.0.0.1", {{"X-Forwarded-For", "203.0.113.5"}}, TrustedProxies()),
            "10.0.0.1");
}

}  // namespace
}  // namespace host
