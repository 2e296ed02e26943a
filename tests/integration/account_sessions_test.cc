// Sessions that end with their account: disabling an owner, an owner's new password (the settings
// page or `wapsite member passwd`), a site member removed or given a new password end that
// account's other sessions at once, on the other instance too, with either session store; the
// session that made the change stays signed in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/back_office.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

// Whether `browser` is signed in: a back-office page answers rather than sending it to sign in.
bool SignedIn(HttpClient& browser) { return browser.Get("/admin/settings.asp").status == 200; }

// The session store of both instances: "memory" or "database".
class AccountSessions : public testing::TestWithParam<std::string> {
 protected:
  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
};

TEST_P(AccountSessions, OwnerSignInsEndWithTheAccountOnBothInstances) {
  ServerProcess a(site_.Path(), {"--sessions", GetParam()});
  ServerProcess b(site_.Path(), {"--sessions", GetParam()});
  const auto member = [&](const std::string& command, const char* input = nullptr) {
    std::vector<std::string> args = {"member", command, "--root", site_.Path().string(), "demo"};
    if (input) args.push_back("--password-stdin");
    EXPECT_EQ(RunWapsite(args, input ? "echo " + std::string(input) + " |" : "").exit_code, 0)
        << command;
  };
  const struct {
    const char* what;      // the change; the session making it is signed in on a
    const char* password;  // afterwards
  } cases[] = {{"disable, enable", "demo"}, {"passwd", "cli-pw"}, {"settings", "page-pw"}};
  std::string password = "demo";
  for (const auto& c : cases) {
    HttpClient changer(a.Port()), other(b.Port()), bystander(b.Port());
    for (HttpClient* browser : {&changer, &other, &bystander}) browser->UseCookies(true);
    const std::string token = SignInOwner(changer, "demo", password);
    SignInOwner(other, "demo", password);
    const std::string shop = std::string("shop") + c.password[0];
    ASSERT_FALSE(AddOwner(site_.Path(), shop).empty()) << c.what;
    SignInOwner(bystander, shop, shop + "-pw");
    ASSERT_TRUE(SignedIn(other)) << c.what;
    const bool on_page = std::string(c.what) == "settings";
    if (on_page) {
      EXPECT_EQ(changer
                    .Post("/admin/settings.asp", FormEncode({{"act", "password"},
                                                             {"current", password},
                                                             {"password", c.password},
                                                             {"confirm", c.password},
                                                             {"token", token}}))
                    .status,
                302);
    } else if (std::string(c.what) == "passwd") {
      member("passwd", c.password);
    } else {
      member("disable");
      member("enable");
    }
    password = c.password;
    EXPECT_FALSE(SignedIn(other)) << c.what;
    EXPECT_EQ(SignedIn(changer), on_page) << c.what;
    EXPECT_TRUE(SignedIn(bystander)) << c.what;  // another owner's sign-in is its own
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, AccountSessions, testing::Values("memory", "database"));

// A member's login as the database store holds it (the memory store cannot be looked into from
// outside; it runs the same check, see tests/unit/wap/framework/member_login_test.cc).
TEST(MemberLogins, EndWhenTheMemberIsRemovedOrGivenANewPasswordOnEitherInstance) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  ServerProcess a(site.Path(), {"--sessions", "database"});
  ServerProcess b(site.Path(), {"--sessions", "database"});
  HttpClient owner(a.Port());
  owner.UseCookies(true);
  const std::string token = SignInOwner(owner, "demo", "demo"),
                    demo = "?userid=1&username=demo&siteid=1";
  const auto change = [&](const std::string& form) {
    EXPECT_EQ(owner.Post("/admin/members.asp", form + "&token=" + token).status, 302) << form;
  };
  const auto logins = [&](const std::string& name) {
    return site
        .Column(
            "select count(*) from wap_session_values where name='membername' and "
            "value='" +
            name + "'")
        .at(0);
  };
  const auto log_in = [&](HttpClient& visitor, const std::string& name, const char* password) {
    visitor.UseCookies(true);
    const std::string form = FormEncode({{"username", name}, {"password", password}});
    EXPECT_EQ(visitor.Post("/wap/checklogin.asp" + demo, form).status, 302) << name;
  };
  change("act=add&m_name=other&password=other-pw");
  HttpClient bystander(b.Port());
  log_in(bystander, "other", "other-pw");
  const std::string id = site.Column("select id from web_member where m_name='member'").at(0);
  const struct {
    const char* password;  // of the member's login
    std::string form;      // the owner's change
  } cases[] = {{"wap123", "act=password&password=fresh&id=" + id},
               {"fresh", "act=delete&id=" + id}};
  for (const auto& c : cases) {
    HttpClient visitor(b.Port());
    log_in(visitor, "member", c.password);
    ASSERT_EQ(logins("member"), "1") << c.form;
    change(c.form);
    for (HttpClient* client : {&visitor, &bystander})
      EXPECT_EQ(client->Get("/wap/index.asp" + demo).status, 200) << c.form;
    EXPECT_EQ(logins("member"), "0") << c.form;
    EXPECT_EQ(logins("other"), "1") << c.form;
  }
}

}  // namespace
