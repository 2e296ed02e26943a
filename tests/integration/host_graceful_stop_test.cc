// The HTTP server stopping while a request is in flight: the request finishes and gets its reply,
// idle connections close, no new connection is accepted, and Run returns.
#include <gtest/gtest.h>

#include <future>
#include <sstream>

#include "platform/host/http_server.h"
#include "support/http_client.h"

namespace host {
namespace {

using namespace std::chrono_literals;
using testing_support::RawConnection;

TEST(HttpServerStop, FinishesTheRequestInFlightAndClosesTheRest) {
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  HttpServerOptions options;
  options.port = 0;
  options.handle_signals = false;
  std::ostringstream access, errors;
  ServerLog log(access, errors);
  HttpServer server(
      options,
      [&](const HttpRequestData& request) {
        if (request.target == "/slow") {
          entered.set_value();
          released.wait();
        }
        return PlainTextReply(200, request.target);
      },
      log);
  const std::string bound = server.Listen();
  const int port = std::stoi(bound.substr(bound.rfind(':') + 1));
  auto running = std::async(std::launch::async, [&] { server.Run(); });

  RawConnection idle("127.0.0.1", port);
  idle.Send("GET /fast HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(idle.ReadResponse().body, "/fast");

  RawConnection slow("127.0.0.1", port);
  slow.Send("GET /slow HTTP/1.1\r\nHost: x\r\n\r\n");
  ASSERT_EQ(entered.get_future().wait_for(10s), std::future_status::ready);

  server.Stop();
  EXPECT_TRUE(idle.WaitForClose(10s));
  EXPECT_THROW(RawConnection("127.0.0.1", port), std::runtime_error);
  EXPECT_NE(running.wait_for(0s), std::future_status::ready);

  release.set_value();
  const auto reply = slow.ReadResponse();
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, "/slow");
  EXPECT_EQ(reply.Header("Connection"), "close");
  EXPECT_TRUE(slow.WaitForClose(10s));
  EXPECT_EQ(running.wait_for(10s), std::future_status::ready);
}

}  // namespace
}  // namespace host
