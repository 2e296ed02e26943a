// Sessions that end with their account: disabling an owner, an owner's new password (the settings
// page or `wapsite member passwd`), a site member removed or given a new password end that
// account's other sessions at once, on the other instance too, with either session store; the
// session that made the change stays signed in.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/back_office.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

// Whether `browser` is signed in to the back office: a page of it answers rather than sending the
// browser to the sign-in form.
bool SignedIn(HttpClient& browser) { return browser.Get("/admin/settings.asp").status == 200; }

// The session store of both instances: "memory" or "database".
class AccountSessions : public testing::TestWithParam<std::string> {
 protected:
  std::vector<std::string> Args() const { return {"--sessions", GetParam()}; }

  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
};

TEST_P(AccountSessions, OwnerSignInsEndWithTheAccountOnBothInstances) {
  ServerProcess a(site_.Path(), Args());
  ServerProcess b(site_.Path(), Args());
  const std::string root = site_.Path().string();
  std::string password = "demo";
  const auto member = [&](const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> command = {"member"};
    command.insert(command.end(), args.begin(), args.end());
    command.insert(command.end(), {"--root", root, "demo"});
    EXPECT_EQ(RunWapsite(command, input.empty() ? "" : "echo " + input + " |").exit_code, 0)
        << args[0];
  };
  const struct {
    const char* what;
    // Makes the change through `changer`, signed in on instance a with form token `token`.
    std::function<void(HttpClient& changer, const std::string& token)> change;
    bool changer_stays;
  } cases[] = {
      {"disabled (and enabled again)",
       [&](HttpClient&, const std::string&) {
         member({"disable"});
         member({"enable"});
       },
       false},
      {"new password by member passwd",
       [&](HttpClient&, const std::string&) {
         password = "cli-pw";
         member({"passwd", "--password-stdin"}, password);
       },
       false},
      {"new password on the settings page",
       [&](HttpClient& changer, const std::string& token) {
         const std::string fresh = "page-pw";
         EXPECT_EQ(changer
                       .Post("/admin/settings.asp",
                             FormEncode({{"act", "password"},
                                         {"current", password},
                                         {"password", fresh},
                                         {"confirm", fresh},
                                         {"token", token}}))
                       .status,
                   302);
         password = fresh;
       },
       true},
  };
  int shops = 0;
  for (const auto& c : cases) {
    HttpClient changer(a.Port()), other(b.Port()), bystander(b.Port());
    for (HttpClient* browser : {&changer, &other, &bystander}) browser->UseCookies(true);
    const std::string token = SignInOwner(changer, "demo", password);
    SignInOwner(other, "demo", password);
    const std::string shop = "shop" + std::to_string(++shops);
    ASSERT_FALSE(AddOwner(site_.Path(), shop).empty()) << c.what;
    SignInOwner(bystander, shop, shop + "-pw");
    ASSERT_TRUE(SignedIn(other)) << c.what;
    c.change(changer, token);
    EXPECT_FALSE(SignedIn(other)) << c.what;
    EXPECT_EQ(SignedIn(changer), c.changer_stays) << c.what;
    EXPECT_TRUE(SignedIn(bystander)) << c.what;  // another owner's sign-in is its own
  }

  // A disabled owner who types the right password is told so; the wrong one is refused as ever.
  member({"disable"});
  HttpClient browser(b.Port());
  const HttpResponse right =
      browser.Post("/admin/", FormEncode({{"username", "demo"}, {"password", password}}));
  EXPECT_NE(right.body.find("此账号已被停用"), std::string::npos) << right.body;
  const HttpResponse wrong =
      browser.Post("/admin/", FormEncode({{"username", "demo"}, {"password", "nope"}}));
  EXPECT_NE(wrong.body.find("用户名或密码不正确"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Stores, AccountSessions, testing::Values("memory", "database"));

// A member's login as the session store holds it (only the database store can be looked into
// from outside; the memory store runs the same check, see member_login_test.cc).
TEST(MemberLogins, EndWhenTheMemberIsRemovedOrGivenANewPasswordOnEitherInstance) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  ServerProcess a(site.Path(), {"--sessions", "database"});
  ServerProcess b(site.Path(), {"--sessions", "database"});
  HttpClient owner(a.Port());
  owner.UseCookies(true);
  const std::string token = SignInOwner(owner, "demo", "demo");
  const auto change = [&](const std::string& form) {
    EXPECT_EQ(owner.Post("/admin/members.asp", form + "&token=" + token).status, 302) << form;
  };
  change("act=add&m_name=other&password=other-pw");
  const std::string id = site.Column("select id from web_member where m_name='member'").at(0);
  const auto logged_in = [&](const std::string& name) {
    return site.Column("select count(*) from wap_session_values where name='membername' and "
                       "value='" +
                       name + "'")
        .at(0);
  };
  const std::string demo = "userid=1&username=demo&siteid=1";
  const auto log_in = [&](HttpClient& visitor, const std::string& name,
                          const std::string& password) {
    visitor.UseCookies(true);
    EXPECT_EQ(visitor
                  .Post("/wap/checklogin.asp?" + demo,
                        FormEncode({{"username", name}, {"password", password}}))
                  .status,
              302);
  };
  HttpClient bystander(b.Port());
  log_in(bystander, "other", "other-pw");
  const struct {
    const char* what;
    const char* password;  // of the member's login
    std::string form;      // the owner's change
  } cases[] = {
      {"new password", "wap123", "act=password&id=" + id + "&password=fresh"},
      {"removed", "fresh", "act=delete&id=" + id},
  };
  for (const auto& c : cases) {
    HttpClient visitor(b.Port());
    log_in(visitor, "member", c.password);
    ASSERT_EQ(logged_in("member"), "1") << c.what;
    change(c.form);
    EXPECT_EQ(visitor.Get("/wap/index.asp?" + demo).status, 200) << c.what;
    EXPECT_EQ(logged_in("member"), "0") << c.what;
    EXPECT_EQ(bystander.Get("/wap/index.asp?" + demo).status, 200) << c.what;
    EXPECT_EQ(logged_in("other"), "1") << c.what;
  }
}

}  // namespace
