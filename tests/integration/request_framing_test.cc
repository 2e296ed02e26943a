// Request framing over a socket to the real server: a head that leaves unclear where its body ends
// or which host it names gets 400 and its connection closes, so that the bytes sent after it are
// never read as a request of their own (request smuggling).
#include <gtest/gtest.h>

#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

TEST(RequestFraming, AnAmbiguousHeadGets400AndNothingAfterItIsServed) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  ServerProcess server(site.Path());
  const struct {
    const char* name;
    std::string head;  // header lines after the request line, each ending in CRLF
  } cases[] = {
      {"a coding that only looks like chunked", "Host: x\r\nTransfer-Encoding: xchunked\r\n"},
      {"identity", "Host: x\r\nTransfer-Encoding: identity\r\n"},
      {"gzip", "Host: x\r\nTransfer-Encoding: gzip\r\n"},
      {"chunked, then another coding", "Host: x\r\nTransfer-Encoding: chunked, identity\r\n"},
      {"chunked, then another field",
       "Host: x\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n"},
      {"chunked twice", "Host: x\r\nTransfer-Encoding: chunked, chunked\r\n"},
      {"chunked with a length", "Host: x\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n"},
      {"a length with chunked", "Host: x\r\nTransfer-Encoding: chunked\r\nContent-Length: 5\r\n"},
      {"differing lengths", "Host: x\r\nContent-Length: 0\r\nContent-Length: 5\r\n"},
      {"differing lengths in one field", "Host: x\r\nContent-Length: 0, 5\r\n"},
      {"two Host headers", "Host: x\r\nHost: y\r\nContent-Length: 0\r\n"},
      {"no Host header", "Content-Length: 0\r\n"},
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
  // What stays accepted: one chunked coding in any letter case, a length repeated alike.
  const std::string sound[] = {
      "Host: x\r\nTransfer-Encoding: Chunked\r\n\r\n0\r\n\r\n",
      "Host: x\r\nContent-Length: 0\r\nContent-Length: 0\r\n\r\n",
  };
  for (const std::string& head : sound) {
    SCOPED_TRACE(head);
    RawConnection raw(server.Port());
    raw.Send("GET " + kDemoPages[0].Target() + " HTTP/1.1\r\n" + head);
    EXPECT_EQ(raw.ReadResponse().status, 200);
  }
}

}  // namespace
