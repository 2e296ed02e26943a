// How the pages answer the values of a request, over HTTP on the demo site and
// the edge sites of tests/data/edge_sites.sql, one table per behaviour: paging,
// escaping and selection by request values, 400 for bad numbers, the keyword
// filter, visitor login and logout, posting a message. Assertions read the
// pages with XPath; where a row's exact body matters it names a golden file.
#include <gtest/gtest.h>

#include <ctime>

#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

constexpr const char *kWml = "text/vnd.wap.wml, image/vnd.wap.wbmp, */*";
constexpr const char *kXhtml = "application/xhtml+xml, text/html;q=0.9, */*;q=0.8";
const std::string kDemo = "userid=1&username=demo&siteid=1";
const std::string kHome = "http://m.example/wap/index.asp?" + kDemo;

// "?a=1&b=2" with every value percent-encoded; a value of std::nullopt leaves
// its name out.
std::string Query(const std::vector<std::pair<std::string, std::optional<std::string>>> &pairs) {
  std::string q;
  for (const auto &[name, value] : pairs) {
    if (!value) continue;
    q += (q.empty() ? "?" : "&") + name + "=" + PercentEncode(*value);
  }
  return q;
}

// The local time now as the site stores times: YYYY-MM-DD HH:MM:SS.
std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

class PageBehaviour : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = std::make_unique<TempDir>();
    site_ = std::make_unique<DemoRoot>(root_->path() / "site");
    site_->ExecuteFile(std::string(WAPSITE_SOURCE_DIR) + "/tests/data/edge_sites.sql");
    // Site 5: as many products as a page number can count, P1 the oldest.
    site_->Execute(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
        "i < 32767) "
        "INSERT INTO wap_product (id, userid, pname, ppic, pcontent) "
        "SELECT 100000 + i, 5, 'P' || i, 'p.jpg', 'D' FROM n");
    server_ = std::make_unique<ServerProcess>(
        site_->Path(),
        std::vector<std::string>{"--domain", "http://m.example", "--login-failures-per-name",
                                 "1000000", "--login-failures-per-address", "1000000"});
  }
  static void TearDownTestSuite() { server_.reset(), site_.reset(), root_.reset(); }

  // One request on a fresh connection without cookies; a 200 page must be valid
  // markup.
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

TEST_F(PageBehaviour, PagingShowsOneItemPerPageNewestFirst) {
  const struct {
    const char *page;  // productlist.asp or lyb.asp
    std::string site;  // the site values
    const char *key;   // the name of the page value
    std::optional<std::string> value;
    int status;
    const char *item;        // the first text of the item shown; "" for none
    const char *navigation;  // the page numbers the navigation links to, in order
  } rows[] = {
      {"productlist", kDemo, "Page", std::nullopt, 200, "紫砂茶壶", "1 6"},
      {"productlist", kDemo, "Page", "-1", 200, "紫砂茶壶", "0 6"},
      {"productlist", kDemo, "Page", "2", 200, "黄山毛峰", "1 1 3 6"},
      {"productlist", kDemo, "Page", "2.5", 200, "黄山毛峰", "1 1 3 6"},  // to the even neighbour
      {"productlist", kDemo, "Page", "3.5", 200, "云南普洱", "1 3 5 6"},
      {"productlist", kDemo, "Page", " 3 ", 200, "武夷大红袍", "1 2 4 6"},
      {"productlist", kDemo, "page", "6", 200, "西湖龙井", "1 5"},  // any letter case
      {"productlist", kDemo, "Page", "32766", 200, "西湖龙井", "1 32765 32767 6"},
      {"productlist", kDemo, "Page", "32767", 400, "", ""},  // its next page is out of range
      {"productlist", "userid=5", "Page", "32767", 200, "P1", "1 32766"},
      {"productlist", "userid=3", "Page", "1", 200, "", "2 0"},
      {"productlist", "userid=3", "Page", "3", 200, "", "1 2 4 0"},
      {"productlist", "userid=4", "Page", std::nullopt, 200, "唯一", "1 1"},
      {"lyb", kDemo, "Page", std::nullopt, 200, "孙女士：茶艺课程", "1 6"},
      {"lyb", kDemo, "page", "3", 200, "陈同学：分店地址", "1 2 4 6"},
      {"lyb", kDemo, "Page", "6", 200, "张先生：龙井什么时候到货", "1 5"},
      {"lyb", kDemo, "Page", "7", 200, "张先生：龙井什么时候到货", "1 6 8 6"},
      {"lyb", kDemo, "Page", "-1", 200, "孙女士：茶艺课程", "0 6"},
      {"lyb", kDemo, "Page", "32767", 400, "", ""},
      {"lyb", "userid=3", "Page", "2", 200, "", "1 1 3 0"},
  };
  for (const auto &row : rows) {
    const std::string target =
        "/wap/" + std::string(row.page) + ".asp?" + row.site +
        (row.value ? "&" + std::string(row.key) + "=" + PercentEncode(*row.value) : "");
    SCOPED_TRACE(target);
    const HttpResponse r = Fetch(target);
    ASSERT_EQ(r.status, row.status) << r.body;
    if (r.status != 200) continue;
    // An item is the paragraph with line breaks; its first text is the name
    // (and title).
    EXPECT_EQ(XPathString(r.body, "string(//p[br]/text()[1])"), row.item);
    std::vector<std::string> pages;
    for (const std::string &href : XPathStrings(r.body, "//a[contains(@href, 'Page=')]/@href")) {
      pages.push_back(href.substr(href.find("Page=") + 5));
    }
    // The navigation stands above and below the item, the same both times.
    ASSERT_EQ(pages.size() % 2, 0u);
    const std::vector<std::string> above(pages.begin(), pages.begin() + pages.size() / 2);
    std::string joined;
    for (const std::string &p : above) joined += (joined.empty() ? "" : " ") + p;
    EXPECT_EQ(joined, row.navigation);
    EXPECT_EQ(std::vector<std::string>(pages.begin() + pages.size() / 2, pages.end()), above);
  }
}

TEST_F(PageBehaviour, RequestValuesSelectAndStayInsideTheirAttributes) {
  const struct {
    std::string target;
    const char *accept;
    const char *xpath;
    std::string expected;
  } rows[] = {
      // Hostile site values end up, unchanged, in the attributes they belong
      // to; no markup.
      {"/wap/index.asp" + Query({{"userid", " 1 "}, {"username", "\"><b>x</b>"}, {"siteid", "&'"}}),
       kWml, "string(//a[contains(@href, 'lyb.asp')]/@href)",
       "http://m.example/wap/lyb.asp?userid= 1 "
       "&username=\"><b>x</b>&siteid=&'&"},
      {"/wap/index.asp" + Query({{"userid", "1"}, {"username", "\"><b>x</b>"}}), kXhtml,
       "count(//h:b)", "0"},
      {"/wap/shownews.asp" +
           Query({{"userid", "1"}, {"username", "a&b'c"}, {"siteid", "<"}, {"id", "3"}}),
       kWml, "string(//a/@href)", "/wap/index.asp?userid=1&username=a&b'c&siteid=<&"},
      {"/wap/shownews.asp" + Query({{"userid", "1"}, {"username", "张三"}, {"id", "3"}}), kWml,
       "string(//img/@src)", "http://m.example/waphome/张三/Demo.jpg"},
      // The login form carries the site values percent-encoded in its address.
      {"/wap/login.asp" + Query({{"userid", " 1"}, {"username", "a b&c$<\"'"}, {"siteid", "页"}}),
       kWml, "string(//anchor/go/@href)",
       "checklogin.asp?userid=%201&username=a%20b%26c%24%3C%22%27&siteid=%E9%"
       "A1%B5"},
      {"/wap/login.asp" + Query({{"userid", " 1"}, {"username", "a b&c$<\"'"}, {"siteid", "页"}}),
       kXhtml, "string(//h:form/@action)",
       "checklogin.asp?userid=%201&username=a%20b%26c%24%3C%22%27&siteid=%E9%"
       "A1%B5"},
      {"/wap/newly.asp" + Query({{"userid", "1"}, {"username", "a b&c"}}), kXhtml,
       "string(//h:form/@action)", "newly.asp?userid=1&username=a%20b%26c&siteid="},
      // The logo is looked for only in a plain folder name under waphome/.
      {"/wap/index.asp?" + kDemo, kWml, "count(//img[contains(@src, 'logo.gif')])", "1"},
      {"/wap/index.asp" + Query({{"userid", "1"}, {"username", "../waphome/demo"}}), kWml,
       "count(//img[contains(@src, 'logo.gif')])", "0"},
      {"/wap/index.asp" + Query({{"userid", "1"}, {"username", "demo/../demo"}}), kWml,
       "count(//img[contains(@src, 'logo.gif')])", "0"},
      // A telephone class without a setting dials nothing.
      {"/wap/index.asp?userid=3", kWml, "string(//a/@href)", "wtai://wp/mc;"},
      // A site without classes shows the banner only.
      {"/wap/index.asp?userid=9", kXhtml, "count(//h:a)", "0"},
      // News lists select by class id alone, rounded to the nearest (even)
      // small integer.
      {"/wap/newslist.asp?userid=1&id=1001", kWml, "count(//a[contains(@href, 'shownews')])", "2"},
      {"/wap/newslist.asp?userid=1&id=2.5", kWml, "count(//a[contains(@href, 'shownews')])", "3"},
      {"/wap/newslist.asp?userid=1&id=1.5", kWml, "count(//a[contains(@href, 'shownews')])", "3"},
      {"/wap/newslist.asp?userid=1&id=%203%20", kWml, "count(//a[contains(@href, 'shownews')])",
       "2"},
      {"/wap/newslist.asp?userid=1&id=3.5", kWml, "count(//a[contains(@href, 'shownews')])", "0"},
      {"/wap/shownews.asp?userid=1&id=2.5", kWml, "string(//card/@title)", "茶庄新闻"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.target + " " + row.xpath);
    const HttpResponse r = Fetch(row.target, row.accept);
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(XPathString(r.body, row.xpath), row.expected);
  }
}

TEST_F(PageBehaviour, BadNumbersAreAnswered400WithAOneLineReason) {
  std::vector<std::string> gets = {"/wap/index.asp?username=demo"};
  for (const char *userid : {"", "1 or 1=1", "1;delete from wap_classes", "1.0", "1)", "-"}) {
    for (const char *page : {"index", "productlist", "lyb", "login"}) {
      gets.push_back("/wap/" + std::string(page) + ".asp" + Query({{"userid", userid}}));
    }
  }
  for (const char *id : {"", "abc", "32768", "-32769", "1e2", "12;drop table wap_classes"}) {
    for (const char *page : {"newslist", "showcontent", "shownews"}) {
      gets.push_back("/wap/" + std::string(page) + ".asp" + Query({{"userid", "1"}, {"id", id}}));
    }
  }
  for (const char *page : {"", "x", "32768", "-32769", "1e1", "two"}) {
    gets.push_back("/wap/productlist.asp" + Query({{"userid", "1"}, {"Page", page}}));
    gets.push_back("/wap/lyb.asp" + Query({{"userid", "1"}, {"page", page}}));
  }
  gets.push_back("/wap/productlist.asp");
  gets.push_back("/wap/login.asp");
  for (const std::string &target : gets) {
    const HttpResponse r = Fetch(target);
    EXPECT_EQ(r.status, 400) << target << "\n" << r.body;
    EXPECT_EQ(r.Header("Content-Type"), "text/plain; charset=utf-8") << target;
    EXPECT_FALSE(r.body.empty()) << target;
    EXPECT_EQ(r.body.find('\n'), std::string::npos) << target << "\n" << r.body;
  }

  const std::string before = Count("select count(*) from wap_lyb");
  const std::string message = FormEncode({{"lyr", "n"}, {"title", "t"}, {"content", "c"}});
  const std::string login = FormEncode({{"username", "member"}, {"password", "wap123"}});
  for (const auto &[page, userid] : std::vector<std::pair<std::string, std::optional<std::string>>>{
           {"newly", "12 or 1=1"},
           {"newly", ""},
           {"newly", "12;"},
           {"newly", std::nullopt},
           {"checklogin", "1 or 1=1"},
           {"checklogin", ""},
           {"checklogin", "1.5"},
           {"checklogin", std::nullopt}}) {
    const std::string target = "/wap/" + page + ".asp" + Query({{"Userid", userid}});
    const HttpResponse r = Fetch(target, kWml, page == "newly" ? message : login);
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
      {"/wap/index.asp?" + kDemo + "&x=select", std::nullopt, true},
      {"/wap/index.asp?" + kDemo + "&x=SeLeCt", std::nullopt, true},
      {"/wap/index.asp?" + kDemo + "&x=%27", std::nullopt, true},
      {"/wap/index.asp?" + kDemo + "&x=%25", std::nullopt, true},
      {"/wap/index.asp?" + kDemo + "&x=declare", std::nullopt, true},
      {"/wap/index.asp?userid=oops&x=and", std::nullopt, true},  // before the numbers are read
      {"/wap/index.asp?" + kDemo + "&x=selected", std::nullopt, false},  // only whole values
      {"/wap/index.asp?" + kDemo + "&x=select%20*", std::nullopt, false},
      {"/wap/login.asp?" + kDemo + "&x=count", std::nullopt, true},
      {"/wap/lyb.asp?" + kDemo + "&Page=*", std::nullopt, true},
      {"/wap/checklogin.asp?" + kDemo, "username=member&password=exec", true},
      {"/wap/newly.asp?userid=9", "lyr=n&title=t&content=Select", true},
      {"/wap/newly.asp?userid=9", "lyr=n&title=t&content=Select+it", false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.target + " " + row.form.value_or(""));
    const HttpResponse r = Fetch(row.target, kWml, row.form);
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
  const std::string failed = "login_failed.wml";  // the page every failure shows
  const struct {
    std::string site;
    std::optional<std::string> form;
    std::string outcome;  // the Location of the redirect, or the golden of the
                          // page shown
  } rows[] = {
      {kDemo, FormEncode({{"username", "member"}, {"password", "wap123"}}), kHome},
      {kDemo, FormEncode({{"username", "o'neil"}, {"password", "p'w"}}), kHome},
      {Query({{"userid", " 1"}, {"username", "张 三&x=y"}, {"siteid", "a/b"}}).substr(1),
       FormEncode({{"username", "member"}, {"password", "wap123"}}),
       "http://m.example/wap/"
       "index.asp?userid=%201&username=%E5%BC%A0%20%E4%B8%89%26x%3Dy"
       "&siteid=a%2Fb"},
      {kDemo, FormEncode({{"username", "member"}, {"password", "wrong"}}), failed},
      {kDemo, FormEncode({{"username", "Member"}, {"password", "wap123"}}), failed},
      {kDemo, FormEncode({{"username", "nobody"}, {"password", "wap123"}}), failed},
      {kDemo, FormEncode({{"username", "member"}, {"password", "other"}}), failed},  // site 2's
      {kDemo, FormEncode({{"username", "x' or '1'='1"}, {"password", "x' or '1'='1"}}), failed},
      {kDemo, FormEncode({{"username", "member"}, {"password", "' or ''='"}}), failed},
      {kDemo, FormEncode({{"username", "member'--"}, {"password", ""}}), failed},
      {kDemo, "username=member%00&password=wap123", failed},
      {kDemo, "username=member&password=wap%00123", failed},
      {kDemo, FormEncode({{"username", ""}, {"password", ""}}), failed},
      {kDemo, FormEncode({{"username", "member"}}), failed},
      {kDemo, std::nullopt, failed},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.site + " " + row.form.value_or("(no form)"));
    HttpClient client(server_->Port());
    client.UseCookies(true);
    // A visitor who logged in once already has a session; logging out keeps it
    // (emptied).
    ASSERT_EQ(client.Post("/wap/checklogin.asp?" + kDemo, rows[0].form.value(), {{"Accept", kWml}})
                  .status,
              302);
    const HttpResponse out = client.Get("/wap/logout.asp?" + row.site, {{"Accept", kWml}});
    EXPECT_EQ(out.status, 302);
    const Pairs before = client.Cookies();
    ASSERT_EQ(before.size(), 1u);
    const HttpResponse r =
        row.form ? client.Post("/wap/checklogin.asp?" + row.site, *row.form, {{"Accept", kWml}})
                 : client.Send("POST", "/wap/checklogin.asp?" + row.site, {{"Accept", kWml}}, "");
    if (row.outcome.starts_with("http://")) {
      EXPECT_EQ(r.status, 302);
      EXPECT_EQ(r.Header("Location"), row.outcome);
      EXPECT_EQ(out.Header("Location"),
                row.outcome);               // logout goes to the same home page
      EXPECT_NE(client.Cookies(), before);  // a new session for the member
    } else {
      EXPECT_EQ(r.status, 200);
      EXPECT_TRUE(MatchesGolden(row.outcome, r.body));
      EXPECT_EQ(client.Cookies(), before);
    }
  }
  HttpClient client(server_->Port());
  const HttpResponse anonymous = client.Get("/wap/logout.asp");
  EXPECT_EQ(anonymous.Header("Location"),
            "http://m.example/wap/index.asp?userid=&username=&siteid=");
  EXPECT_TRUE(anonymous.Headers("Set-Cookie").empty());  // emptying nothing makes no session
}

TEST_F(PageBehaviour, NewMessagesAreStoredAsTypedOrShownAgainWithTheProblem) {
  const std::string site = "userid=9&username=demo%20x&siteid=1";
  const auto repeat = [](std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
  };
  const struct {
    std::string lyr, title, content;
    const char *problem;  // "" when the message is stored
  } rows[] = {
      {"Ann & Bob", "Hello <there>", "It's 好茶", ""},
      {"x'); delete from wap_lyb; --", "<b>&\"", "a\\b'c 中文\r\nline two", ""},
      {"' or '1'='1", "$(title)", "%00 \\' --", ""},
      {repeat("名", 50), repeat("题", 100), repeat("字", 1000), ""},  // characters, not bytes
      {"", "t", "c", "请填写姓名。"},
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
    const std::string before_time = LocalTimeNow();
    for (const char *accept : {kWml, kXhtml}) {
      const HttpResponse r =
          Fetch("/wap/newly.asp?" + site, accept,
                FormEncode({{"lyr", row.lyr}, {"title", row.title}, {"content", row.content}}));
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
      return site_->Column("select " + column + " from wap_lyb where userid=9 order by id desc")
          .at(0);
    };
    EXPECT_EQ(newest("lyr"), row.lyr);
    EXPECT_EQ(newest("title"), row.title);
    EXPECT_EQ(newest("content"), row.content);
    EXPECT_EQ(Count("select count(*) from wap_lyb where userid=9 and (hf is "
                    "not null or "
                    "hftime is not null)"),
              "0");  // no reply
    EXPECT_LE(before_time, newest("lytime"));
    EXPECT_LE(newest("lytime"), LocalTimeNow());
    // The guestbook shows it first, as typed.
    const HttpResponse book = Fetch("/wap/lyb.asp?" + site);
    // A handset shows "$$" of a WML page as "$".
    std::string shown = XPathString(book.body, "string(//p[br]/text()[1])");
    for (std::size_t at = 0; (at = shown.find("$$", at)) != std::string::npos; ++at) {
      shown.erase(at, 1);
    }
    EXPECT_EQ(shown, row.lyr + "：" + row.title);
  }
  EXPECT_EQ(Count("select count(*) from wap_lyb where userid<>9 and lyr='Ann & Bob'"), "0");
}

}  // namespace
