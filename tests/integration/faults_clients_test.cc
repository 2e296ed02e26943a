// Clients that go away half-way, and the server stopped under load: others are served as if
// nothing happened, and on SIGTERM every request already in flight gets its whole answer before
// the server exits with code 0.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/http_client.h"
#include "support/page_load.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::PageLoad;

const std::string kSite = "userid=1&username=demo&siteid=1";
// More than the server's send buffer holds (at most 4 MiB here) with the small receive buffer
// of Socket, so the server is still writing when a Socket's reader stops.
constexpr std::size_t kBigFileBytes = 8 << 20;

// A bare client socket, for hanging up at chosen moments. Closed by the destructor.
class Socket {
 public:
  explicit Socket(int port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const int receive_buffer = 16 * 1024;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      throw std::runtime_error("cannot connect");
    }
  }
  ~Socket() { Close(); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  void Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("send failed");
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  // Reads what arrives within `timeout` (at most `max` bytes); "" at the end of the stream.
  std::string Read(std::size_t max = 65536, std::chrono::milliseconds timeout = 30s) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) != 1) throw std::runtime_error("no data");
    std::string buf(max, '\0');
    const ssize_t n = recv(fd_, buf.data(), buf.size(), 0);
    buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return buf;
  }
  // Everything until the server closes the connection (bounded by `timeout`).
  std::string ReadToEnd(std::chrono::milliseconds timeout = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string all;
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string chunk = Read(1 << 20, 30s);
      if (chunk.empty()) return all;
      all += chunk;
    }
    throw std::runtime_error("the server did not close the connection");
  }
  // Closes with a reset instead of the orderly end of the stream.
  void Reset() {
    linger hard{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    Close();
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// "page" for a whole valid page, "turned away" when the server closed the connection or refused
// it before answering (a request sent as it stops); anything else says what went wrong.
std::string Classify(const PageLoad::Answer& a, testing_support::PageValidator& pages) {
  if (a.response) {
    if (a.response->status != 200) return "status " + std::to_string(a.response->status);
    return pages.Valid(a.response->body) ? "page" : "invalid page";
  }
  if (a.failure.find("before a response") != std::string::npos ||
      a.failure.find("Connection refused") != std::string::npos) {
    return "turned away";
  }
  return a.failure;
}

class ClientFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto init = testing_support::RunWapsite({"init", Root().string(), "--demo"});
    ASSERT_EQ(init.exit_code, 0) << init.err;
    std::ofstream(Root() / "big.txt", std::ios::binary) << std::string(kBigFileBytes, 'b');
    server_ = std::make_unique<testing_support::ServerProcess>(
        Root(), std::vector<std::string>{"--threads", "2"});
  }
  fs::path Root() const { return dir_.path() / "site"; }
  std::vector<std::string> Pages() const {
    return {"/wap/index.asp?" + kSite, "/wap/shownews.asp?" + kSite + "&id=3",
            "/wap/lyb.asp?" + kSite + "&Page=2"};
  }

  testing_support::TempDir dir_;
  testing_support::PageValidator pages_;
  std::unique_ptr<testing_support::ServerProcess> server_;
};

TEST_F(ClientFaults, ClientsHangingUpMidResponseOrMidRequestHurtNoOneElse) {
  PageLoad load(server_->Port(), Pages(), 2,
                [this](const PageLoad::Answer& a) { return Classify(a, pages_); });
  const std::string big = "GET /big.txt HTTP/1.1\r\nHost: x\r\n\r\n";
  for (int round = 0; round < 4; ++round) {
    {  // a few bytes of a large file, then gone (orderly close, and reset)
      Socket quit(server_->Port()), reset(server_->Port());
      quit.Send(big);
      reset.Send(big);
      EXPECT_FALSE(quit.Read(16).empty());
      EXPECT_FALSE(reset.Read(16).empty());
      reset.Reset();
    }
    {  // half a request line, half the headers, half a body, a page never read
      Socket line(server_->Port()), headers(server_->Port()), body(server_->Port()),
          unread(server_->Port());
      line.Send("GET /wap/index.asp?userid=1&user");
      headers.Send("GET /wap/index.asp?" + kSite + " HTTP/1.1\r\nHost: x\r\nAcce");
      body.Send("POST /wap/newly.asp?" + kSite +
                " HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                "Content-Length: 1000\r\n\r\nlyr=a&title=");
      unread.Send("GET /wap/index.asp?" + kSite + " HTTP/1.1\r\nHost: x\r\n\r\n");
      headers.Reset();
    }
  }
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("page") >= 30; })) << load.Summary();
  load.Stop();
  EXPECT_EQ(load.Kinds(), std::set<std::string>{"page"}) << load.Summary();
  // The large answers broke off on the server's side (it logs 0 bytes sent for them).
  EXPECT_TRUE(server_->WaitForStdout("GET /big.txt 200 0 "));

  testing_support::HttpClient after("127.0.0.1", server_->Port());
  EXPECT_EQ(after.Get("/big.txt").body.size(), kBigFileBytes);
  EXPECT_EQ(after.Get(Pages()[0]).status, 200);
  EXPECT_EQ(server_->Stop(), 0);
}

TEST_F(ClientFaults, SigtermUnderLoadLetsRequestsInFlightFinishAndExitsWithZero) {
  PageLoad load(server_->Port(), Pages(), 4,
                [this](const PageLoad::Answer& a) { return Classify(a, pages_); });
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("page") >= 30; })) << load.Summary();

  // A large answer the client has only begun to read is in flight for certain.
  Socket slow(server_->Port());
  slow.Send("GET /big.txt HTTP/1.1\r\nHost: x\r\n\r\n");
  std::string received = slow.Read(4096);
  ASSERT_TRUE(received.starts_with("HTTP/1.1 200 ")) << received;

  server_->Signal(SIGTERM);
  received += slow.ReadToEnd();
  const std::size_t head_end = received.find("\r\n\r\n");
  ASSERT_NE(head_end, std::string::npos);
  EXPECT_NE(received.find("Content-Length: " + std::to_string(kBigFileBytes) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(received.size() - head_end - 4, kBigFileBytes);

  EXPECT_EQ(server_->WaitForExit(30s), 0);
  load.Stop();
  for (const std::string& kind : load.Kinds()) {
    EXPECT_TRUE(kind == "page" || kind == "turned away") << load.Summary();
  }
  EXPECT_THROW(testing_support::RawConnection("127.0.0.1", server_->Port()), std::runtime_error)
      << "still listening";
}

}  // namespace
