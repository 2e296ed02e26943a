// Request framing over a socket to the real server: a head that leaves unclear where its body ends
// or which host it names gets 400 and its connection closes, so that the bytes sent after it are
// never read as a request of their own (request smuggling).
#include <gtest/gtest.h>

#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

TEST(RequestFraming, AnAmbiguousHeadGets400AndNothingAfterItIsServed) {
  TempDir root;
  ServerProcess server(root.path());
  const struct {
    const char* name;
    std::string head;  // header lines after the request line, each ending in CRLF
  } cases[] = {
      // The other ambiguous heads are ReadHttpRequest's rows; over a socket, that nothing after
      // one is read.
      {"a coding that only looks like chunked", "Host: x\r\nTransfer-Encoding: xchunked\r\n"},
      {"chunked with a length", "Host: x\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n"},
      {"differing lengths", "Host: x\r\nContent-Length: 0\r\nContent-Length: 5\r\n"},
      {"two Host headers", "Host: x\r\nHost: y\r\nContent-Length: 0\r\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string smuggled = "/smuggled-" + std::to_string(++n);
    RawConnection raw(server.Port());
    raw.Send("POST /wap/index.asp HTTP/1.1\r\n" + c.head + "\r\n" + "GET " + smuggled +
             " HTTP/1.1\r\nHost: x\r\n\r\n");
    const HttpResponse refused = raw.ReadResponse();
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.Header("Connection"), "close");
    EXPECT_TRUE(raw.WaitForClose(5s));
    EXPECT_TRUE(server.WaitForOutput(" 400 ", 5s));
    EXPECT_EQ(server.Stdout().find(smuggled), std::string::npos) << server.Stdout();
  }
}

}  // namespace
