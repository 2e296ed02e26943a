// Hostile clients on loopback: floods of form fields, of connections from one address, of idle
// keep-alives and of slow request heads, and requests that probe the host's own replies. The
// attacker speaks from 127.0.0.2, a normal client from 127.0.0.1; the normal client must keep
// (at least 99% of) its answers while each attack goes on.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/demo_root.h"
#include "support/http_client.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::DemoRoot;
using testing_support::HttpClient;
using testing_support::HttpResponse;
using testing_support::RawConnection;
using testing_support::ServerProcess;
using testing_support::TempDir;

const std::string kSite = "userid=1&username=demo&siteid=1";
const std::string kPage = "GET /wap/index.asp?" + kSite + " HTTP/1.1\r\nHost: x\r\n\r\n";

// A connection from the attacker's address, 127.0.0.2. Closed by the destructor.
class AttackerSocket {
 public:
  explicit AttackerSocket(int port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.2", &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
      throw std::runtime_error("cannot connect from 127.0.0.2");
    }
  }
  ~AttackerSocket() { close(fd_); }
  AttackerSocket(const AttackerSocket&) = delete;
  AttackerSocket& operator=(const AttackerSocket&) = delete;

  bool Send(std::string_view bytes) {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // Reads what arrives within `timeout`; "" when the server closed the connection, std::nullopt
  // when nothing came.
  std::optional<std::string> Receive(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
    char buffer[65536];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    return n <= 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
  }
  // True when the server closes the connection within `timeout` (what it sends is dropped).
  bool ClosedWithin(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto got = Receive(50ms);
      if (got && got->empty()) return true;
    }
    return false;
  }

 private:
  int fd_;
};

// The number of 200s a normal client gets for `requests` requests, each on a new connection.
int NormalAnswers(const ServerProcess& server, int requests) {
  int ok = 0;
  for (int i = 0; i < requests; ++i) {
    try {
      HttpClient client(server.Host(), server.Port());
      client.SetTimeout(5s);
      ok += client.Get("/wap/index.asp?" + kSite).status == 200;
    } catch (const std::exception&) {
    }
  }
  return ok;
}

class HostileClients : public ::testing::Test {
 protected:
  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
};

TEST_F(HostileClients, AFormOfTooManyFieldsIsRefusedAndStoresNothing) {
  ServerProcess server(site_.Path());
  std::string body = "lyr=a&title=b&content=c";
  for (int i = 0; i < 20'000; ++i) body += "&f" + std::to_string(i) + "=v";
  const auto rows = site_.Column("select count(*) from wap_lyb");
  HttpClient client(server.Host(), server.Port());
  const HttpResponse reply = client.Post("/wap/newly.asp?" + kSite, body);
  EXPECT_EQ(reply.status, 400);
  EXPECT_NE(reply.body.find("too many fields"), std::string::npos) << reply.body;
  EXPECT_EQ(site_.Column("select count(*) from wap_lyb"), rows);
}

TEST_F(HostileClients, ANormalClientIsAnsweredThroughConnectionFloodsFromAnotherAddress) {
  struct Attack {
    const char* name;
    std::vector<std::string> args;
    int connections;
    std::function<void(AttackerSocket&)> open;  // what each attacking connection does first
    bool trickle;                               // then sends a byte every 100 ms
  };
  const Attack attacks[] = {
      {"idle connections", {"--max-connections", "100"}, 300, [](AttackerSocket&) {}, false},
      {"idle keep-alives",
       {"--max-connections", "100", "--max-connections-per-address", "1000"},
       300,
       [](AttackerSocket& s) {
         s.Send(kPage);
         s.Receive(5s);
       },
       false},
      {"slow heads",
       {"--max-connections", "100", "--head-timeout", "1"},
       300,
       [](AttackerSocket& s) { s.Send("GET / HTTP/1.1\r\nHost: x\r\n"); },
       true},
  };
  for (const Attack& attack : attacks) {
    SCOPED_TRACE(attack.name);
    ServerProcess server(site_.Path(), attack.args);
    std::vector<std::unique_ptr<AttackerSocket>> held;
    for (int i = 0; i < attack.connections; ++i) {
      held.push_back(std::make_unique<AttackerSocket>(server.Port()));
      attack.open(*held.back());
    }
    std::atomic<bool> done{false};
    std::thread trickler([&] {
      while (attack.trickle && !done) {
        for (auto& s : held) s->Send("X");
        std::this_thread::sleep_for(100ms);
      }
    });
    EXPECT_GE(NormalAnswers(server, 100), 99);
    done = true;
    trickler.join();
  }
}

TEST_F(HostileClients, OneAddressHoldsOnlyItsShareOfConnectionsAndSlowHeadsAreCutOff) {
  ServerProcess server(site_.Path(), {"--max-connections-per-address", "8", "--head-timeout", "1",
                                      "--read-timeout", "30"});
  std::vector<std::unique_ptr<AttackerSocket>> held;
  for (int i = 0; i < 20; ++i) held.push_back(std::make_unique<AttackerSocket>(server.Port()));
  int closed_at_once = 0;
  for (int i = 8; i < 20; ++i) closed_at_once += held[i]->ClosedWithin(500ms);
  EXPECT_EQ(closed_at_once, 12);
  // A head trickled a byte at a time is closed at the head timeout all the same.
  held.resize(1);
  held[0]->Send("GET / HTTP/1.1\r\n");
  bool closed = false;
  for (int i = 0; i < 40 && !closed; ++i) {
    held[0]->Send("X");
    closed = held[0]->ClosedWithin(100ms);
  }
  EXPECT_TRUE(closed);
}

TEST_F(HostileClients, TheHostsOwnRepliesRefuseToBeMisused) {
  ServerProcess server(site_.Path());
  HttpClient client(server.Host(), server.Port());

  // A folder redirect never leads off the site.
  const HttpResponse folder = client.SendRaw("GET //evil.example/../wap HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(folder.status, 301);
  EXPECT_EQ(folder.Header("Location"), "/wap/");

  // HTTP/1.1 without Host: 400, with the host's hardening headers.
  const HttpResponse no_host = HttpClient(server.Host(), server.Port()).SendRaw("GET /a.txt HTTP/1.1\r\n\r\n");
  EXPECT_EQ(no_host.status, 400);
  EXPECT_EQ(no_host.Header("X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(no_host.Header("X-Frame-Options"), "DENY");
  EXPECT_EQ(no_host.Header("Content-Security-Policy"), "default-src 'none'");

  // "Expect: 100-continue" is answered once the head is accepted, or refused by its head alone.
  const std::string post = "POST /wap/newly.asp?" + kSite +
                           " HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
                           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: ";
  RawConnection expect(server.Host(), server.Port());
  expect.Send(post + "5\r\n\r\n");
  EXPECT_EQ(expect.ReadResponse(false, 3s).status, 100);
  expect.Send("lyr=a");
  EXPECT_EQ(expect.ReadResponse().status, 200);
  RawConnection too_big(server.Host(), server.Port());
  too_big.Send(post + "99999999\r\n\r\n");
  EXPECT_EQ(too_big.ReadResponse(false, 3s).status, 413);

  // Anonymous logouts create no sessions; repeated failures write one error line.
  for (int i = 0; i < 200; ++i) {
    const HttpResponse logout = client.Get("/wap/logout.asp?" + kSite);
    ASSERT_EQ(logout.status, 302);
    EXPECT_TRUE(logout.Headers("Set-Cookie").empty());
  }
  for (int i = 0; i < 300; ++i) ASSERT_EQ(client.Get("/createsite.asp").status, 500);
  EXPECT_EQ(server.Stop(), 0);
  const std::string errors = "\n" + server.Stderr();
  std::size_t error_lines = 0;
  for (std::size_t at = 0; (at = errors.find("\nerror ", at)) != std::string::npos; ++at) {
    ++error_lines;
  }
  EXPECT_LE(error_lines, 2u) << server.Stderr();
}

}  // namespace
