// SQL injection over HTTP. A real `wapsite serve` on a demo web root writes every statement it
// runs to a statement log. A corpus of hostile values goes into every request value of every page,
// one value at a time, the others keeping ordinary values. Each answer must be the page itself
// (200 and valid markup), the keyword filter's empty answer, a redirect where the page redirects,
// or 400: never 500. Every statement run must have one of the shapes the page means to run (the
// pages' fixed texts with their bound values; the back office's texts as literals with doubled
// apostrophes, numbers as plain decimals), and the texts a page compares or stores must be the
// values sent, verbatim. Afterwards the database holds what it held before,
// plus exactly the guestbook messages the test posted and the back-office member's own classes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::HeaderList;
using testing_support::HttpClient;
using testing_support::HttpResponse;

// A hostile value. A raw one goes on the wire as written (its %-escapes are the server's to
// decode); the others are %-encoded, so the page receives exactly `text`.
struct Payload {
  std::string text;
  bool raw = false;
};

std::vector<Payload> Payloads() {
  std::vector<Payload> p;
  for (const char* text : {
           // quotes and literals
           "'", "''", "1'", "\"", "\")", "\\'", "\\", "' OR '1'='1", "x' or 'a'='a' --",
           "' or ''='", "'||(select m_password from web_member)||'",
           "' AND (SELECT count(*) FROM web_member)>0 AND ''='",
           // numbers with tricks
           "1 or 1=1", "1 OR 1=1", "-1 or 1=1", "1e3", "0x10", "1.5", "-0", " 2 ", "+1", "1,2",
           ".5", "1.", "32767", "32768", "-32769", "99999999999999999999", "", " ", "1 ", "1\t",
           // comments and stacked statements
           "1--", "--", "1/*", "*/1", "1/**/or/**/1=1", "1;delete from wap_lyb",
           "1; DROP TABLE wap_classes; --", "'; delete from web_member; --",
           "1;update web_member set m_password='x'", "1\n;delete from wap_lyb", "x'\r\n--",
           // UNION
           "1 UNION SELECT * FROM web_member", "-1 union select 1,2,3,4,5,6",
           "' UNION SELECT m_password FROM web_member --",
           // keyword-only values (the filter's list) and near misses
           "select", "SELECT", ";", "and", "*", "%", "char", "declare", "exec", "Truncate",
           "select ", "selec", "it's",
           // unicode
           "首页'", "＇ OR ＇1＇=＇1", "ʼ OR ʼ1ʼ=ʼ1", "\xF0\x9F\x98\x80'"}) {
    p.push_back({text});
  }
  p.push_back({std::string("a\0b", 3)});
  p.push_back({std::string("1\0' or '1'='1", 13)});
  // Encodings the server decodes itself: once only, so %2527 arrives as %27.
  for (const char* raw : {"%27", "%2527", "%u0027", "%00", "%00%27", "%C0%A7", "%E0%80%A7",
                          "%EF%BC%87", "%FF%27", "%27%20OR%20%271%27%3D%271", "1%3Bdelete",
                          "%2A", "1+or+1=1", "1%0D%0A--"}) {
    p.push_back({raw, true});
  }
  // Very long values (they go in a form body: a query string that long exceeds the header limit).
  std::string quotes;
  while (quotes.size() < 100'000) quotes += "' OR '1'='1 ";
  p.push_back({quotes});
  p.push_back({std::string(100'000, '9')});
  p.push_back({"首" + std::string(60'000, 'a') + "'"});
  return p;
}

// A statement with every text literal written '?' and every number N, and its literals' texts. A
// logged statement with bound values is its text, a tab and the values (texts quoted as
// literals): both parts are shaped so.
struct Shape {
  std::string form;
  std::vector<std::string> texts;
};

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Where the bound values of a logged statement start: its first tab outside a quoted literal.
std::size_t ValuesTab(std::string_view sql) {
  bool quoted = false;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] == '\'') quoted = !quoted;
    if (sql[i] == '\t' && !quoted) return i;
  }
  return std::string_view::npos;
}

Shape ShapeOf(std::string_view sql) {
  if (const std::size_t tab = ValuesTab(sql); tab != std::string_view::npos) {
    Shape shape = ShapeOf(sql.substr(0, tab));
    const Shape values = ShapeOf(sql.substr(tab + 1));
    shape.form += "\t" + values.form;
    shape.texts.insert(shape.texts.end(), values.texts.begin(), values.texts.end());
    return shape;
  }
  Shape shape;
  for (std::size_t i = 0; i < sql.size();) {
    const char c = sql[i];
    const char before = i == 0 ? ' ' : sql[i - 1];
    const bool digit_next = i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9';
    if (c == '\'') {
      std::string text;
      std::size_t j = i + 1;
      for (;; ++j) {
        if (j >= sql.size()) return {"<an unterminated literal>", {}};
        if (sql[j] == '\'') {
          if (j + 1 < sql.size() && sql[j + 1] == '\'') {
            text.push_back('\'');
            ++j;
            continue;
          }
          break;
        }
        text.push_back(sql[j]);
      }
      shape.form += "'?'";
      shape.texts.push_back(std::move(text));
      i = j + 1;
    } else if (!IsWordChar(before) && ((c >= '0' && c <= '9') || (c == '-' && digit_next))) {
      ++i;
      while (i < sql.size() && sql[i] >= '0' && sql[i] <= '9') ++i;
      shape.form += "N";
    } else {
      shape.form.push_back(c);
      ++i;
    }
  }
  return shape;
}

// A line of the statement log back to the statement: \\, \r and \n stand for \, CR and LF.
std::string Unescaped(std::string_view line) {
  std::string sql;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      const char next = line[++i];
      sql.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : next);
    } else {
      sql.push_back(line[i]);
    }
  }
  return sql;
}

enum class Client { kVisitor, kClassAdmin, kSiteAdmin };

// One page as the test drives it: its ordinary values (each one, in turn, replaced by a payload),
// the statement shapes it may run, and what it may answer.
struct PageCase {
  const char* name;
  const char* path;
  HeaderList query;
  HeaderList form;
  std::vector<std::string> shapes;
  bool filtered = true;      // runs the keyword filter (every page but the back office's)
  bool redirects = false;    // may answer 302
  bool must_redirect = false;
  // Form values that its statements carry as literals, in order; each must be the value sent.
  std::vector<std::string> literal_values;
  Client client = Client::kVisitor;
};

// A list page's statements: its keys (SQLite), or its count and a page by offset or by the key
// at an offset (PostgreSQL); then the page from its key.
std::vector<std::string> ListShapes(const std::string& table) {
  const std::string keys = "select id from " + table + " where (userid=?) order by id desc";
  return {keys + "\tN",
          "select * from " + table + " where (userid=?) and id <= ? order by id desc\nLIMIT ?\tN, N, N",
          "select count(*) from (\nselect * from " + table + " where userid=?\n) w\tN",
          "select * from " + table + " where userid=? order by id desc\nLIMIT ? OFFSET ?\tN, N, N",
          "select * from " + table + " where (userid=?) and id <= (" + keys +
              " limit N offset ?) order by id desc\nLIMIT ?\tN, N, N, N"};
}

const std::vector<std::string> kCidShape = {"select * from v_wap_contents where cid=?\tN"};

std::vector<PageCase> Pages(int own_class_id) {
  const HeaderList site = {{"userid", "1"}, {"username", "demo"}, {"siteid", "1"}};
  auto with = [&](HeaderList extra) {
    HeaderList all = site;
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
  };
  return {
      {"home", "/wap/index.asp", site, {},
       {"select * from wap_classes where userid=? order by sortid,id\tN",
        "select dircall from wap_setting where userid=?\tN"},
       true, false, false, {}},
      {"news list", "/wap/newslist.asp", with({{"id", "2"}, {"classname", "新闻"}}), {}, kCidShape,
       true, false, false, {}},
      {"single content", "/wap/showcontent.asp", with({{"id", "1"}, {"classname", "关于"}}), {},
       kCidShape, true, false, false, {}},
      {"article", "/wap/shownews.asp", with({{"id", "3"}}), {},
       {"select * from v_wap_contents where id=?\tN"}, true, false, false, {}},
      {"products", "/wap/productlist.asp", with({{"Page", "2"}}), {},
       ListShapes("wap_product"),
       true, false, false, {}},
      {"guestbook", "/wap/lyb.asp", with({{"Page", "1"}}), {},
       ListShapes("wap_lyb"),
       true, false, false, {}},
      {"login form", "/wap/login.asp", site, {}, {}, true, false, false, {}},
      {"logout", "/wap/logout.asp", site, {}, {}, true, true, true, {}},
      {"login", "/wap/checklogin.asp", site,
       {{"username", "member"}, {"password", "wap123"}, {"Userid", "1"}},
       {"select * from web_member where m_Name=? And m_id=? and m_password=?\t'?', N, '?'"}, true, true,
       false, {"username", "password"}},
      {"new message", "/wap/newly.asp", site,
       {{"lyr", "访客"}, {"title", "问茶"}, {"content", "有货吗"}},
       {"insert into wap_lyb (userid,lyr,title,content,lytime) values (?,?,?,?,?)\t"
        "N, '?', '?', '?', '?'"}, true,
       true, false, {"lyr", "title", "content"}},
      {"class add", "/admin/class.asp", {},
       {{"submit", "新建"}, {"classname", "Tea"}, {"type", "1"}, {"sortid", "0"}},
       {"insert into wap_classes (userid,type,classname,sortid) values (N,N,'?',N)"}, false,
       false, false, {}, Client::kClassAdmin},
      {"class rename", "/admin/class.asp", {},
       {{"submit", "保存"},
        {"edtclassname", "Renamed"},
        {"edtsortid", "1"},
        {"id", std::to_string(own_class_id)}},
       {"update wap_classes set classname='?',sortid=N where id=N and userid=N"}, false, false,
       false, {}, Client::kClassAdmin},
      {"class delete", "/admin/class.asp", {{"act", "del"}, {"id", "999"}}, {},
       {"select count(*) from wap_classes where userid= N and id=N", "BEGIN",
        "delete from wap_contents where cid=N", "delete from wap_classes where id=N", "COMMIT"},
       false, false, false, {}, Client::kClassAdmin},
      {"site creation", "/createsite.asp", site, {},
       {"select templeteid from wap_setting where userid=N"}, false, false, false, {},
       Client::kSiteAdmin},
  };
}

bool IsFilterKeyword(std::string value) {
  for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* k : {"'", ";", "and", "exec", "insert", "select", "delete", "update", "count",
                        "*", "%", "chr", "mid", "master", "truncate", "char", "declare"}) {
    if (value == k) return true;
  }
  return false;
}

std::string Encoded(const HeaderList& pairs, const std::map<std::string, bool>& raw) {
  std::string out;
  for (const auto& [name, value] : pairs) {
    if (!out.empty()) out.push_back('&');
    const auto it = raw.find(name);
    out += name + "=" + (it != raw.end() && it->second ? value : testing_support::PercentEncode(value));
  }
  return out;
}

class Injection : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto init = testing_support::RunWapsite({"init", Root().string(), "--demo"});
    ASSERT_EQ(init.exit_code, 0) << init.err;
    // The back office signs its members in itself; these pages of the test do it.
    std::ofstream(Root() / "signin_class.asp")
        << "<%Session(\"userid\") = \"2\" : Session(\"UserName\") = \"other\"%>";
    std::ofstream(Root() / "signin_site.asp")
        << "<%Session(\"userid\") = \"1\" : Session(\"UserName\") = \"inj\"%>";
    server_ = std::make_unique<testing_support::ServerProcess>(
        Root(), std::vector<std::string>{"--statement-log", Log().string()});
    for (auto& client : clients_) {
      client = std::make_unique<HttpClient>("127.0.0.1", server_->Port());
      client->UseCookies(true);
    }
    ASSERT_EQ(clients_[1]->Get("/signin_class.asp").status, 200);
    ASSERT_EQ(clients_[2]->Get("/signin_site.asp").status, 200);
  }
  void TearDown() override {
    for (auto& client : clients_) client.reset();
    if (server_) {
      EXPECT_EQ(server_->Stop(), 0);
    }
  }

  fs::path Root() const { return dir_.path() / "site"; }
  fs::path Log() const { return dir_.path() / "statements.log"; }

  // The statements logged since the last call.
  std::vector<std::string> NewStatements() {
    std::ifstream in(Log(), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(log_offset_));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> statements;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      statements.push_back(Unescaped(std::string_view(text).substr(start, end - start)));
    }
    log_offset_ += start;
    return statements;
  }

  // Every row of every table (and the schema) by table; NULL as "(null)".
  using Row = std::vector<std::string>;
  std::map<std::string, std::vector<Row>> Dump() const {
    data::ConnectionPool pool(Root());
    data::Connection connection(pool);
    connection.Open(
        "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=sqlite:data/site.db;"
        "User ID=;Password=;Initial Catalog=site");
    std::map<std::string, std::vector<Row>> tables;
    for (const char* sql : {
             "select id,userid,type,classname,sortid from wap_classes order by id",
             "select * from wap_contents order by id", "select * from wap_setting order by id",
             "select * from web_member order by id", "select * from wap_product order by id",
             "select id,userid,lyr,title,content,lytime,hf,hftime from wap_lyb order by id",
             "select type,name,sql from sqlite_master order by name"}) {
      const std::string table = std::string(sql).substr(std::string(sql).find(" from ") + 6);
      data::Recordset rows;
      for (rows.Open(sql, connection); !rows.Eof(); rows.MoveNext()) {
        Row row;
        for (std::size_t i = 0; i < rows.FieldCount(); ++i) {
          const data::Value& v = rows.Field(i);
          row.push_back(v.IsNull() ? "(null)" : v.ToText());
        }
        tables[table.substr(0, table.find(' '))].push_back(std::move(row));
      }
    }
    return tables;
  }

  testing_support::TempDir dir_;
  std::unique_ptr<testing_support::ServerProcess> server_;
  std::unique_ptr<HttpClient> clients_[3];  // by Client
  std::size_t log_offset_ = 0;
};

TEST_F(Injection, HostileValuesRunOnlyTheIntendedStatementsAndChangeNothing) {
  // The back-office member (userid 2) owns one class of its own to rename.
  ASSERT_EQ(clients_[1]
                ->Post("/admin/class.asp",
                       testing_support::FormEncode(
                           {{"submit", "新建"}, {"classname", "Own"}, {"type", "1"}}))
                .status,
            200);
  const int own_class_id = std::stoi(Dump()["wap_classes"].back()[0]);
  NewStatements();
  const auto before = Dump();

  const std::vector<Payload> payloads = Payloads();
  std::vector<std::string> failures;
  std::vector<std::vector<std::string>> stored_messages;  // lyr, title, content, userid
  int requests = 0, values = 0, pages = 0;
  for (const PageCase& page : Pages(own_class_id)) {
    ++pages;
    std::vector<std::pair<std::string, bool>> slots;  // name, in the form
    for (const auto& [name, value] : page.query) slots.emplace_back(name, false);
    for (const auto& [name, value] : page.form) slots.emplace_back(name, true);
    values += static_cast<int>(slots.size());
    for (const auto& [slot, in_form] : slots) {
      for (std::size_t n = 0; n < payloads.size(); ++n) {
        const Payload& payload = payloads[n];
        // A long value moves from the query string to the form, where the item lookup finds it.
        const bool to_form = in_form || payload.text.size() > 4000;
        HeaderList query, form = page.form;
        for (const auto& pair : page.query) {
          if (pair.first != slot) query.push_back(pair);
        }
        if (in_form) {
          for (auto& pair : form) {
            if (pair.first == slot) pair.second = payload.text;
          }
        } else if (to_form) {
          form.emplace_back(slot, payload.text);
        } else {
          query.emplace_back(slot, payload.text);
        }
        const std::map<std::string, bool> raw = {{slot, payload.raw}};
        const std::string target =
            std::string(page.path) + (query.empty() ? "" : "?" + Encoded(query, raw));
        const HeaderList accept = {
            {"Accept", n % 2 == 0 ? "text/vnd.wap.wml" : "application/xhtml+xml"}};
        HttpClient& client = *clients_[static_cast<int>(page.client)];
        const HttpResponse r =
            form.empty() ? client.Get(target, accept)
                         : client.Post(target, Encoded(form, raw),
                                       "application/x-www-form-urlencoded", accept);
        ++requests;
        const std::vector<std::string> statements = NewStatements();

        std::string where = std::string(page.name) + ", " + slot + " = " +
                            (payload.raw ? "raw " : "") + payload.text.substr(0, 60);
        const auto fail = [&](const std::string& what) {
          failures.push_back(where + ": " + what);
        };
        const bool filter_hit = page.filtered && r.status == 200 && r.body.empty();
        if (r.status == 200 && !r.body.empty()) {
          if (auto valid = testing_support::ValidPage(r.body); !valid) fail(valid.message());
        } else if (!(r.status == 400 || filter_hit || (r.status == 302 && page.redirects))) {
          fail("answered " + std::to_string(r.status) + ": " + r.body.substr(0, 200));
        }
        if (page.filtered && !payload.raw && IsFilterKeyword(payload.text) && !filter_hit) {
          fail("a keyword value passed the filter");
        }
        if (filter_hit && !statements.empty()) fail("statements ran after the filter");
        if (page.must_redirect && r.status == 200 && !filter_hit) fail("no redirect");
        for (const std::string& sql : statements) {
          const Shape shape = ShapeOf(sql);
          if (std::find(page.shapes.begin(), page.shapes.end(), shape.form) == page.shapes.end()) {
            fail("ran: " + sql.substr(0, 300));
            continue;
          }
          // A compared or stored text is the value sent (when the test knows how it decodes).
          for (std::size_t i = 0; i < page.literal_values.size() && !payload.raw; ++i) {
            const std::string& name = page.literal_values[i];
            // The form's values of that name, as the host joins repeated ones; a query value of
            // the same name (the site's username) is not the form's.
            std::string sent;
            bool first = true;
            for (const auto& [key, value] : form) {
              if (key != name) continue;
              sent += (first ? "" : ", ") + value;
              first = false;
            }
            if (i >= shape.texts.size() || shape.texts[i] != sent) {
              fail("the literal for " + name + " is not the value sent (" +
                   (i < shape.texts.size() ? std::to_string(shape.texts[i].size()) : "no") +
                   " bytes, sent " + std::to_string(sent.size()) + ")");
            }
          }
        }
        if (std::string(page.name) == "new message" && r.status == 302) {
          const Shape shape = statements.empty() ? Shape{} : ShapeOf(statements.back());
          if (shape.texts.size() == 4) {
            // The member is the userid the page was given, the first bound value.
            const std::string& sql = statements.back();
            const std::size_t at = sql.find('\t') + 1;
            stored_messages.push_back({shape.texts[0], shape.texts[1], shape.texts[2],
                                       sql.substr(at, sql.find(',', at) - at)});
          }
        }
        if (failures.size() > 30) break;
      }
    }
  }
  std::cout << "injection: " << payloads.size() << " payloads in " << values << " values of "
            << pages << " pages: " << requests << " requests\n";
  for (std::size_t i = 0; i < std::min<std::size_t>(failures.size(), 30); ++i) {
    ADD_FAILURE() << failures[i];
  }
  EXPECT_GT(stored_messages.size(), 0u);

  // Afterwards: every table as before, but for the messages posted and the classes of member 2.
  auto after = Dump();
  for (const auto& [table, rows] : before) {
    if (table == "wap_lyb" || table == "wap_classes") continue;
    EXPECT_EQ(after[table], rows) << table;
  }
  const auto others = [](const std::vector<Row>& rows) {
    std::vector<Row> kept;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(kept),
                 [](const Row& row) { return row[1] != "2"; });
    return kept;
  };
  EXPECT_EQ(others(after["wap_classes"]), others(before.at("wap_classes")));
  const auto& old_messages = before.at("wap_lyb");
  const auto& messages = after["wap_lyb"];
  ASSERT_EQ(messages.size(), old_messages.size() + stored_messages.size());
  EXPECT_TRUE(std::equal(old_messages.begin(), old_messages.end(), messages.begin()));
  for (std::size_t i = 0; i < stored_messages.size(); ++i) {
    const Row& row = messages[old_messages.size() + i];
    EXPECT_EQ(row[1], stored_messages[i][3]);
    EXPECT_TRUE(std::equal(row.begin() + 2, row.begin() + 5, stored_messages[i].begin()))
        << row[2].substr(0, 60) << " | " << row[3].substr(0, 60);
    EXPECT_EQ(row[6], "(null)");
    EXPECT_EQ(row[7], "(null)");
  }
}

}  // namespace
