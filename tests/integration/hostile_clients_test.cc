// Hostile clients on loopback: floods of idle keep-alives and of slow request heads, and requests
// that probe the host's own replies (open redirect, Expect: 100-continue, missing Host, repeated
// failures). The attacker speaks from 127.0.0.2; a normal client on 127.0.0.1 keeps at least 99%
// of its answers while an attack goes on.
#include <gtest/gtest.h>

#include <fstream>

#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

const std::string kHome = "GET " + kDemoPages[0].Target() + " HTTP/1.1\r\nHost: x\r\n\r\n";

class HostileClients : public ::testing::Test {
 protected:
  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
};

// Idle keep-alives are the flood only eviction lets a client through: 300 of them from one address
// that may hold them all, on a server of 100 slots.
TEST_F(HostileClients, ANormalClientIsAnsweredThroughIdleKeepAlivesFromAnotherAddress) {
  ServerProcess server(site_.Path(),
                       {"--max-connections", "100", "--max-connections-per-address", "1000"});
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 300; ++i) {
    held.push_back(std::make_unique<RawConnection>(server.Port(), "127.0.0.2"));
    held.back()->Send(kHome);
  }
  // Each attacking request answered (its connection then idles) or its connection closed to make
  // room for a newer one: the server is full of idle keep-alives before the client comes.
  for (auto& s : held) {
    try {
      s->ReadResponse(false, 10s);
    } catch (const std::exception&) {
    }
  }
  int answered = 0;
  for (int i = 0; i < 100; ++i) {
    try {
      answered += HttpClient(server.Port()).Get(kDemoPages[0].Target()).status == 200;
    } catch (const std::exception&) {
    }
  }
  EXPECT_GE(answered, 99);
}

TEST_F(HostileClients, AHeadTrickledAByteAtATimeIsCutOffAtTheHeadTimeout) {
  ServerProcess server(site_.Path(), {"--head-timeout", "1", "--read-timeout", "30"});
  RawConnection slow(server.Port(), "127.0.0.2");
  slow.Send("GET / HTTP/1.1\r\n");
  bool closed = false;
  for (int i = 0; i < 40 && !closed; ++i) closed = !slow.Send("X") || slow.WaitForClose(100ms);
  EXPECT_TRUE(closed);
}

TEST_F(HostileClients, TheHostsOwnRepliesRefuseToBeMisused) {
  ServerProcess server(site_.Path());
  // A form of too many fields is refused before its page runs.
  std::string fields = "lyr=a&title=b&content=c";
  for (int i = 0; i < 1000; ++i) fields += "&f" + std::to_string(i) + "=v";
  const HttpResponse flood = HttpClient(server.Port()).Post(kDemoPages[10].Target(), fields);
  EXPECT_EQ(flood.status, 400);
  EXPECT_NE(flood.body.find("too many fields"), std::string::npos) << flood.body;
  // A folder redirect never leads off the site.
  RawConnection raw(server.Port());
  raw.Send("GET //evil.example/../wap HTTP/1.1\r\nHost: x\r\n\r\n");
  const HttpResponse folder = raw.ReadResponse();
  EXPECT_EQ(folder.status, 301);
  EXPECT_EQ(folder.Header("Location"), "/wap/");
  // HTTP/1.1 without Host: 400, with the hardening headers.
  raw.Send("GET /a.txt HTTP/1.1\r\n\r\n");
  const HttpResponse no_host = raw.ReadResponse();
  EXPECT_EQ(no_host.status, 400);
  EXPECT_EQ(no_host.Header("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(no_host.Header("X-Frame-Options"), "DENY");
  EXPECT_EQ(no_host.Header("Content-Security-Policy"), "default-src 'none'");

  // "Expect: 100-continue" is answered once the head is accepted, or refused by the head alone.
  const std::string post = "POST " + kDemoPages[10].Target() +
                           " HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
                           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: ";
  RawConnection expect(server.Port()), too_big(server.Port());
  expect.Send(post + "5\r\n\r\n");
  EXPECT_EQ(expect.ReadResponse(false, 3s).status, 100);
  expect.Send("lyr=a");
  EXPECT_EQ(expect.ReadResponse().status, 200);
  too_big.Send(post + "99999999\r\n\r\n");
  EXPECT_EQ(too_big.ReadResponse(false, 3s).status, 413);

  // Repeated failures write one error line.
  HttpClient client(server.Port());
  std::ofstream(site_.Path() / "fails.asp") << "<%Set x = Server.CreateObject(\"wap.none\")%>";
  for (int i = 0; i < 300; ++i) ASSERT_EQ(client.Get("/fails.asp").status, 500);
  EXPECT_EQ(server.Stop(), 0);
  const std::string errors = "\n" + server.Stderr();
  int error_lines = 0;
  for (std::size_t at = 0; (at = errors.find("\nerror ", at)) != std::string::npos; ++at)
    ++error_lines;
  EXPECT_LE(error_lines, 2) << errors;
}

}  // namespace
