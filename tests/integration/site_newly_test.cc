// The surrounding site's forms on the demo site over HTTP: a message posted to /wap/newly.asp shows
// up on the guestbook /wap/lyb.asp, and the login form leads to checklogin.asp.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/demo_root.h"
#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::FormEncode;
using testing_support::HttpClient;
using testing_support::HttpResponse;

constexpr const char* kWml = "text/vnd.wap.wml";
constexpr const char* kXhtml = "application/xhtml+xml";
const std::string kSite = "userid=1&username=demo&siteid=1";

class SiteForms : public ::testing::Test {
 protected:
  void SetUp() override {
    site_ = std::make_unique<testing_support::DemoRoot>(root_.path() / "site");
    server_ = std::make_unique<testing_support::ServerProcess>(
        site_->Path(), std::vector<std::string>{"--domain", "http://m.example"});
    client_ = std::make_unique<HttpClient>("127.0.0.1", server_->Port());
  }
  void TearDown() override {
    client_.reset();
    if (server_) {
      EXPECT_EQ(server_->Stop(), 0);
    }
  }

  testing_support::TempDir root_;
  std::unique_ptr<testing_support::DemoRoot> site_;
  std::unique_ptr<testing_support::ServerProcess> server_;
  std::unique_ptr<HttpClient> client_;
};

TEST_F(SiteForms, APostedMessageShowsUpOnTheGuestbook) {
  for (const char* accept : {kWml, kXhtml}) {
    const HttpResponse form = client_->Get("/wap/newly.asp?" + kSite, {{"Accept", accept}});
    EXPECT_EQ(form.status, 200);
    EXPECT_TRUE(testing_support::ValidPage(form.body)) << accept;
  }
  const HttpResponse posted = client_->Post(
      "/wap/newly.asp?" + kSite,
      FormEncode({{"lyr", "Ann & Bob"}, {"title", "Hello <there>"}, {"content", "It's 好茶"}}),
      "application/x-www-form-urlencoded", {{"Accept", kWml}});
  EXPECT_EQ(posted.status, 302);
  EXPECT_EQ(posted.Header("Location"), "http://m.example/wap/lyb.asp?" + kSite);

  const HttpResponse guestbook = client_->Get("/wap/lyb.asp?" + kSite, {{"Accept", kWml}});
  EXPECT_EQ(guestbook.status, 200);
  EXPECT_TRUE(testing_support::ValidWml(guestbook.body));
  EXPECT_NE(guestbook.body.find("<p>Ann &amp; Bob：Hello &lt;there&gt;<br />"), std::string::npos)
      << guestbook.body;
  EXPECT_NE(guestbook.body.find("It's 好茶"), std::string::npos);
}

TEST_F(SiteForms, AnInvalidPostIsShownAgainWithoutStoring) {
  const std::string before = client_->Get("/wap/lyb.asp?" + kSite, {{"Accept", kWml}}).body;
  const HttpResponse refused = client_->Post(
      "/wap/newly.asp?" + kSite, FormEncode({{"lyr", ""}, {"title", "t"}, {"content", "c"}}),
      "application/x-www-form-urlencoded", {{"Accept", kWml}});
  EXPECT_EQ(refused.status, 200);
  EXPECT_TRUE(testing_support::ValidWml(refused.body));
  EXPECT_EQ(client_->Get("/wap/lyb.asp?" + kSite, {{"Accept", kWml}}).body, before);

  const HttpResponse bad_site =
      client_->Post("/wap/newly.asp?userid=1%20or%201%3D1",
                    FormEncode({{"lyr", "a"}, {"title", "t"}, {"content", "c"}}));
  EXPECT_EQ(bad_site.status, 400);
}

TEST_F(SiteForms, TheLoginFormIsValidAndPostsToChecklogin) {
  for (const char* accept : {kWml, kXhtml}) {
    const HttpResponse form = client_->Get("/wap/login.asp?" + kSite, {{"Accept", accept}});
    EXPECT_EQ(form.status, 200);
    EXPECT_TRUE(testing_support::ValidPage(form.body)) << accept;
    EXPECT_NE(form.body.find("checklogin.asp?userid=1&amp;username=demo&amp;siteid=1"),
              std::string::npos);
  }
  const HttpResponse in =
      client_->Post("/wap/checklogin.asp?" + kSite,
                    FormEncode({{"username", "member"}, {"password", "wap123"}, {"Userid", "1"}}),
                    "application/x-www-form-urlencoded", {{"Accept", kWml}});
  EXPECT_EQ(in.status, 302);
}

}  // namespace
