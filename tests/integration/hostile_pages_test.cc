// Hostile page requests on loopback, one table per weakness: a flood of wrong
// passwords at the visitor login, guestbook posts for members that do not exist
// or with fields the form does not have, and "$" in data, which a WAP gateway
// reads as the start of a WML variable reference.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::FormEncode;
using testing_support::HttpClient;
using testing_support::HttpResponse;

constexpr const char *kWml = "text/vnd.wap.wml";
constexpr const char *kXhtml = "application/xhtml+xml";
const std::string kDemo = "userid=1&username=demo&siteid=1";

class HostilePages : public ::testing::Test {
 protected:
  HostilePages() {
    site_.ExecuteFile(std::string(WAPSITE_SOURCE_DIR) + "/tests/data/edge_sites.sql");
  }
  HttpResponse Post(const std::string &target, const std::string &form, const char *accept = kWml) {
    return client_.Post(target, form, {{"Accept", accept}});
  }

  testing_support::TempDir dir_;
  testing_support::DemoRoot site_{dir_.path() / "site"};
  testing_support::ServerProcess server_{site_.Path(), {"--domain", "http://m.example"}};
  HttpClient client_{server_.Port()};
};

TEST_F(HostilePages, FailedLoginsAreThrottledPerNameAndPerAddress) {
  const struct {
    const char *name;
    const char *password;
    int times;
    int status;           // 429: refused without checking the password
    int max_retry_after;  // seconds, for a 429
  } steps[] = {
      {"member", "wrong", 4, 200, 0},
      {"member", "wap123", 1, 302, 0},  // a success forgets the name's failures
      {"member", "wrong", 5, 200, 0},
      {"member", "wap123", 1, 429, 300},  // 5 failures of the name within 5 minutes
      {"nobody", "x", 1, 200, 0},
      {"somebody", "x", 1, 429, 60},  // 10 failures from the address within a minute
  };
  for (const auto &step : steps) {
    for (int i = 0; i < step.times; ++i) {
      SCOPED_TRACE(std::string(step.name) + "/" + step.password + " #" + std::to_string(i));
      const HttpResponse r =
          Post("/wap/checklogin.asp?" + kDemo,
               FormEncode({{"username", step.name}, {"password", step.password}}));
      ASSERT_EQ(r.status, step.status) << r.body;
      if (step.status != 429) continue;
      const int retry_after = std::stoi(r.Header("Retry-After").value_or("0"));
      EXPECT_GT(retry_after, step.max_retry_after - 30);
      EXPECT_LE(retry_after, step.max_retry_after);
      EXPECT_EQ(r.body.find('\n'), std::string::npos) << r.body;
      EXPECT_TRUE(r.Headers("Set-Cookie").empty());
    }
  }
}

TEST_F(HostilePages, GuestbookPostsForNoMemberOrWithForeignFieldsStoreNothing) {
  const std::string message = FormEncode({{"lyr", "n"}, {"title", "t"}, {"content", "c"}});
  const struct {
    std::string userid;
    std::string form;
    int status;
    const char *reason;
  } rows[] = {
      {"999999", message, 404, "no such member site"},
      {"-5", message, 404, "no such member site"},
      {"0", message, 404, "no such member site"},
      {"3", message, 404, "no such member site"},  // classes, but no settings: no owner
      {"1", message + "&junk=" + std::string(900'000, 'x'), 400, "unexpected form field"},
      {"1", message + "&submit=1", 400, "unexpected form field"},
      {"999999", "junk=1", 400, "unexpected form field"},
  };
  const auto stored = [&] { return site_.Column("select count(*) from wap_lyb").at(0); };
  const std::string before = stored();
  for (const auto &row : rows) {
    SCOPED_TRACE(row.userid + " " + row.form.substr(0, 60));
    const HttpResponse r =
        Post("/wap/newly.asp?userid=" + row.userid + "&username=u&siteid=1", row.form);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.body, row.reason);
  }
  EXPECT_EQ(stored(), before);
  // The form itself is unchanged for a member: a good post is stored, a bad one
  // shown again.
  EXPECT_EQ(Post("/wap/newly.asp?" + kDemo, message).status, 302);
  EXPECT_EQ(Post("/wap/newly.asp?" + kDemo, "lyr=n").status, 200);
}

// Site 6 of the edge data holds "$" in every kind of stored text; the request
// adds one in the user name. In WML only "$$" may remain; XHTML shows the texts
// as they are.
TEST_F(HostilePages, EveryDollarFromDataReachesAWmlHandsetAsADollar) {
  const std::string site = "userid=6&username=%24(password)&siteid=%24";
  const std::vector<std::string> pages = {
      "index.asp?" + site,
      "newslist.asp?" + site + "&id=1101",
      "showcontent.asp?" + site + "&id=1102",
      "showcontent.asp?" + site + "&id=9999&classname=%24(x)",
      "shownews.asp?" + site + "&id=1101",
      "productlist.asp?" + site,
      "lyb.asp?" + site,
  };
  for (const std::string &page : pages) {
    SCOPED_TRACE(page);
    const HttpResponse wml = client_.Get("/wap/" + page, {{"Accept", kWml}});
    ASSERT_EQ(wml.status, 200);
    EXPECT_TRUE(testing_support::ValidWml(wml.body));
    std::string lone = wml.body;
    for (std::size_t at; (at = lone.find("$$")) != std::string::npos;) lone.erase(at, 2);
    EXPECT_EQ(lone.find('$'), std::string::npos) << wml.body;
    EXPECT_EQ(lone.find("&#x24;"), std::string::npos) << wml.body;
    EXPECT_EQ(lone.find("&#36;"), std::string::npos) << wml.body;
    EXPECT_NE(wml.body.find("$$"), std::string::npos) << wml.body;
    const HttpResponse xhtml = client_.Get("/wap/" + page, {{"Accept", kXhtml}});
    EXPECT_EQ(xhtml.body.find("$$"), std::string::npos) << xhtml.body;
  }
}

}  // namespace
