// Member login and logout over HTTP with a cookie-keeping client, on the demo site (member
// "member", password "wap123", of site 1).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/demo_root.h"
#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "unit/wap/expected_page.h"

namespace {

using testing_support::FormEncode;
using testing_support::HttpClient;
using testing_support::HttpResponse;

constexpr const char* kWml = "text/vnd.wap.wml";
const std::string kSite = "userid=1&username=demo&siteid=1";
const std::string kSuffix = "userid=1&amp;username=demo&amp;siteid=1";

class DemoLogin : public ::testing::Test {
 protected:
  void SetUp() override {
    site_ = std::make_unique<testing_support::DemoRoot>(root_.path() / "site");
    server_ = std::make_unique<testing_support::ServerProcess>(
        site_->Path(), std::vector<std::string>{"--domain", "http://m.example"});
    client_ = std::make_unique<HttpClient>("127.0.0.1", server_->Port());
    client_->UseCookies(true);
  }
  void TearDown() override {
    client_.reset();
    if (server_) {
      EXPECT_EQ(server_->Stop(), 0);
    }
  }

  HttpResponse Login(const std::string& name, const std::string& password,
                     const std::string& site = kSite) {
    return client_->Post("/wap/checklogin.asp?" + site,
                         FormEncode({{"username", name}, {"password", password}}),
                         "application/x-www-form-urlencoded", {{"Accept", kWml}});
  }
  std::string SessionCookie() const {
    for (const auto& [name, value] : client_->Cookies()) {
      if (name == "WAPSESSIONID") return value;
    }
    return {};
  }

  testing_support::TempDir root_;
  std::unique_ptr<testing_support::DemoRoot> site_;
  std::unique_ptr<testing_support::ServerProcess> server_;
  std::unique_ptr<HttpClient> client_;
};

TEST_F(DemoLogin, GoodLoginGoesHomeWithANewSession) {
  // Logout stores only empty values: no session for a visitor who has none.
  const HttpResponse out = client_->Get("/wap/logout.asp?" + kSite, {{"Accept", kWml}});
  EXPECT_EQ(out.status, 302);
  EXPECT_EQ(out.Header("Location"), "http://m.example/wap/index.asp?" + kSite);
  EXPECT_TRUE(SessionCookie().empty());
  // A first login gives the visitor a session; the next one moves it to a new id.
  ASSERT_EQ(Login("member", "wap123").status, 302);
  const std::string before = SessionCookie();
  ASSERT_FALSE(before.empty());

  const HttpResponse in = Login("member", "wap123");
  EXPECT_EQ(in.status, 302);
  EXPECT_EQ(in.Header("Location"), "http://m.example/wap/index.asp?" + kSite);
  EXPECT_FALSE(SessionCookie().empty());
  EXPECT_NE(SessionCookie(), before);

  const HttpResponse home = client_->Get("/wap/index.asp?" + kSite, {{"Accept", kWml}});
  EXPECT_EQ(home.status, 200);
  EXPECT_TRUE(testing_support::ValidWml(home.body));
}

TEST_F(DemoLogin, FailedLoginsShowTheFailurePage) {
  const std::string expected = wap::page_test::WmlPage(
      "蓝杉工坊", "demo",
      "<p>&#x767B;&#x5F55;&#x5931;&#x8D25;&#xFF0C;&#x8BF7;&#x91CD;&#x65B0;&#x767B;&#x5F55;"
      "&#x3002;</p>" +
          wap::page_test::HomeLink(kSuffix),
      "http://m.example");
  for (const auto& [name, password, site] : {
           std::tuple<std::string, std::string, std::string>{"member", "wrong", kSite},
           {"member", "wap123", "userid=2&username=demo&siteid=1"},
           {"x' or '1'='1", "x' or '1'='1", kSite},
           {"member", "' or ''='", kSite},
       }) {
    const HttpResponse r = Login(name, password, site);
    EXPECT_EQ(r.status, 200) << name;
    const std::string want =
        site == kSite ? expected
                      : wap::page_test::WmlPage(
                            "蓝杉工坊", "demo",
                            "<p>&#x767B;&#x5F55;&#x5931;&#x8D25;&#xFF0C;&#x8BF7;&#x91CD;&#x65B0;"
                            "&#x767B;&#x5F55;&#x3002;</p>" +
                                wap::page_test::HomeLink("userid=2&amp;username=demo&amp;siteid=1"),
                            "http://m.example");
    EXPECT_EQ(r.body, want) << name;
    EXPECT_TRUE(testing_support::ValidWml(r.body));
  }
  EXPECT_TRUE(SessionCookie().empty());  // a failed login stores nothing
}

TEST_F(DemoLogin, BadUseridIsABadRequest) {
  EXPECT_EQ(Login("member", "wap123", "userid=1x&username=demo").status, 400);
}

}  // namespace
