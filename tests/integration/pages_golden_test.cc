// Every page of the demo site (site 1) and of the edge sites of tests/data/edge_sites.sql, in both
// markups and their notable branches, from a real `wapsite serve`, byte for byte as its golden file
// under tests/data/golden/ (WAPSITE_UPDATE_GOLDEN=1 rewrites them), sent with the content type the
// file's extension names; WML pages valid against the WML 1.1 DTD, XHTML ones well-formed. One
// worker thread: whatever a page (or a 400) left behind would show in the next golden.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

constexpr const char* kWml = "text/vnd.wap.wml, image/vnd.wap.wbmp, */*";
constexpr const char* kXhtml = "application/xhtml+xml, text/html;q=0.9, */*;q=0.8";

struct Row {
  const char* golden;            // .txt: a 400
  std::string target;            // under /wap/
  const char* form = "";         // a POST when not empty
  const char* accept = nullptr;  // nullptr: the golden's markup; "" sends none
};

const std::string kDemo = "userid=1&username=demo&siteid=1";
const std::string kCraft = "userid=2&username=craft&siteid=2";
const std::string kEmpty = "userid=3&username=empty&siteid=3";
const std::string kDollar = "userid=6&username=%24(password)&siteid=6";
constexpr const char* kWrong = "username=member&password=wrong";
constexpr const char* kRefused =
    "lyr=%3CTom+%26+%22%24x%22%3E&title=&content=%3C%2Ftextarea%3E%26%27%24";

const Row kRows[] = {
    // The demo site, every page.
    {"home.wml", "index.asp?" + kDemo},
    {"home.html", "index.asp?" + kDemo},
    {"home.wml", "index.asp?" + kDemo, "", "application/vnd.wap.wmlc"},
    {"home.html", "index.asp?" + kDemo, "", "TEXT/VND.WAP.WML"},
    {"home.html", "index.asp?" + kDemo, "", ""},
    {"newslist.wml", "newslist.asp?" + kDemo + "&id=2&classname=x"},
    {"newslist.html", "newslist.asp?" + kDemo + "&id=2&classname=x"},
    {"newslist_empty.wml", "newslist.asp?" + kDemo + "&id=4&classname=%E6%96%B0%3C"},
    {"showcontent.wml", "showcontent.asp?" + kDemo + "&id=1&classname=x"},
    {"showcontent.html", "showcontent.asp?" + kDemo + "&id=1&classname=x"},
    {"showcontent_empty.wml", "showcontent.asp?" + kDemo + "&id=99&classname=%E5%85%B3%E4%BA%8E"},
    {"shownews.wml", "shownews.asp?" + kDemo + "&id=3"},
    {"shownews.html", "shownews.asp?" + kDemo + "&id=3"},
    {"shownews_missing.wml", "shownews.asp?" + kDemo},
    {"shownews_no_site_values.html", "shownews.asp?id=3"},
    {"productlist_first.wml", "productlist.asp?" + kDemo},
    {"productlist_middle.wml", "productlist.asp?" + kDemo + "&Page=2"},
    {"productlist_middle.html", "productlist.asp?" + kDemo + "&Page=2"},
    {"productlist_last.wml", "productlist.asp?" + kDemo + "&Page=6"},
    {"lyb_first.wml", "lyb.asp?" + kDemo},
    {"lyb_middle.wml", "lyb.asp?" + kDemo + "&Page=3"},
    {"lyb_middle.html", "lyb.asp?" + kDemo + "&Page=3"},
    {"lyb_last.wml", "lyb.asp?" + kDemo + "&Page=6"},
    {"login_form.wml", "login.asp?" + kDemo},
    {"login_form.html", "login.asp?" + kDemo},
    {"login_failed.wml", "checklogin.asp?" + kDemo, kWrong},
    {"login_failed.html", "checklogin.asp?" + kDemo, kWrong},
    {"newly_form.wml", "newly.asp?" + kDemo},
    {"newly_form.html", "newly.asp?" + kDemo},
    // A refused message: the problem, then the form again with what was typed.
    {"newly_refused.wml", "newly.asp?" + kDemo, kRefused},
    {"newly_refused.html", "newly.asp?" + kDemo, kRefused},
    {"filter_hit.html", "index.asp?userid=1&username=demo&siteid=select", "", kWml},
    {"bad_userid.txt", "index.asp?userid=1%20or%201=1"},
    {"bad_page.txt", "productlist.asp?" + kDemo + "&Page=x"},
    {"bad_id.txt", "shownews.asp?" + kDemo + "&id=40000"},
    {"home.wml", "index.asp?" + kDemo},  // nothing left of the 400s
    // Paging edges: a page number is rounded half to even, read in any letter case and
    // trimmed; before the first is the first; the last page number a list may reach is 32767.
    {"productlist_before_first.wml", "productlist.asp?" + kDemo + "&Page=-1"},
    {"productlist_middle.wml", "productlist.asp?" + kDemo + "&Page=2.5"},
    {"productlist_4.wml", "productlist.asp?" + kDemo + "&Page=3.5"},
    {"productlist_3.wml", "productlist.asp?" + kDemo + "&Page=%203%20"},
    {"productlist_last.wml", "productlist.asp?" + kDemo + "&page=6"},
    {"productlist_32766.wml", "productlist.asp?" + kDemo + "&Page=32766"},
    {"bad_next_page.txt", "productlist.asp?" + kDemo + "&Page=32767"},
    {"productlist_32767.wml", "productlist.asp?userid=5&Page=32767"},
    {"lyb_before_first.wml", "lyb.asp?" + kDemo + "&Page=-1"},
    {"lyb_7.wml", "lyb.asp?" + kDemo + "&Page=7"},
    {"bad_next_page.txt", "lyb.asp?" + kDemo + "&Page=32767"},
    // Request values stay inside the attributes they belong to, as given; forms carry them
    // percent-encoded; the logo is looked for only in a plain folder name under waphome/.
    {"hostile_home.wml",
     "index.asp?userid=%201%20&username=%22%3E%3Cb%3Ex%3C%2Fb%3E&siteid=%26%27"},
    {"hostile_home.html", "index.asp?userid=1&username=%22%3E%3Cb%3Ex%3C%2Fb%3E"},
    {"hostile_shownews.wml", "shownews.asp?userid=1&username=a%26b%27c&siteid=%3C&id=3"},
    {"shownews_other_folder.wml", "shownews.asp?userid=1&username=%E5%BC%A0%E4%B8%89&id=3"},
    {"hostile_login.wml", "login.asp?userid=%201&username=a%20b%26c%24%3C%22%27&siteid=%E9%A1%B5"},
    {"hostile_login.html", "login.asp?userid=%201&username=a%20b%26c%24%3C%22%27&siteid=%E9%A1%B5"},
    {"hostile_newly.html", "newly.asp?userid=1&username=a%20b%26c"},
    {"home_climbing_folder.wml", "index.asp?userid=1&username=..%2Fwaphome%2Fdemo"},
    // News lists and articles select by id alone, rounded to the nearest (even) small integer.
    {"newslist_other_site.wml", "newslist.asp?userid=1&id=1001"},
    {"newslist_2_5.wml", "newslist.asp?userid=1&id=2.5"},
    {"newslist_3.wml", "newslist.asp?userid=1&id=%203%20"},
    {"newslist_4.wml", "newslist.asp?userid=1&id=3.5"},
    {"shownews_2_5.wml", "shownews.asp?userid=1&id=2.5"},
    // The edge sites.
    {"craft_home.wml", "index.asp?" + kCraft},
    {"craft_home.html", "index.asp?" + kCraft},
    {"craft_newslist.wml", "newslist.asp?" + kCraft + "&id=1001"},
    {"craft_newslist_null_names.wml", "newslist.asp?" + kCraft + "&id=1009"},
    {"craft_showcontent.wml", "showcontent.asp?" + kCraft + "&id=1002"},
    {"craft_showcontent_null.wml", "showcontent.asp?" + kCraft + "&id=1009"},
    {"craft_shownews.wml", "shownews.asp?" + kCraft + "&id=1001"},
    {"craft_shownews_no_time.wml", "shownews.asp?" + kCraft + "&id=1002"},
    {"craft_shownews_null.html", "shownews.asp?" + kCraft + "&id=1005"},
    {"craft_productlist_1.wml", "productlist.asp?" + kCraft + "&Page=1"},
    {"craft_productlist_2.wml", "productlist.asp?" + kCraft + "&Page=2"},
    {"craft_productlist_2.html", "productlist.asp?" + kCraft + "&Page=2"},
    {"craft_productlist_3.wml", "productlist.asp?" + kCraft + "&Page=3"},
    {"craft_lyb_1.wml", "lyb.asp?" + kCraft + "&Page=1"},
    {"craft_lyb_2.wml", "lyb.asp?" + kCraft + "&Page=2"},
    {"craft_lyb_3.wml", "lyb.asp?" + kCraft + "&Page=3"},
    {"craft_lyb_4.wml", "lyb.asp?" + kCraft + "&Page=4"},
    {"craft_lyb_4.html", "lyb.asp?" + kCraft + "&Page=4"},
    {"empty_home.wml", "index.asp?" + kEmpty},
    {"empty_productlist.wml", "productlist.asp?" + kEmpty},
    {"empty_productlist_3.wml", "productlist.asp?" + kEmpty + "&Page=3"},
    {"empty_lyb_2.wml", "lyb.asp?" + kEmpty + "&Page=2"},
    {"single_productlist.wml", "productlist.asp?userid=4"},
    {"empty_lyb.html", "lyb.asp?" + kEmpty},
    {"no_classes_home.html", "index.asp?userid=9"},
    {"dollar_home.wml", "index.asp?" + kDollar},
    {"dollar_lyb.wml", "lyb.asp?" + kDollar},
    {"dollar_lyb.html", "lyb.asp?" + kDollar},
    {"dollar_shownews.html", "shownews.asp?" + kDollar + "&id=1101"},
};

TEST(PagesGolden, EveryPageIsItsGoldenFile) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  site.ExecuteFile(std::string(WAPSITE_SOURCE_DIR) + "/tests/data/edge_sites.sql");
  // Site 5: as many products as a page number can count, P1 the oldest.
  site.Execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 32767) "
      "INSERT INTO wap_product (id, userid, pname, ppic, pcontent) "
      "SELECT 100000 + i, 5, 'P' || i, 'p.jpg', 'D' FROM n");
  ServerProcess server(site.Path(), {"--domain", "http://m.example", "--threads", "1",
                                     "--metrics-listen", "127.0.0.1:0"});
  HttpClient client(server.Port());
  for (const Row& row : kRows) {
    const std::string_view name = row.golden;
    const bool html = name.ends_with(".html"), text = name.ends_with(".txt");
    SCOPED_TRACE(std::string(name) + ": " + row.target);
    Pairs headers;
    const char* accept = row.accept ? row.accept : html ? kXhtml : kWml;
    if (*accept != '\0') headers.emplace_back("Accept", accept);
    if (*row.form != '\0')
      headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    const HttpResponse r =
        client.Send(*row.form ? "POST" : "GET", "/wap/" + row.target, headers, row.form);
    EXPECT_EQ(r.status, text ? 400 : 200);
    EXPECT_EQ(r.Header("Content-Type"), text   ? "text/plain; charset=utf-8"
                                        : html ? "text/html; charset=utf-8"
                                               : "text/vnd.wap.wml; charset=utf-8");
    EXPECT_TRUE(MatchesGolden(name, r.body));
    if (!r.body.empty() && !text) {
      EXPECT_TRUE(html ? WellFormedXml(r.body) : ValidWml(r.body));
    }
    if (*row.form == '\0') {  // asked again: from the page cache when it is on, the same bytes
      const HttpResponse again = client.Send("GET", "/wap/" + row.target, headers, "");
      EXPECT_EQ(again.status, r.status);
      EXPECT_EQ(again.Header("Content-Type"), r.Header("Content-Type"));
      EXPECT_EQ(again.body, r.body) << "asked again";
    }
  }
  const char* cache_mb = std::getenv("WAPSITE_PAGE_CACHE_MB");
  if (cache_mb == nullptr || std::string_view(cache_mb) != "0") {
    const std::string metrics = HttpClient(server.MetricsPort()).Get("/metrics").body;
    const std::string name = "\nwapsite_page_cache_hits_total ";
    const std::size_t at = metrics.find(name);
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(std::atof(metrics.c_str() + at + name.size()), 0) << "no page came from the cache";
  }
}

}  // namespace
