#include "platform/host/request_dispatcher.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/data/connection_pool.h"
#include "platform/host/request_error.h"
#include "platform/host/response.h"
#include "platform/host/scripting_context.h"
#include "support/temp_dir.h"

namespace host {
namespace {

// "test.redirectthenfail" redirects in OnStartPage and fails in OnEndPage; "test.badvalue" fails
// as a request error; "test.crash" fails with a detail that must stay in the log.
class TestObject : public HostObject {
 public:
  explicit TestObject(std::string id) : id_(std::move(id)) {}
  void OnStartPage(ScriptingContext& context) override {
    context.response.Write("buffered ");
    if (id_ == "test.redirectthenfail") context.response.Redirect("/moved");
    if (id_ == "test.badvalue") throw RequestError("id must be a whole number");
    if (id_ == "test.crash") throw std::runtime_error("SELECT secret FROM wap_lyb failed");
  }
  void OnEndPage() override {
    if (id_ == "test.redirectthenfail") throw std::runtime_error("end failed");
  }

 private:
  std::string id_;
};

class RequestDispatcherTest : public ::testing::Test {
 protected:
  RequestDispatcherTest() {
    Write("redirect.asp", "<%Set o = Server.CreateObject(\"test.redirectthenfail\")%>");
    Write("bad.asp", "<%Set o = Server.CreateObject(\"test.badvalue\")%>");
    Write("crash.asp", "<%Set o = Server.CreateObject(\"test.crash\")%>");
  }

  void Write(const std::string& name, std::string_view content) {
    std::ofstream(dir_.path() / name) << content;
  }

  HttpReply Get(std::string target) {
    HttpRequestData request;
    request.method = "GET";
    request.target = std::move(target);
    return dispatcher_.Handle(request);
  }

  testing_support::TempDir dir_;
  std::ostringstream access_, errors_;
  ServerLog log_{access_, errors_};
  Application application_;
  MemorySessionStore sessions_{100};
  data::ConnectionPool pool_{dir_.path()};
  RequestDispatcher dispatcher_{{std::filesystem::canonical(dir_.path()),
                                 [](std::string_view id) -> std::unique_ptr<HostObject> {
                                   return std::make_unique<TestObject>(std::string(id));
                                 },
                                 application_, sessions_, pool_, log_}};
};

TEST_F(RequestDispatcherTest, KeepsAnEndedResponseWhenALaterStepFails) {
  const HttpReply reply = Get("/redirect.asp");
  EXPECT_EQ(reply.status, 302);
  EXPECT_EQ(reply.body, "");
  EXPECT_NE(errors_.str().find("end failed"), std::string::npos);
}

TEST_F(RequestDispatcherTest, AnswersARequestErrorWith400AndItsReasonOnly) {
  const HttpReply reply = Get("/bad.asp");
  EXPECT_EQ(reply.status, 400);
  EXPECT_EQ(reply.body, "id must be a whole number");
}

TEST_F(RequestDispatcherTest, AnswersOtherFailuresWithAnIdAndKeepsTheDetailInTheLog) {
  const HttpReply reply = Get("/crash.asp");
  EXPECT_EQ(reply.status, 500);
  EXPECT_EQ(reply.body.find("SELECT"), std::string::npos);
  EXPECT_EQ(reply.body.find("buffered"), std::string::npos);
  const std::string id = reply.body.substr(reply.body.find("id ") + 3, 16);
  EXPECT_NE(errors_.str().find("error " + id + ": GET /crash.asp: SELECT secret"),
            std::string::npos)
      << errors_.str();
}

TEST_F(RequestDispatcherTest, AnswersABadPathWith400) {
  EXPECT_EQ(Get("/%c0%ae%c0%ae/x").status, 400);
  EXPECT_EQ(Get("/nothing.asp").status, 404);
}

}  // namespace
}  // namespace host
