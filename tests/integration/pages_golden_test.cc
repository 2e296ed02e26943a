// Every page of the demo site (site 1) and of the edge sites of tests/data/edge_sites.sql, in both
// markups and their notable branches, from a real `wapsite serve`, byte for byte as its golden file
// under tests/data/golden/ (WAPSITE_UPDATE_GOLDEN=1 rewrites them), sent with the content type the
// file's extension names; WML pages valid against the WML 1.1 DTD, XHTML ones well-formed. One
// worker thread: whatever a page (or a 400) left behind would show in the next golden.
#include <gtest/gtest.h>

#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

constexpr const char* kWml = "text/vnd.wap.wml, image/vnd.wap.wbmp, */*";
constexpr const char* kXhtml = "application/xhtml+xml, text/html;q=0.9, */*;q=0.8";
constexpr const char* kNoAccept = "";

struct Row {
  const char* golden;
  const char* method;
  std::string target;
  const char* accept;  // "" sends none
  const char* form;
  int status;
};

const std::string kDemo = "userid=1&username=demo&siteid=1";
const std::string kCraft = "userid=2&username=craft&siteid=2";
const std::string kEmpty = "userid=3&username=empty&siteid=3";

const Row kRows[] = {
    // The demo site, every page.
    {"home.wml", "GET", "/wap/index.asp?" + kDemo, kWml, "", 200},
    {"home.html", "GET", "/wap/index.asp?" + kDemo, kXhtml, "", 200},
    {"home.wml", "GET", "/wap/index.asp?" + kDemo, "application/vnd.wap.wmlc", "", 200},
    {"home.html", "GET", "/wap/index.asp?" + kDemo, "TEXT/VND.WAP.WML", "", 200},
    {"home.html", "GET", "/wap/index.asp?" + kDemo, kNoAccept, "", 200},
    {"newslist.wml", "GET", "/wap/newslist.asp?" + kDemo + "&id=2&classname=x", kWml, "", 200},
    {"newslist.html", "GET", "/wap/newslist.asp?" + kDemo + "&id=2&classname=x", kXhtml, "", 200},
    {"newslist_empty.wml", "GET", "/wap/newslist.asp?" + kDemo + "&id=4&classname=%E6%96%B0%3C", kWml,
     "", 200},
    {"showcontent.wml", "GET", "/wap/showcontent.asp?" + kDemo + "&id=1&classname=x", kWml, "", 200},
    {"showcontent.html", "GET", "/wap/showcontent.asp?" + kDemo + "&id=1&classname=x", kXhtml, "", 200},
    {"showcontent_empty.wml", "GET",
     "/wap/showcontent.asp?" + kDemo + "&id=99&classname=%E5%85%B3%E4%BA%8E", kWml, "", 200},
    {"shownews.wml", "GET", "/wap/shownews.asp?" + kDemo + "&id=3", kWml, "", 200},
    {"shownews.html", "GET", "/wap/shownews.asp?" + kDemo + "&id=3", kXhtml, "", 200},
    {"shownews_missing.wml", "GET", "/wap/shownews.asp?" + kDemo, kWml, "", 200},
    {"shownews_no_site_values.html", "GET", "/wap/shownews.asp?id=3", kXhtml, "", 200},
    {"productlist_first.wml", "GET", "/wap/productlist.asp?" + kDemo, kWml, "", 200},
    {"productlist_middle.wml", "GET", "/wap/productlist.asp?" + kDemo + "&Page=2", kWml, "", 200},
    {"productlist_middle.html", "GET", "/wap/productlist.asp?" + kDemo + "&Page=2", kXhtml, "", 200},
    {"productlist_last.wml", "GET", "/wap/productlist.asp?" + kDemo + "&Page=6", kWml, "", 200},
    {"lyb_first.wml", "GET", "/wap/lyb.asp?" + kDemo, kWml, "", 200},
    {"lyb_middle.wml", "GET", "/wap/lyb.asp?" + kDemo + "&Page=3", kWml, "", 200},
    {"lyb_middle.html", "GET", "/wap/lyb.asp?" + kDemo + "&Page=3", kXhtml, "", 200},
    {"lyb_last.wml", "GET", "/wap/lyb.asp?" + kDemo + "&Page=6", kWml, "", 200},
    {"login_form.wml", "GET", "/wap/login.asp?" + kDemo, kWml, "", 200},
    {"login_form.html", "GET", "/wap/login.asp?" + kDemo, kXhtml, "", 200},
    {"login_failed.wml", "POST", "/wap/checklogin.asp?" + kDemo, kWml,
     "username=member&password=wrong", 200},
    {"login_failed.html", "POST", "/wap/checklogin.asp?" + kDemo, kXhtml,
     "username=member&password=wrong", 200},
    {"newly_form.wml", "GET", "/wap/newly.asp?" + kDemo, kWml, "", 200},
    {"newly_form.html", "GET", "/wap/newly.asp?" + kDemo, kXhtml, "", 200},
    // A refused message: the problem, then the form again with what was typed.
    {"newly_refused.wml", "POST", "/wap/newly.asp?" + kDemo, kWml,
     "lyr=%3CTom+%26+%22%24x%22%3E&title=&content=%3C%2Ftextarea%3E%26%27%24", 200},
    {"newly_refused.html", "POST", "/wap/newly.asp?" + kDemo, kXhtml,
     "lyr=%3CTom+%26+%22%24x%22%3E&title=&content=%3C%2Ftextarea%3E%26%27%24", 200},
    {"filter_hit.html", "GET", "/wap/index.asp?userid=1&username=demo&siteid=select", kWml, "",
     200},
    {"bad_userid.txt", "GET", "/wap/index.asp?userid=1%20or%201=1", kWml, "", 400},
    {"bad_page.txt", "GET", "/wap/productlist.asp?" + kDemo + "&Page=x", kWml, "", 400},
    {"bad_id.txt", "GET", "/wap/shownews.asp?" + kDemo + "&id=40000", kWml, "", 400},
    {"home.wml", "GET", "/wap/index.asp?" + kDemo, kWml, "", 200},  // nothing left of the 400s
    // The edge sites.
    {"craft_home.wml", "GET", "/wap/index.asp?" + kCraft, kWml, "", 200},
    {"craft_home.html", "GET", "/wap/index.asp?" + kCraft, kXhtml, "", 200},
    {"craft_newslist.wml", "GET", "/wap/newslist.asp?" + kCraft + "&id=1001", kWml, "", 200},
    {"craft_newslist_null_names.wml", "GET", "/wap/newslist.asp?" + kCraft + "&id=1009", kWml, "", 200},
    {"craft_showcontent.wml", "GET", "/wap/showcontent.asp?" + kCraft + "&id=1002", kWml, "", 200},
    {"craft_showcontent_null.wml", "GET", "/wap/showcontent.asp?" + kCraft + "&id=1009", kWml, "", 200},
    {"craft_shownews.wml", "GET", "/wap/shownews.asp?" + kCraft + "&id=1001", kWml, "", 200},
    {"craft_shownews_no_time.wml", "GET", "/wap/shownews.asp?" + kCraft + "&id=1002", kWml, "", 200},
    {"craft_shownews_null.html", "GET", "/wap/shownews.asp?" + kCraft + "&id=1005", kXhtml, "", 200},
    {"craft_productlist_1.wml", "GET", "/wap/productlist.asp?" + kCraft + "&Page=1", kWml, "", 200},
    {"craft_productlist_2.wml", "GET", "/wap/productlist.asp?" + kCraft + "&Page=2", kWml, "", 200},
    {"craft_productlist_2.html", "GET", "/wap/productlist.asp?" + kCraft + "&Page=2", kXhtml, "", 200},
    {"craft_productlist_3.wml", "GET", "/wap/productlist.asp?" + kCraft + "&Page=3", kWml, "", 200},
    {"craft_lyb_1.wml", "GET", "/wap/lyb.asp?" + kCraft + "&Page=1", kWml, "", 200},
    {"craft_lyb_2.wml", "GET", "/wap/lyb.asp?" + kCraft + "&Page=2", kWml, "", 200},
    {"craft_lyb_3.wml", "GET", "/wap/lyb.asp?" + kCraft + "&Page=3", kWml, "", 200},
    {"craft_lyb_4.wml", "GET", "/wap/lyb.asp?" + kCraft + "&Page=4", kWml, "", 200},
    {"craft_lyb_4.html", "GET", "/wap/lyb.asp?" + kCraft + "&Page=4", kXhtml, "", 200},
    {"empty_home.wml", "GET", "/wap/index.asp?" + kEmpty, kWml, "", 200},
    {"empty_productlist.wml", "GET", "/wap/productlist.asp?" + kEmpty, kWml, "", 200},
    {"empty_lyb.html", "GET", "/wap/lyb.asp?" + kEmpty, kXhtml, "", 200},
    {"dollar_home.wml", "GET", "/wap/index.asp?userid=6&username=%24(password)&siteid=6", kWml, "", 200},
    {"dollar_lyb.wml", "GET", "/wap/lyb.asp?userid=6&username=%24(password)&siteid=6", kWml, "", 200},
};

TEST(PagesGolden, EveryPageIsItsGoldenFile) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  site.ExecuteFile(std::string(WAPSITE_SOURCE_DIR) + "/tests/data/edge_sites.sql");
  ServerProcess server(site.Path(), {"--domain", "http://m.example", "--threads", "1"});
  HttpClient client(server.Port());
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::string(row.golden) + ": " + row.method + " " + row.target);
    Pairs headers;
    if (*row.accept != '\0') headers.emplace_back("Accept", row.accept);
    if (*row.form != '\0') headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    const HttpResponse r = client.Send(row.method, row.target, headers, row.form);
    const std::string_view name = row.golden;
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.Header("Content-Type"), name.ends_with(".wml")    ? "text/vnd.wap.wml; charset=utf-8"
                                        : name.ends_with(".html") ? "text/html; charset=utf-8"
                                                                  : "text/plain; charset=utf-8");
    EXPECT_TRUE(MatchesGolden(name, r.body));
    if (!r.body.empty() && !name.ends_with(".txt")) {
      EXPECT_TRUE(name.ends_with(".wml") ? ValidWml(r.body) : WellFormedXml(r.body));
    }
  }
}

}  // namespace
