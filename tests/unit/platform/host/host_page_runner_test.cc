#include "platform/host/host_page_runner.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/data/connection_pool.h"
#include "platform/host/application.h"
#include "platform/host/local_session.h"
#include "platform/host/request.h"
#include "platform/host/request_error.h"
#include "platform/host/response.h"
#include "platform/host/server.h"
#include "platform/text/ascii.h"

namespace host {
namespace {

// Objects that record their life in a shared journal; "fail" in the name makes a step throw.
class Recorder : public HostObject {
 public:
  Recorder(std::string name, std::vector<std::string>& journal)
      : name_(std::move(name)), journal_(journal) {}
  void OnStartPage(ScriptingContext& context) override {
    journal_.push_back(name_ + ".start");
    if (name_ == "test.failstart") throw std::runtime_error("start failed");
    if (name_ == "test.ender") context.response.End();
    if (name_ == "test.redirector") context.response.Redirect("/elsewhere");
  }
  void OnEndPage() override {
    journal_.push_back(name_ + ".end");
    if (name_ == "test.failend") throw std::runtime_error("end failed");
  }
  bool Call(std::string_view method) override {
    if (text::EqualsIgnoreCase(method, "Boom")) throw RequestError("bad value");
    if (!text::EqualsIgnoreCase(method, "Go")) return false;
    journal_.push_back(name_ + ".go");
    return true;
  }

 private:
  std::string name_;
  std::vector<std::string>& journal_;
};

class HostPageRunnerTest : public ::testing::Test {
 protected:
  // Runs `source`; returns the text of the exception it ends with, or "" when none.
  std::string Run(std::string_view source) {
    const HostPage page = ParseHostPage(source, "/p.asp");
    ScriptingContext context{application_, request_, response_, session_, server_, pool_};
    try {
      RunHostPage(page, context, [&](std::string_view d) { reports_.emplace_back(d); });
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }

  std::vector<std::string> journal_;
  std::vector<std::string> reports_;
  Application application_;
  Request request_;
  Response response_;
  LocalSession session_;
  Server server_{"/srv/www", "/", [this](std::string_view id) -> std::unique_ptr<HostObject> {
                   if (!text::EqualsIgnoreCase(id.substr(0, 5), "test.")) return nullptr;
                   return std::make_unique<Recorder>(std::string(id), journal_);
                 }};
  data::ConnectionPool pool_{"/srv/www"};
};

TEST_F(HostPageRunnerTest, WritesTextAndStoresValuesInOrder) {
  EXPECT_EQ(
      Run("A<%Response.Write(\"B\") : Session(\"K\") = \"v\" : Application(\"D\") = \"d\"%>C"), "");
  EXPECT_EQ(response_.Body(), "ABC");
  EXPECT_EQ(session_.Get("k"), "v");
  EXPECT_EQ(application_.Get("d"), "d");
}

TEST_F(HostPageRunnerTest, StartsCallsAndEndsObjectsInCreationOrder) {
  EXPECT_EQ(Run("<%Set a = Server.CreateObject(\"test.one\")\nSet b = "
                "Server.CreateObject(\"Test.Two\")\nA.go : b.GO()%>"),
            "");
  EXPECT_EQ(journal_, (std::vector<std::string>{"test.one.start", "Test.Two.start", "test.one.go",
                                                "Test.Two.go", "test.one.end", "Test.Two.end"}));
}

TEST_F(HostPageRunnerTest, StopsAfterTheResponseEndsButStillEndsObjects) {
  EXPECT_EQ(Run("<%Set a = Server.CreateObject(\"test.redirector\")%>after<%a.Go%>"), "");
  EXPECT_EQ(journal_, (std::vector<std::string>{"test.redirector.start", "test.redirector.end"}));
  EXPECT_EQ(response_.Status(), 302);
  EXPECT_EQ(response_.Body(), "");

  response_ = Response();
  journal_.clear();
  EXPECT_EQ(Run("<%Response.Redirect(\"/x\")%><%Set a = Server.CreateObject(\"test.one\")%>"), "");
  EXPECT_TRUE(journal_.empty());
  EXPECT_EQ(response_.Location(), "/x");
}

TEST_F(HostPageRunnerTest, EndsEveryObjectWhenSomethingFailsAndRethrowsTheFirstFailure) {
  struct Case {
    const char* source;
    const char* error;  // a part of what the run throws
    std::vector<std::string> journal;
    std::size_t reports;
  };
  const Case cases[] = {
      {"<%Set a = Server.CreateObject(\"test.one\")\nSet b = Server.CreateObject(\"nope.x\")%>",
       "/p.asp:2: ",
       {"test.one.start", "test.one.end"},
       0},
      {"<%Set a = Server.CreateObject(\"test.one\") : a.Missing%>",
       "has no operation 'Missing'",
       {"test.one.start", "test.one.end"},
       0},
      {"<%b.Go%>", "'b' is not an object", {}, 0},
      {"<%Set a = Server.CreateObject(\"test.failstart\")%>",
       "start failed",
       {"test.failstart.start", "test.failstart.end"},
       0},
      {"<%Set a = Server.CreateObject(\"test.failend\") : Set b = "
       "Server.CreateObject(\"test.one\")%>",
       "end failed",
       {"test.failend.start", "test.one.start", "test.failend.end", "test.one.end"},
       0},
      {"<%Set a = Server.CreateObject(\"test.failend\") : a.Boom%>",
       "bad value",
       {"test.failend.start", "test.failend.end"},
       1},
  };
  for (const auto& c : cases) {
    journal_.clear();
    reports_.clear();
    EXPECT_NE(Run(c.source).find(c.error), std::string::npos) << c.source;
    EXPECT_EQ(journal_, c.journal) << c.source;
    EXPECT_EQ(reports_.size(), c.reports) << c.source;
  }
}

TEST_F(HostPageRunnerTest, KeepsTheErrorKindOfAFailingOperation) {
  const HostPage page = ParseHostPage("<%Set a = Server.CreateObject(\"test.x\") : a.Boom%>", "p");
  ScriptingContext context{application_, request_, response_, session_, server_, pool_};
  EXPECT_THROW(RunHostPage(page, context, {}), RequestError);
}

}  // namespace
}  // namespace host
