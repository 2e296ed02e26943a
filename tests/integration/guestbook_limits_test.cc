// Guestbook posting limits against the real server: one client network (an IPv4 /24) shares one
// allowance however many addresses it rotates through; a site takes at most its ceiling from all
// networks together, and its owner's dashboard then says when the ceiling was reached.
#include <gtest/gtest.h>

#include "support/back_office.h"
#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

const std::string kNewMessage = "/wap/newly.asp?userid=1&username=demo&siteid=1";

// Posts a message from `from`; the status and body of the answer.
HttpResponse Post(int port, const char* from, const std::string& content,
                  const std::string& accept = "text/vnd.wap.wml") {
  const std::string form = FormEncode({{"lyr", "n"}, {"title", "t"}, {"content", content}});
  return PostFrom(port, from, kNewMessage, form, "Accept: " + accept + "\r\n");
}

// A refused post: the form again as typed, saying when a message may be posted.
void ExpectToldToWait(const HttpResponse& r, const std::string& content) {
  EXPECT_EQ(r.status, 429);
  const int retry_after = std::stoi(r.Header("Retry-After").value_or("0"));
  EXPECT_TRUE(retry_after > 500 && retry_after <= 600) << retry_after;
  EXPECT_TRUE(ValidPage(r.body));
  EXPECT_EQ(XPathString(r.body, "string((//p | //h:p)[normalize-space()][1])"),
            "留言太频繁，请10分钟后再试。");
  EXPECT_EQ(XPathString(r.body,
                        "string(//input[@name='content']/@value | "
                        "//h:textarea[@name='content'])"),
            content);
}

TEST(GuestbookLimits, ANetworkSharesOneAllowanceAndASiteHasACeiling) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  ServerProcess server(site.Path(), {"--guestbook-rate", "2", "--guestbook-site-rate", "5"});
  const struct {
    const char* from;
    int status;
  } posts[] = {
      {"127.0.1.1", 302},
      {"127.0.1.2", 302},
      {"127.0.1.3", 429},  // the same /24: its allowance is used up
      {"127.0.2.1", 302},
      {"127.0.3.1", 302},
      {"127.0.4.1", 302},
      {"127.0.5.1", 429},  // a fresh network, but the site has taken 5 within 10 minutes
  };
  HttpClient owner(server.Port());
  owner.UseCookies(true);
  ASSERT_FALSE(SignInOwner(owner, "demo", "demo").empty());
  const std::string before = site.Column("select count(*) from wap_lyb where userid=1")[0];
  int n = 0;
  for (const auto& post : posts) {
    if (post.status == 429) {
      // Not yet: only a post refused by the site's ceiling is worth telling the owner.
      EXPECT_EQ(owner.Get("/admin/").body.find("全站留言上限"), std::string::npos) << post.from;
    }
    const HttpResponse r = Post(server.Port(), post.from, "m" + std::to_string(++n));
    ASSERT_EQ(r.status, post.status) << post.from << " " << r.body.substr(0, 200);
    if (r.status != 429) continue;
    ExpectToldToWait(r, "m" + std::to_string(n));
  }
  ExpectToldToWait(Post(server.Port(), "127.0.1.4", "x", "application/xhtml+xml"), "x");
  EXPECT_EQ(std::stoi(site.Column("select count(*) from wap_lyb where userid=1")[0]),
            std::stoi(before) + 5);
  EXPECT_NE(owner.Get("/admin/").body.find("全站留言上限"), std::string::npos);
}

}  // namespace
