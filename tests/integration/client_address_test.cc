// The client address behind gateways and balancers, over the real server: handsets behind one
// trusted gateway are limited each on its own and logged by their own address; the same headers
// from an address that is not trusted change nothing.
#include <gtest/gtest.h>

#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

// A guestbook post from the connecting address `from` with `headers` (each "Name: value\r\n").
// 302 when the message is stored, 429 when the address has posted its share.
int Post(int port, const char* from, const std::string& headers) {
  return PostFrom(port, from, kDemoPages[10].Target(), FormEncode(kDemoPages[10].form), headers)
      .status;
}

TEST(ClientAddress, HandsetsBehindATrustedGatewayAreLimitedEachOnItsOwn) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  ServerProcess server(site.Path(),
                       {"--trusted-proxies", "127.0.0.2/32,::1", "--guestbook-rate", "3"});
  const std::string first = "X-WAP-Network-Client-IP: 203.0.113.5\r\n";
  const std::string second = "X-WAP-Network-Client-IP: 198.51.100.7\r\n";
  // The first handset spends its share; the second still posts. (Which address of a balancer's
  // chain is the client: ClientAddress's table.)
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Post(server.Port(), "127.0.0.2", first), 302) << i;
  EXPECT_EQ(Post(server.Port(), "127.0.0.2", first), 429);
  EXPECT_EQ(Post(server.Port(), "127.0.0.2", second), 302);
  // The access log names each handset, not the gateway.
  EXPECT_TRUE(server.WaitForOutput("198.51.100.7 - - ["));
  EXPECT_NE(server.Stdout().find("203.0.113.5 - - ["), std::string::npos);
  EXPECT_EQ(server.Stdout().find("127.0.0.2 - - ["), std::string::npos);

  // From an address that is not trusted the header changes nothing: one share for all (each
  // header of each kind: ClientAddress's table).
  const std::string untrusted = "X-WAP-Network-Client-IP: 203.0.113.9\r\n";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Post(server.Port(), "127.0.0.3", i ? untrusted : ""), 302);
  EXPECT_EQ(Post(server.Port(), "127.0.0.3", untrusted), 429);
  EXPECT_EQ(server.Stdout().find("203.0.113.9"), std::string::npos);
}

TEST(ClientAddress, ATrustedGatewayIsExemptFromThePerAddressConnectionLimit) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  ServerProcess server(site.Path(),
                       {"--trusted-proxies", "127.0.0.2", "--max-connections-per-address", "2"});
  std::vector<std::unique_ptr<RawConnection>> gateway, other;
  for (int i = 0; i < 6; ++i) {
    gateway.push_back(std::make_unique<RawConnection>(server.Port(), "127.0.0.2"));
    other.push_back(std::make_unique<RawConnection>(server.Port(), "127.0.0.3"));
  }
  int gateway_closed = 0, other_closed = 0;
  for (int i = 0; i < 6; ++i) {
    gateway_closed += gateway[i]->WaitForClose(std::chrono::milliseconds(200));
    other_closed += other[i]->WaitForClose(std::chrono::milliseconds(200));
  }
  EXPECT_EQ(gateway_closed, 0);
  EXPECT_EQ(other_closed, 4);
  gateway.back()->Send("GET " + kDemoPages[0].Target() + " HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(gateway.back()->ReadResponse().status, 200);
}

TEST(ClientAddress, ABadTrustedProxiesListIsRefusedAtStart) {
  TempDir dir;
  const CommandResult result =
      RunWapsite({"serve", "--root", dir.path().string(), "--trusted-proxies", "10.0.0.0/33"});
  EXPECT_NE(result.exit_code, 0);
  EXPECT_NE(result.err.find("10.0.0.0/33"), std::string::npos) << result.err;
}

}  // namespace
