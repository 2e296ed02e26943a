// SQL injection over HTTP. A real `wapsite serve` writes every statement it
// runs to a statement log, one a line: the statement's fixed text, then a tab
// and its bound values. Hostile values go into every value of every page, one
// at a time, the others ordinary. Every answer must be the page, the keyword
// filter's empty answer, a redirect or 400 (never 500); every statement text a
// page runs must be one it runs with ordinary values, so no value ever becomes
// statement text; and the database afterwards holds what it held before, but
// for the guestbook messages posted and the classes of the back-office member.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "support/back_office.h"
#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

struct Payload {
  std::string text;
  bool raw = false;  // sent as written: the server decodes its %-escapes
};

std::vector<Payload> Payloads() {
  std::vector<Payload> p;
  for (const char *text :
       {"'",      "\"",  "\\'", "\\",      "' OR '1'='1", "1 or 1=1", "1e3", "0x10",
        "1.5",    " 2 ", "+1",  "32768",   "-32769",      "",         " ",   "1--",
        "select", ";",   "%",   "declare", "Truncate",    "it's"}) {
    p.push_back({text});
  }
  for (const char *text :
       {"x'\r\n--", "首页'", "＇ OR ＇1＇=＇1", "'||(select m_password from web_member)||'",
        "99999999999999999999", "1/**/or/**/1=1", "1; DROP TABLE wap_classes; --",
        "1\n;delete from wap_lyb", "' UNION SELECT m_password FROM web_member --",
        "\xF0\x9F\x98\x80'"}) {
    p.push_back({text});
  }
  p.push_back({std::string("1\0' or '1'='1", 13)});
  for (const char *raw : {"%2527", "%u0027", "%00%27", "%C0%A7", "%EF%BC%87", "%FF%27",
                          "1%3Bdelete", "1+or+1=1", "1%0D%0A--"}) {
    p.push_back({raw, true});
  }
  return p;
}

// The pages: the demo site's (client 0, a visitor) and the back office's
// (client 1 signed in as member 2, client 2 as member 1).
struct Page {
  DemoPage page;
  int client;
};

std::vector<Page> Pages(const std::string &own_class, const std::string &token1,
                        const std::string &token2) {
  std::vector<Page> pages;
  for (const DemoPage &page : kDemoPages) pages.push_back({page, 0});
  pages.push_back({{"/admin/class.asp",
                    {},
                    {{"submit", "新建"},
                     {"classname", "Tea"},
                     {"type", "1"},
                     {"sortid", "0"},
                     {"token", token1}}},
                   1});
  pages.push_back({{"/admin/class.asp",
                    {},
                    {{"submit", "保存"},
                     {"edtclassname", "Re"},
                     {"edtsortid", "1"},
                     {"id", own_class},
                     {"token", token1}}},
                   1});
  pages.push_back({{"/admin/class.asp", {{"act", "del"}, {"id", "999"}}, {{"token", token1}}}, 1});
  pages.push_back({{"/createsite.asp", kDemoSite, {{"token", token2}}}, 2});
  return pages;
}

// "a=1&b=2", `raw_name`'s value as written when `raw`.
std::string Encoded(const Pairs &pairs, const std::string &raw_name, bool raw) {
  std::string out;
  for (const auto &[name, value] : pairs) {
    out += (out.empty() ? "" : "&") + name + "=" +
           (raw && name == raw_name ? value : PercentEncode(value));
  }
  return out;
}

// Every row of the tables a page may touch, as text, by table.
std::map<std::string, std::vector<std::string>> Dump(const DemoRoot &site) {
  std::map<std::string, std::vector<std::string>> tables;
  for (const auto &[table, columns] : std::map<std::string, std::vector<std::string>>{
           {"wap_classes", {"userid", "type", "classname", "sortid"}},
           {"wap_contents", {"cid", "title", "content"}},
           {"wap_setting", {"userid", "dircall", "templeteid"}},
           {"web_member", {"m_name", "m_password"}},
           {"wap_product", {"userid", "pname", "pcontent"}},
           {"wap_lyb", {"userid", "lyr", "title", "content", "hf"}}}) {
    std::string row = "cast(id as text)";
    for (const std::string &c : columns) row += "||'|'||coalesce(cast(" + c + " as text),'~')";
    tables[table] = site.Column("select " + row + " from " + table + " order by id");
  }
  return tables;
}

TEST(Injection, HostileValuesRunOnlyTheFixedStatementsAndChangeNothing) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  ASSERT_EQ(AddOwner(site.Path(), "other"), "2\n");
  const auto log_path = dir.path() / "statements.log";
  ServerProcess server(
      site.Path(), {"--statement-log", log_path.string(), "--login-failures-per-name", "1000000",
                    "--signins-per-address", "1000000", "--login-failures-per-address", "1000000"});
  std::vector<HttpClient> clients;
  for (int i = 0; i < 3; ++i) clients.emplace_back(server.Port()).UseCookies(true);
  const std::string tokens[] = {"", SignInOwner(clients[1], "other", "other-pw"),
                                SignInOwner(clients[2], "demo", "demo")};
  ASSERT_EQ(clients[1]
                .Post("/admin/class.asp", FormEncode({{"submit", "新建"},
                                                      {"classname", "Own"},
                                                      {"type", "1"},
                                                      {"token", tokens[1]}}))
                .status,
            302);
  const std::string own_class = site.Column("select id from wap_classes where userid=2").at(0);

  std::ifstream log(log_path, std::ios::binary);
  const auto texts_run = [&] {  // the statement texts logged since the last call
    std::set<std::string> texts;
    log.clear();
    for (std::string line; std::getline(log, line);) texts.insert(line.substr(0, line.find('\t')));
    return texts;
  };
  const auto send = [&](const Page &p, const std::string &slot, const Payload &payload, bool wml) {
    Pairs query = kDemoSite, form = p.page.form;
    if (p.client != 0) query.clear();
    query.insert(query.end(), p.page.query.begin(), p.page.query.end());
    for (Pairs *pairs : {&query, &form}) {
      for (auto &[name, value] : *pairs)
        if (name == slot) value = payload.text;
    }
    const std::string target =
        p.page.path + (query.empty() ? "" : "?" + Encoded(query, slot, payload.raw));
    const Pairs accept = {{"Accept", wml ? "text/vnd.wap.wml" : "application/xhtml+xml"}};
    HttpClient &client = clients[p.client];
    return form.empty() ? client.Get(target, accept)
                        : client.Post(target, Encoded(form, slot, payload.raw), accept);
  };

  // The member's first login replaces its plain password by a hash, once; the pages below run
  // the statements of every later login.
  ASSERT_EQ(HttpClient(server.Port())
                .Post("/wap/checklogin.asp?userid=1", "username=member&password=wap123&Userid=1")
                .status,
            302);
  // A visitor logged in as a member: its pages also check that the login still stands.
  HttpClient member(server.Port());
  member.UseCookies(true);
  member.Post("/wap/checklogin.asp?userid=1", "username=member&password=wap123&Userid=1");
  const std::string home = "/wap/index.asp?userid=1&username=demo&siteid=1";
  texts_run();
  HttpClient(server.Port()).Get(home);
  const std::set<std::string> anonymous = texts_run();
  member.Get(home);
  std::set<std::string> login_reads;
  for (const std::string &text : texts_run())
    if (anonymous.count(text) == 0) login_reads.insert(text);
  ASSERT_FALSE(login_reads.empty());
  const std::vector<Page> pages = Pages(own_class, tokens[1], tokens[2]);
  std::vector<std::set<std::string>> ordinary, shown;  // by page
  for (const Page &p : pages) {
    texts_run();
    for (bool wml : {true, false}) EXPECT_NE(Classify(send(p, "", {}, wml)), "500") << p.page.path;
    ordinary.push_back(texts_run());
    // A back-office form that cannot be saved shows its page again: those reads may run too.
    if (p.client != 0) clients[p.client].Get(p.page.path);
    shown.push_back(texts_run());
  }
  auto before = Dump(site);
  std::string all_ordinary;  // every ordinary text, to tell a payload from the
                             // words of a statement
  for (const auto &texts : ordinary) {
    for (const std::string &text : texts) all_ordinary += text + "\n";
  }

  int failures = 0, stored = 0, requests = 0;
  for (std::size_t i = 0; i < pages.size() && failures < 20; ++i) {
    const Page &p = pages[i];
    std::vector<std::string> slots;  // each name once: a payload goes to every value so named
    for (const auto &pairs : {p.client == 0 ? kDemoSite : Pairs{}, p.page.query, p.page.form}) {
      for (const auto &pair : pairs)
        if (std::find(slots.begin(), slots.end(), pair.first) == slots.end())
          slots.push_back(pair.first);
    }
    std::set<std::string> seen;
    for (const std::string &slot : slots) {
      int n = 0;
      for (const Payload &payload : Payloads()) {
        const HttpResponse r = send(p, slot, payload, ++n % 2 == 0);
        ++requests;
        const std::string kind = Classify(r);
        const std::set<std::string> texts = texts_run();
        const std::string where =
            p.page.path + " " + slot + "=" + payload.text.substr(0, 40) + ": ";
        // A message for a member site that does not exist is refused (404).
        const bool no_site = p.page.path == "/wap/newly.asp" && r.status == 404;
        // Any other form token is refused (403) before the page changes anything.
        const bool refused = slot == "token" && r.status == 403;
        // A back-office id that names no row of the owner's is a 404, nothing changed.
        const bool not_own = p.client != 0 && r.status == 404;
        if (kind != "page" && kind != "empty" && kind != "redirect" && kind != "400" && !no_site &&
            !refused && !not_own) {
          ADD_FAILURE() << where << kind << " " << r.body.substr(0, 200), ++failures;
        }
        stored += p.page.path == "/wap/newly.asp" && kind == "redirect";
        for (const std::string &text : texts) {
          if ((ordinary[i].count(text) == 0 && shown[i].count(text) == 0 &&
               login_reads.count(text) == 0) ||
              (payload.text.size() > 3 && all_ordinary.find(payload.text) == std::string::npos &&
               text.find(payload.text) != std::string::npos) ||
              kind == "empty") {
            ADD_FAILURE() << where << "ran " << text.substr(0, 200), ++failures;
          }
        }
        seen.insert(texts.begin(), texts.end());
      }
    }
    // Whether a page met a member's login depends on the requests before it: not compared.
    std::set<std::string> expected = ordinary[i];
    for (const std::string &text : login_reads) expected.erase(text), seen.erase(text);
    std::erase_if(seen, [&](const std::string &text) {
      return ordinary[i].count(text) == 0 && shown[i].count(text) != 0;
    });
    EXPECT_EQ(seen, expected) << p.page.path;
  }
  std::cout << "injection: " << requests << " requests\n";
  EXPECT_GT(stored, 0);

  auto after = Dump(site);
  const auto without_member2 = [](std::vector<std::string> rows) {
    std::erase_if(rows, [](const std::string &row) { return row.find("|2|") == row.find('|'); });
    return rows;
  };
  EXPECT_EQ(without_member2(after["wap_classes"]), without_member2(before["wap_classes"]));
  ASSERT_EQ(after["wap_lyb"].size(), before["wap_lyb"].size() + stored);
  after["wap_lyb"].resize(before["wap_lyb"].size());
  for (const char *table :
       {"wap_lyb", "wap_contents", "wap_setting", "web_member", "wap_product"}) {
    EXPECT_EQ(after[table], before[table]) << table;
  }
}

}  // namespace
