// The back office over HTTP: the sign-in (one answer for every refusal, throttling, the cookie),
// the guard of changing requests (form token, Origin), owners kept to their own rows, and the
// headers of every reply.
#include "support/back_office.h"

#include <gtest/gtest.h>

#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

// Every back-office reply, a page, a redirect or a refusal, signed in or not, forbids framing and
// content-type guessing and allows no script and no foreign loads.
void ExpectOfficeHeaders(const HttpResponse& answer, const std::string& what) {
  EXPECT_EQ(answer.Headers("X-Frame-Options"), std::vector<std::string>{"DENY"}) << what;
  EXPECT_EQ(answer.Headers("X-Content-Type-Options"), std::vector<std::string>{"nosniff"}) << what;
  const std::vector<std::string> policy = answer.Headers("Content-Security-Policy");
  ASSERT_EQ(policy.size(), 1u) << what;
  for (const char* part :
       {"default-src 'self'", "frame-ancestors 'none'", "script-src 'none'", "form-action 'self'"})
    EXPECT_NE(policy[0].find(part), std::string::npos) << what << ": " << policy[0];
}

class BackOffice : public testing::Test {
 protected:
  std::string DemoClass(const std::string& id) const {
    const auto rows = site_.Column("select classname||'/'||sortid from wap_classes where id=" + id);
    return rows.empty() ? "deleted" : rows[0];
  }

  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
};

TEST_F(BackOffice, SignInRefusesAlikeThrottlesAndSetsAStrictCookie) {
  ASSERT_EQ(AddOwner(site_.Path(), "shop"), "2\n");
  ASSERT_EQ(AddOwner(site_.Path(), "gone"), "3\n");
  ASSERT_EQ(RunWapsite({"member", "disable", "--root", site_.Path().string(), "gone"}).exit_code,
            0);
  ServerProcess server(site_.Path(), {"--secure-cookies"});
  HttpClient browser(server.Port());
  browser.UseCookies(true);
  const HttpResponse form = browser.Get("/admin/");
  EXPECT_NE(form.body.find("name=\"password\""), std::string::npos);
  EXPECT_TRUE(form.Headers("Set-Cookie").empty());  // nothing stored, no session
  ExpectOfficeHeaders(form, "the sign-in form");
  const struct {
    const char* name;
    const char* password;
  } refused[] = {
      {"demo", "wrong"}, {"nobody", "demo"}, {"gone", "wrong"}, {"", ""}, {"DEMO", "demo"}};
  for (const auto& r : refused) {
    const HttpResponse answer =
        browser.Post("/admin/", FormEncode({{"username", r.name}, {"password", r.password}}));
    EXPECT_EQ(answer.status, 200) << r.name;
    EXPECT_NE(answer.body.find("用户名或密码不正确"), std::string::npos) << r.name;
    EXPECT_TRUE(answer.Headers("Set-Cookie").empty()) << r.name;
    ExpectOfficeHeaders(answer, r.name);
  }
  // A disabled owner who typed the right password is told why.
  const HttpResponse disabled =
      browser.Post("/admin/", FormEncode({{"username", "gone"}, {"password", "gone-pw"}}));
  EXPECT_NE(disabled.body.find("此账号已被停用"), std::string::npos) << disabled.body;
  EXPECT_TRUE(disabled.Headers("Set-Cookie").empty());
  // A foreign Origin is refused before the password is looked at.
  EXPECT_EQ(
      browser.Post("/admin/", "username=demo&password=demo", {{"Origin", "http://evil.example"}})
          .status,
      403);

  const HttpResponse in =
      browser.Post("/admin/", "username=demo&password=demo&back=%2Fadmin%2Fsettings.asp");
  EXPECT_EQ(in.status, 302);
  EXPECT_EQ(in.Header("Location"), "/admin/settings.asp");
  const std::string cookie = in.Header("Set-Cookie").value_or("");
  EXPECT_TRUE(cookie.starts_with("WAPSESSIONID=") &&
              cookie.ends_with("; Path=/; HttpOnly; SameSite=Lax; Secure"))
      << cookie;
  EXPECT_NE(browser.Get("/admin/").body.find("站点概览"), std::string::npos);

  // 5 failures for one name within 5 minutes hold the name (even with its password); 10 from
  // one address within a minute hold the address. A fresh server counts from nothing.
  ServerProcess fresh(site_.Path());
  HttpClient guesser(fresh.Port());
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(guesser.Post("/admin/", "username=shop&password=x").status, 200);
  const HttpResponse held = guesser.Post("/admin/", "username=shop&password=shop-pw");
  EXPECT_EQ(held.status, 429);
  EXPECT_NE(held.body.find("登录失败的次数太多"), std::string::npos);  // the sign-in form, saying
  EXPECT_NE(held.body.find("分钟后再试"), std::string::npos);          // when to try again
  EXPECT_GT(std::stoi(held.Header("Retry-After").value_or("0")), 0);
  EXPECT_EQ(guesser.Post("/admin/", "username=demo&password=demo").status, 302);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(guesser.Post("/admin/", "username=x" + std::to_string(i) + "&password=x").status,
              200);
  EXPECT_EQ(HttpClient(fresh.Port()).Post("/admin/", "username=demo&password=demo").status, 429);
}

TEST_F(BackOffice, ChangesNeedTheTokenAndThisSitesOriginAndReachOnlyOwnRows) {
  ASSERT_EQ(AddOwner(site_.Path(), "shop"), "2\n");
  ServerProcess server(site_.Path());
  HttpClient signed_out(server.Port());
  for (const char* path : {"/admin/class.asp", "/admin/settings.asp"}) {
    const HttpResponse r =
        signed_out.Post(path, "submit=%E6%96%B0%E5%BB%BA&classname=x&type=1&sortid=1");
    EXPECT_EQ(r.status, 302) << path;
    EXPECT_EQ(r.Header("Location"), "/admin/?back=" + PercentEncode(path)) << path;
    ExpectOfficeHeaders(r, path);
  }
  // The visitors' handset pages are not the back office's.
  EXPECT_TRUE(signed_out.Get("/wap/index.asp?userid=1&username=demo&siteid=1")
                  .Headers("X-Frame-Options")
                  .empty());
  HttpClient demo(server.Port()), shop(server.Port());
  demo.UseCookies(true);
  shop.UseCookies(true);
  const std::string token = SignInOwner(demo, "demo", "demo");
  const std::string shop_token = SignInOwner(shop, "shop", "shop-pw");
  ASSERT_EQ(token.size(), 32u);
  ASSERT_NE(token, shop_token);
  const std::string rename =
      "submit=%E4%BF%9D%E5%AD%98&id=1&edtclassname=Renamed&edtsortid=9&token=";
  const std::string origin = "http://127.0.0.1";  // the test client's Host names no port
  const std::string kept = "关于我们/1", evil = "http://evil.example";
  const struct {
    const char* what;
    HttpClient* client;
    std::string target, form, origin;  // no form: a GET; no origin: no Origin header
    int status;
    std::string class1;  // class 1 afterwards
  } cases[] = {
      {"no token", &demo, "/admin/class.asp", rename, "", 403, kept},
      {"another owner's token", &demo, "/admin/class.asp", rename + shop_token, "", 403, kept},
      {"a foreign origin", &demo, "/admin/class.asp", rename + token, evil, 403, kept},
      {"delete by query string alone", &demo, "/admin/class.asp?act=del&id=1", "", "", 403, kept},
      {"site creation without token", &demo, "/createsite.asp", "x=1", "", 403, kept},
      {"another owner renames", &shop, "/admin/class.asp", rename + shop_token, "", 404, kept},
      {"another owner deletes", &shop, "/admin/class.asp?act=del&id=1", "token=" + shop_token, "",
       404, kept},
      {"a sort order that is no number", &demo, "/admin/class.asp",
       "submit=%E4%BF%9D%E5%AD%98&id=1&edtclassname=A&edtsortid=abc&token=" + token, "", 400, kept},
      {"the preview", &demo, "/admin/preview.asp?markup=xhtml&of=index", "", "", 200, kept},
      {"full-width digits and minus", &demo, "/admin/class.asp",
       "submit=%E4%BF%9D%E5%AD%98&id=1&edtclassname=Renamed&edtsortid=%EF%BC%8D%EF%BC%91%EF%BC%92"
       "&token=" +
           token,
       "", 302, "Renamed/-12"},
      {"the owner, same origin", &demo, "/admin/class.asp", rename + token, origin, 302,
       "Renamed/9"},
      {"an id that is no whole number", &demo, "/admin/class.asp?act=del&id=1.4", "token=" + token,
       "", 404, "Renamed/9"},
      {"the owner deletes", &demo, "/admin/class.asp?act=del&id=1", "token=" + token, "", 302,
       "deleted"},
  };
  for (const auto& c : cases) {
    const Pairs headers = c.origin.empty() ? Pairs{} : Pairs{{"Origin", c.origin}};
    const HttpResponse r = c.form.empty() ? c.client->Get(c.target, headers)
                                          : c.client->Post(c.target, c.form, headers);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(DemoClass("1"), c.class1) << c.what;
    ExpectOfficeHeaders(r, c.what);
    if (r.status >= 400) {  // a refusal is the back office's own page, saying why
      for (const char* part : {"<nav>", "lang=\"zh-CN\"", "name=\"viewport\"", "class=\"error\""})
        EXPECT_NE(r.body.find(part), std::string::npos) << c.what << ": " << part;
    }
  }
  // The trail holds the class changes that happened, and nothing for the refused ones.
  const std::string trail =
      "select action||' '||target from wap_audit where action like '%栏目' and userid=";
  EXPECT_EQ(site_.Column(trail + "2"), std::vector<std::string>{});
  EXPECT_EQ(site_.Column(trail + "1 order by id"),
            (std::vector<std::string>{"修改栏目 栏目“Renamed”", "修改栏目 栏目“Renamed”",
                                      "删除栏目 栏目“Renamed”"}));
  EXPECT_EQ(
      demo.Post("/admin/class.asp",
                "submit=%E6%96%B0%E5%BB%BA&classname=%3Cscript%3E&type=1&sortid=1&token=" + token)
          .status,
      302);
  EXPECT_NE(demo.Get("/admin/class.asp").body.find("value=\"&lt;script&gt;\""), std::string::npos);
  const std::string dashboard = demo.Get("/admin/").body;
  EXPECT_EQ(dashboard.find("<script>"), std::string::npos);
  EXPECT_NE(dashboard.find("删除栏目"), std::string::npos);
  EXPECT_EQ(dashboard.find("shop"), std::string::npos);  // another owner's audit rows stay theirs

  // Settings: a bad number is explained and not stored; the password needs the current one.
  const HttpResponse bad =
      demo.Post("/admin/settings.asp", "act=phone&dircall=call+me&token=" + token);
  EXPECT_NE(bad.body.find("电话号码只能包含"), std::string::npos);
  EXPECT_EQ(demo.Post("/admin/settings.asp", "act=phone&dircall=%2B86+10-1&token=" + token).status,
            302);
  EXPECT_EQ(site_.Column("select dircall from wap_setting where userid=1"),
            std::vector<std::string>{"+86 10-1"});
  for (const char* current : {"current=x&", "current=&", ""})  // wrong, empty, left out
    EXPECT_NE(demo.Post("/admin/settings.asp", "act=password&" + std::string(current) +
                                                   "password=n&confirm=n&token=" + token)
                  .body.find("当前密码不正确"),
              std::string::npos)
        << current;
  EXPECT_EQ(demo.Post("/admin/settings.asp",
                      "act=password&current=demo&password=n2&confirm=n2&token=" + token)
                .status,
            302);

  // Signing out needs the token too, and ends the sign-in.
  EXPECT_EQ(demo.Post("/admin/signout.asp", "token=x").status, 403);
  EXPECT_EQ(demo.Post("/admin/signout.asp", "token=" + token).Header("Location"), "/admin/");
  EXPECT_EQ(demo.Get("/admin/class.asp").status, 302);
  EXPECT_EQ(demo.Post("/admin/", "username=demo&password=demo").status, 200);  // the old password
  EXPECT_EQ(demo.Post("/admin/", "username=demo&password=n2").status, 302);
}

}  // namespace
