// How the pages answer the values of a request, over HTTP on the demo site and the edge sites of
// tests/data/edge_sites.sql, one table per behaviour: 400 for bad numbers, the keyword filter,
// visitor login and its throttling, posting a message and hostile posts. Bodies the goldens pin
// byte for byte (paging edges and values that select or stay inside their attributes too) are not
// repeated here.
#include <gtest/gtest.h>

#include <regex>

#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

constexpr const char *kWml = "text/vnd.wap.wml, image/vnd.wap.wbmp, */*";
constexpr const char *kXhtml = "application/xhtml+xml, text/html;q=0.9, */*;q=0.8";
const std::string kDemo = "userid=1&username=demo&siteid=1";

// "?a=1&b=2" with every value percent-encoded.
std::string Query(const Pairs &pairs) {
  std::string q;
  for (const auto &[name, value] : pairs)
    q += (q.empty() ? "?" : "&") + name + "=" + PercentEncode(value);
  return q;
}

class PageBehaviour : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = std::make_unique<TempDir>();
    site_ = std::make_unique<DemoRoot>(root_->path() / "site");
    site_->ExecuteFile(std::string(WAPSITE_SOURCE_DIR) + "/tests/data/edge_sites.sql");
    server_ = std::make_unique<ServerProcess>(
        site_->Path(),
        std::vector<std::string>{"--domain", "http://m.example", "--login-failures-per-name",
                                 "1000000", "--login-failures-per-address", "1000000"});
  }
  static void TearDownTestSuite() { server_.reset(), site_.reset(), root_.reset(); }

  // One request on a fresh connection without cookies; a 200 page must be valid markup.
  static HttpResponse Fetch(const std::string &target, const char *accept = kWml,
                            std::optional<std::string> form = std::nullopt) {
    HttpClient client(server_->Port());
    HttpResponse r = form ? client.Post(target, *form, {{"Accept", accept}})
                          : client.Get(target, {{"Accept", accept}});
    EXPECT_TRUE(r.status != 200 || r.body.empty() || ValidPage(r.body));
    return r;
  }
  static std::string Count(const std::string &sql) { return site_->Column(sql).at(0); }

  static inline std::unique_ptr<TempDir> root_;
  static inline std::unique_ptr<DemoRoot> site_;
  static inline std::unique_ptr<ServerProcess> server_;
};

TEST_F(PageBehaviour, BadNumbersAreAnswered400WithAOneLineReason) {
  std::vector<std::string> gets = {"index.asp?username=demo", "productlist.asp", "login.asp"};
  for (const char *userid : {"", "1 or 1=1", "1;delete from wap_classes", "1.0", "1)", "-"}) {
    for (const char *page : {"index", "productlist", "lyb", "login"}) {
      gets.push_back(std::string(page) + ".asp" + Query({{"userid", userid}}));
    }
  }
  for (const char *id : {"", "abc", "32768", "-32769", "1e2", "12;drop table wap_classes"}) {
    for (const char *page : {"newslist", "showcontent", "shownews"}) {
      gets.push_back(std::string(page) + ".asp" + Query({{"userid", "1"}, {"id", id}}));
    }
  }
  for (const char *page : {"", "x", "32768", "-32769", "1e1", "two"}) {
    gets.push_back("productlist.asp" + Query({{"userid", "1"}, {"Page", page}}));
    gets.push_back("lyb.asp" + Query({{"userid", "1"}, {"page", page}}));
  }
  for (const std::string &target : gets) {
    const HttpResponse r = Fetch("/wap/" + target);
    EXPECT_EQ(r.status, 400) << target << "\n" << r.body;
    EXPECT_EQ(r.Header("Content-Type"), "text/plain; charset=utf-8") << target;
    EXPECT_FALSE(r.body.empty()) << target;
    EXPECT_EQ(r.body.find('\n'), std::string::npos) << target << "\n" << r.body;
  }
  const std::string before = Count("select count(*) from wap_lyb");
  const std::string message = FormEncode({{"lyr", "n"}, {"title", "t"}, {"content", "c"}});
  const std::string login = FormEncode({{"username", "member"}, {"password", "wap123"}});
  for (const std::string target :
       {"newly.asp?Userid=12%20or%201%3D1", "newly.asp?Userid=", "newly.asp?Userid=12%3B",
        "newly.asp", "checklogin.asp?Userid=1%20or%201%3D1",
        "checklogin.asp?Userid=", "checklogin.asp?Userid=1.5", "checklogin.asp"}) {
    const HttpResponse r =
        Fetch("/wap/" + target, kWml, target.starts_with("newly") ? message : login);
    EXPECT_EQ(r.status, 400) << target << "\n" << r.body;
    EXPECT_TRUE(r.Headers("Set-Cookie").empty()) << target;
  }
  EXPECT_EQ(Count("select count(*) from wap_lyb"), before);
}

TEST_F(PageBehaviour, KeywordValuesGetAnEmptyAnswer) {
  const struct {
    std::string target;
    std::optional<std::string> form;
    bool filtered;
  } rows[] = {
      {"index.asp?" + kDemo + "&x=SeLeCt", std::nullopt, true},
      {"index.asp?" + kDemo + "&x=%27", std::nullopt, true},
      {"index.asp?userid=oops&x=and", std::nullopt, true},  // before the numbers are read
      {"checklogin.asp?" + kDemo, "username=member&password=exec", true},
      {"newly.asp?userid=9", "lyr=n&title=t&content=Select", true},
      {"newly.asp?userid=9", "lyr=n&title=t&content=Select+it", false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.target + " " + row.form.value_or(""));
    const HttpResponse r = Fetch("/wap/" + row.target, kWml, row.form);
    if (row.filtered) {
      EXPECT_EQ(r.status, 200);
      EXPECT_EQ(r.body, "");
      EXPECT_TRUE(r.Headers("Set-Cookie").empty());
    } else {
      EXPECT_FALSE(r.status == 200 && r.body.empty()) << r.status;
    }
  }
  EXPECT_EQ(Count("select count(*) from wap_lyb where userid=9 and content='Select'"), "0");
  site_->Execute("delete from wap_lyb where userid=9");
}

TEST_F(PageBehaviour, VisitorLoginOutcomes) {
  const std::string member = FormEncode({{"username", "member"}, {"password", "wap123"}});
  const std::string home = "http://m.example/wap/index.asp?" + kDemo, failed = "login_failed.wml";
  const struct {
    std::string site;
    std::optional<std::string> form;
    std::string outcome;  // the Location of the redirect, or the golden of the page shown
  } rows[] = {
      {kDemo, member, home},
      {kDemo, FormEncode({{"username", "o'neil"}, {"password", "p'w"}}), home},
      {Query({{"userid", " 1"}, {"username", "张 三&x=y"}, {"siteid", "a/b"}}).substr(1), member,
       "http://m.example/wap/"
       "index.asp?userid=%201&username=%E5%BC%A0%20%E4%B8%89%26x%3Dy&siteid=a%2Fb"},
      {kDemo, "username=member&password=wrong", failed},
      {kDemo, "username=Member&password=wap123", failed},
      {kDemo, "username=nobody&password=wap123", failed},
      {kDemo, "username=member&password=other", failed},  // site 2's
      {kDemo, FormEncode({{"username", "x' or '1'='1"}, {"password", "x' or '1'='1"}}), failed},
      {kDemo, FormEncode({{"username", "member"}, {"password", "' or ''='"}}), failed},
      {kDemo, "username=member%00&password=wap123", failed},
      {kDemo, "username=member", failed},
      {kDemo, std::nullopt, failed},
  };
  // A visitor who logged in once already has a session; logging out keeps it (emptied), and so
  // does a failed login: each row starts with a session.
  HttpClient client(server_->Port());
  client.UseCookies(true);
  ASSERT_EQ(client.Post("/wap/checklogin.asp?" + kDemo, member, {{"Accept", kWml}}).status, 302);
  for (const auto &row : rows) {
    SCOPED_TRACE(row.site + " " + row.form.value_or("(no form)"));
    const HttpResponse out = client.Get("/wap/logout.asp?" + row.site, {{"Accept", kWml}});
    EXPECT_EQ(out.status, 302);
    const Pairs before = client.Cookies();
    ASSERT_EQ(before.size(), 1u);
    const std::string target = "/wap/checklogin.asp?" + row.site;
    const HttpResponse r = row.form ? client.Post(target, *row.form, {{"Accept", kWml}})
                                    : client.Send("POST", target, {{"Accept", kWml}}, "");
    if (row.outcome.starts_with("http://")) {
      EXPECT_EQ(r.status, 302);
      EXPECT_EQ(r.Header("Location"), row.outcome);
      EXPECT_EQ(out.Header("Location"), row.outcome);  // logout goes to the same home page
      EXPECT_NE(client.Cookies(), before);             // a new session for the member
    } else {
      EXPECT_EQ(r.status, 200);
      EXPECT_TRUE(MatchesGolden(row.outcome, r.body));
      EXPECT_EQ(client.Cookies(), before);
    }
  }
  const HttpResponse anonymous = HttpClient(server_->Port()).Get("/wap/logout.asp");
  EXPECT_EQ(anonymous.Header("Location"),
            "http://m.example/wap/index.asp?userid=&username=&siteid=");
  EXPECT_TRUE(anonymous.Headers("Set-Cookie").empty());  // emptying nothing makes no session
}

TEST_F(PageBehaviour, NewMessagesAreStoredAsTypedOrShownAgainWithTheProblem) {
  const std::string site = "userid=9&username=demo%20x&siteid=1";
  const auto repeat = [](std::string_view piece, int times) {
    std::string text;
    while (times-- > 0) text += piece;
    return text;
  };
  const struct {
    std::string lyr, title, content;
    const char *problem;  // "" when the message is stored
  } rows[] = {
      {"x'); delete from wap_lyb; --", "<b>&\"$(title)", "a\\b'c 中文\r\nline two", ""},
      {repeat("名", 50), repeat("题", 100), repeat("字", 1000), ""},  // characters, not bytes
      {" \t", "t", "c", "请填写姓名。"},
      {"n", "　", "c", "请填写标题。"},
      {"n", "t", "", "请填写内容。"},
      {repeat("名", 51), "t", "c", "姓名不能超过50个字。"},
      {"n", repeat("x", 101), "c", "标题不能超过100个字。"},
      {"n", "t", repeat("字", 1001), "内容不能超过1000个字。"},
      {"n", "t", std::string("a\0b", 3), "内容含有不能保存的字符。"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.lyr.substr(0, 30) + " / " + row.problem);
    const std::string before = Count("select count(*) from wap_lyb where userid=9");
    const std::string form =
        FormEncode({{"lyr", row.lyr}, {"title", row.title}, {"content", row.content}});
    for (const char *accept : {kWml, kXhtml}) {
      const HttpResponse r = Fetch("/wap/newly.asp?" + site, accept, form);
      if (*row.problem == '\0') {
        EXPECT_EQ(r.status, 302);
        EXPECT_EQ(r.Header("Location"), "http://m.example/wap/lyb.asp?" + site);
        break;
      }
      EXPECT_EQ(r.status, 200);
      EXPECT_EQ(XPathString(r.body, "string((//p | //h:p)[normalize-space()][1])"), row.problem);
      EXPECT_EQ(XPathString(r.body, "count(//input[@name='lyr'] | //h:input[@name='lyr'])"), "1");
    }
    if (*row.problem != '\0') {
      EXPECT_EQ(Count("select count(*) from wap_lyb where userid=9"), before);
      continue;
    }
    const auto newest = [&](const std::string &column) {
      return Count("select " + column + " from wap_lyb where userid=9 order by id desc");
    };
    EXPECT_EQ(newest("lyr"), row.lyr);
    EXPECT_EQ(newest("title"), row.title);
    EXPECT_EQ(newest("content"), row.content);
    EXPECT_EQ(Count("select count(*) from wap_lyb where userid=9 and (hf is not null or hftime is "
                    "not null)"),
              "0");
    // Stored in the form the site keeps its times in.
    EXPECT_TRUE(
        std::regex_match(newest("lytime"), std::regex(R"(20\d\d-\d\d-\d\d \d\d:\d\d:\d\d)")));
    // The guestbook shows it first, as typed; a handset shows "$$" of a WML page as "$".
    std::string shown =
        XPathString(Fetch("/wap/lyb.asp?" + site).body, "string(//p[br]/text()[1])");
    for (std::size_t at = 0; (at = shown.find("$$", at)) != std::string::npos; ++at)
      shown.erase(at, 1);
    EXPECT_EQ(shown, row.lyr + "：" + row.title);
  }
  EXPECT_EQ(Count("select count(*) from wap_lyb where userid<>9 and lyr like 'x'');%'"), "0");
}

TEST_F(PageBehaviour, FailedLoginsAreThrottledPerNameAndPerAddress) {
  ServerProcess server(site_->Path());  // the default limits
  HttpClient client(server.Port());
  const struct {
    const char *name, *password;
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
          client.Post("/wap/checklogin.asp?" + kDemo,
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

TEST_F(PageBehaviour, GuestbookPostsForNoMemberOrWithForeignFieldsStoreNothing) {
  const std::string message = FormEncode({{"lyr", "n"}, {"title", "t"}, {"content", "c"}});
  const struct {
    std::string userid, form;
    int status;
    const char *reason;
  } rows[] = {
      {"999999", message, 404, "no such member site"},
      {"0", message, 404, "no such member site"},
      {"3", message, 404, "no such member site"},  // classes, but no settings: no owner
      {"1", message + "&junk=" + std::string(900'000, 'x'), 400, "unexpected form field"},
      {"1", message + "&submit=1", 400, "unexpected form field"},
      {"999999", "junk=1", 400, "unexpected form field"},
  };
  const std::string before = Count("select count(*) from wap_lyb");
  for (const auto &row : rows) {
    SCOPED_TRACE(row.userid + " " + row.form.substr(0, 60));
    const HttpResponse r =
        Fetch("/wap/newly.asp?userid=" + row.userid + "&username=u&siteid=1", kWml, row.form);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.body, row.reason);
  }
  EXPECT_EQ(Count("select count(*) from wap_lyb"), before);
}

}  // namespace
