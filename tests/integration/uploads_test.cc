// Uploads over HTTP: a multipart/form-data body has its own size limit (--max-upload-bytes),
// enforced from the declared length or, chunked, while the bytes arrive, so a client announcing or
// streaming too much is refused before it has sent it; a malformed body is the client's fault
// (400); ordinary forms keep their own limit.
#include <gtest/gtest.h>

#include "support/demo_pages.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

constexpr std::string_view kMultipart = "multipart/form-data; boundary=B";

std::string Head(std::string_view content_type, std::string_view length_header) {
  return "POST " + kDemoPages[0].Target() + " HTTP/1.1\r\nHost: x\r\nContent-Type: " +
         std::string(content_type) + "\r\n" + std::string(length_header) + "\r\n\r\n";
}

// A multipart form of one file of `size` bytes.
std::string Upload(std::size_t size) {
  return "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.jpg\"\r\n\r\n" +
         std::string(size, 'x') + "\r\n--B--\r\n";
}

class Uploads : public ::testing::Test {
 protected:
  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
};

TEST_F(Uploads, AreLimitedWhileTheyArriveAndMalformedOnesAreRefused) {
  ServerProcess server(site_.Path(), {"--max-upload-bytes", "1500000"});
  HttpClient client(server.Port());
  const std::string form = FormEncode({{"x", std::string(1'200'000, 'y')}});
  const struct {
    std::string_view content_type;
    std::string body;
    int status;
  } cases[] = {
      {kMultipart, Upload(1'200'000), 200},  // over the ordinary body limit, under the upload one
      {kMultipart, Upload(1'600'000), 413},
      {"application/x-www-form-urlencoded", form, 413},  // forms keep the ordinary limit
      {kMultipart, "--B\r\nContent-Disposition: form-data\r\n\r\nx\r\n--B--\r\n", 400},
      {kMultipart, Upload(10).substr(0, 40), 400},
      {"multipart/form-data", Upload(10), 400},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client.Send("POST", kDemoPages[0].Target(), {{"Content-Type", std::string(c.content_type)}},
                          c.body).status,
              c.status)
        << c.content_type << " " << c.body.size();
  }

  // Refused from the head alone, no body byte needed and no "100 Continue" offered; chunked, once
  // more than the limit has arrived while the body is still unfinished. Each type has its limit.
  const std::string chunk = "10000\r\n" + std::string(0x10000, 'z') + "\r\n";  // 64 KiB
  const struct {
    std::string_view content_type;
    const char* length;
    int chunks;
  } early[] = {{kMultipart, "1500001", 24}, {"application/x-www-form-urlencoded", "1200000", 18}};
  for (const auto& c : early) {
    for (const char* expect : {"", "Expect: 100-continue\r\n"}) {
      RawConnection announced(server.Port());
      announced.Send(Head(c.content_type, std::string(expect) + "Content-Length: " + c.length));
      EXPECT_EQ(announced.ReadResponse(false, 3s).status, 413) << c.content_type << expect;
    }
    RawConnection streamed(server.Port());
    streamed.Send(Head(c.content_type, "Transfer-Encoding: chunked"));
    for (int i = 0; i < c.chunks; ++i) streamed.Send(chunk);
    EXPECT_EQ(streamed.ReadResponse(false, 3s).status, 413) << c.content_type;
  }
  EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
