// Hostile clients on loopback: floods of form fields, of connections, of idle keep-alives, of slow
// request heads and of sessions, and requests that probe the host's own replies (open redirect,
// Expect: 100-continue, missing Host, repeated failures). The attacker speaks from 127.0.0.2; a
// normal client on 127.0.0.1 keeps at least 99% of its answers while an attack goes on.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

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

TEST_F(HostileClients, ANormalClientIsAnsweredThroughFloodsFromAnotherAddress) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string first;  // what each attacking connection sends first
    bool trickle;       // then a byte every 100 ms
  } attacks[] = {
      {"idle connections", {"--max-connections", "100"}, "", false},
      {"idle keep-alives",
       {"--max-connections", "100", "--max-connections-per-address", "1000"},
       kHome,
       false},
      {"slow heads",
       {"--max-connections", "100", "--head-timeout", "1"},
       "GET / HTTP/1.1\r\nHost: x\r\n",
       true},
  };
  for (const auto& attack : attacks) {
    SCOPED_TRACE(attack.name);
    ServerProcess server(site_.Path(), attack.args);
    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < 300; ++i) {
      held.push_back(std::make_unique<RawConnection>(server.Port(), "127.0.0.2"));
      held.back()->Send(attack.first);
    }
    if (!attack.first.empty() && !attack.trickle) {
      // Each attacking request answered (its connection then idles) or its connection closed to
      // make room for a newer one: the server is full of idle keep-alives before the client comes.
      for (auto& s : held) {
        try {
          s->ReadResponse(false, 10s);
        } catch (const std::exception&) {
        }
      }
    }
    std::atomic<bool> done{false};
    std::thread trickler([&] {
      for (; attack.trickle && !done; std::this_thread::sleep_for(100ms)) {
        for (auto& s : held) s->Send("X");
      }
    });
    int answered = 0;
    for (int i = 0; i < 100; ++i) {
      try {
        answered += HttpClient(server.Port()).Get(kDemoPages[0].Target()).status == 200;
      } catch (const std::exception&) {
      }
    }
    EXPECT_GE(answered, 99);
    done = true;
    trickler.join();
  }
}

TEST_F(HostileClients, OneAddressHoldsOnlyItsShareAndSlowHeadsAreCutOff) {
  ServerProcess server(site_.Path(), {"--max-connections-per-address", "8", "--head-timeout", "1",
                                      "--read-timeout", "30"});
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 20; ++i)
    held.push_back(std::make_unique<RawConnection>(server.Port(), "127.0.0.2"));
  int closed_at_once = 0;
  for (int i = 8; i < 20; ++i) closed_at_once += held[i]->WaitForClose(500ms);
  EXPECT_EQ(closed_at_once, 12);
  held[0]->Send("GET / HTTP/1.1\r\n");  // a head trickled a byte at a time: cut at the head timeout
  bool closed = false;
  for (int i = 0; i < 40 && !closed; ++i)
    closed = !held[0]->Send("X") || held[0]->WaitForClose(100ms);
  EXPECT_TRUE(closed);
}

TEST_F(HostileClients, TheHostsOwnRepliesRefuseToBeMisused) {
  ServerProcess server(site_.Path());
  // A form of too many fields is refused and stores nothing.
  std::string fields = "lyr=a&title=b&content=c";
  for (int i = 0; i < 20'000; ++i) fields += "&f" + std::to_string(i) + "=v";
  const auto messages = site_.Column("select count(*) from wap_lyb");
  const HttpResponse flood = HttpClient(server.Port()).Post(kDemoPages[10].Target(), fields);
  EXPECT_EQ(flood.status, 400);
  EXPECT_NE(flood.body.find("too many fields"), std::string::npos) << flood.body;
  EXPECT_EQ(site_.Column("select count(*) from wap_lyb"), messages);

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

  // Anonymous logouts make no sessions; repeated failures write one error line.
  HttpClient client(server.Port());
  for (int i = 0; i < 200; ++i) {
    const HttpResponse logout = client.Get(kDemoPages[8].Target());
    ASSERT_EQ(logout.status, 302);
    EXPECT_TRUE(logout.Headers("Set-Cookie").empty());
  }
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
