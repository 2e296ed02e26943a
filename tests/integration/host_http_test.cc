// The real `wapsite serve` at the HTTP level: keep-alive, limits, timeouts, malformed requests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/http_client.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::HttpClient;
using testing_support::HttpResponse;
using testing_support::RawConnection;
using testing_support::ServerProcess;
using testing_support::TempDir;

class HostHttp : public ::testing::Test {
 protected:
  HostHttp() {
    std::filesystem::create_directories(dir_.path() / "root");
    std::ofstream(dir_.path() / "root" / "a.txt") << "text";
    std::ofstream(dir_.path() / "root" / "p.asp") << "page";
    server_.emplace(dir_.path() / "root",
                    std::vector<std::string>{"--read-timeout", "1", "--idle-timeout", "2",
                                             "--max-connections", "4", "--threads", "2"});
  }

  HttpClient Client() const { return HttpClient(server_->Host(), server_->Port()); }
  RawConnection Raw() const { return RawConnection(server_->Host(), server_->Port()); }
  // The server still answers a fresh client.
  void ExpectHealthy() const {
    HttpClient client = Client();
    EXPECT_EQ(client.Get("/a.txt").body, "text");
  }

  TempDir dir_;
  std::optional<ServerProcess> server_;
};

TEST_F(HostHttp, KeepsAConnectionAliveAcrossRequests) {
  HttpClient client = Client();
  EXPECT_EQ(client.Get("/a.txt").body, "text");
  EXPECT_EQ(client.Post("/p.asp", "a=1").body, "page");
  EXPECT_EQ(client.Get("/p.asp").body, "page");
  EXPECT_EQ(client.Connections(), 1);
}

TEST_F(HostHttp, AnswersPipelinedRequestsInOrder) {
  RawConnection raw = Raw();
  raw.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\n\r\nGET /p.asp HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(raw.ReadResponse().body, "text");
  EXPECT_EQ(raw.ReadResponse().body, "page");
}

TEST_F(HostHttp, RefusesOversizedRequestsAndClosesOnlyThatConnection) {
  RawConnection idle = Raw();  // another client, kept open throughout
  struct Case {
    std::string request;
    std::vector<int> statuses;
  };
  const Case cases[] = {
      {"GET /a.txt HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(10'000, 'a') + "\r\n\r\n",
       {431, 400}},
      {"POST /p.asp HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
       "Content-Length: 2000000\r\n\r\n",
       {413}},
      {"GET /a.txt HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", {400}},
      {"NOT HTTP AT ALL\r\n\r\n", {400}},
      {"GET /a.txt HTTP/1.1\r\nBad Header\r\n\r\n", {400}},
      {"GET /a.txt HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\n", {400}},
  };
  for (const auto& c : cases) {
    RawConnection raw = Raw();
    raw.Send(c.request);
    const HttpResponse r = raw.ReadResponse();
    EXPECT_NE(std::find(c.statuses.begin(), c.statuses.end(), r.status), c.statuses.end())
        << c.request.substr(0, 40) << " → " << r.status;
    EXPECT_TRUE(raw.WaitForClose(10s)) << c.request.substr(0, 40);
    ExpectHealthy();
  }
  EXPECT_TRUE(idle.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\n\r\n"));
  EXPECT_EQ(idle.ReadResponse().body, "text");
}

TEST_F(HostHttp, CutsOffASlowClientAtTheReadTimeout) {
  RawConnection slow = Raw();
  slow.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\n");  // never finishes its head
  ExpectHealthy();
  EXPECT_TRUE(slow.WaitForClose(20s));
  EXPECT_TRUE(server_->WaitForStderr("read timeout"));
}

TEST_F(HostHttp, ClosesAConnectionIdleForLongerThanTheIdleTimeout) {
  RawConnection raw = Raw();
  raw.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(raw.ReadResponse().status, 200);
  EXPECT_TRUE(raw.WaitForClose(20s));
}

TEST_F(HostHttp, TurnsAwayConnectionsBeyondTheMaximumWhenNoneIsIdle) {
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 4; ++i) {
    held.push_back(std::make_unique<RawConnection>(server_->Host(), server_->Port()));
    held.back()->Send("GET /a.txt HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(held.back()->ReadResponse().status, 200);  // accepted and counted
    held.back()->Send("GET /a.txt HTTP/1.1\r\n");   // busy: half-way through a request
  }
  std::this_thread::sleep_for(300ms);  // the server reads those bytes
  RawConnection extra = Raw();
  extra.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(extra.ReadResponse().status, 503);
  held.clear();
  // The slots come free as the server notices the closes.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  int status = 0;
  while (status != 200 && std::chrono::steady_clock::now() < deadline) {
    RawConnection again = Raw();
    again.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\n\r\n");
    status = again.ReadResponse().status;
  }
  EXPECT_EQ(status, 200);
}

TEST_F(HostHttp, ClosesWhenTheClientAsksAndSpeaksHttp10) {
  RawConnection close = Raw();
  close.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(close.ReadResponse().Header("Connection"), "close");
  EXPECT_TRUE(close.WaitForClose(10s));
  RawConnection old = Raw();
  old.Send("GET /a.txt HTTP/1.0\r\n\r\n");
  EXPECT_EQ(old.ReadResponse().body, "text");
  EXPECT_TRUE(old.WaitForClose(10s));
}

}  // namespace
