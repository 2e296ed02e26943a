// What an operator runs beside the site: the metrics listener (checked by promtool when it is
// installed), the access log file in the combined format without secrets, error lines with the
// journal's priorities, and a backup taken while visitors post that restores every post.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

TEST(Operations, CountsRequestsForMonitoringAndLogsThemWithoutSecrets) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  std::ofstream(site.Path() / "broken.asp") << "<%\nNot A Statement\n%>";
  std::ofstream(site.Path() / "a.txt") << "text";
  const fs::path access = dir.path() / "access.log";
  // Standard error stands in for the journal: JOURNAL_STREAM names it.
  ServerProcess server(site.Path(),
                       {"--access-log", access.string(), "--metrics-listen", "127.0.0.1:0"},
                       "export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/2);");
  const int metrics_port = server.MetricsPort();

  const struct {
    const char *target, *form, *referer;
    int status;
  } requests[] = {
      {"/wap/index.asp?userid=1&username=demo&siteid=1", "", "", 200},
      {"/wap/checklogin.asp?Userid=1&token=T0KEN", "username=demo&password=WR0NG", "", 200},
      {"/admin/", "username=demo&password=WR0NG", "", 200},
      {"/wap/login.asp?userid=1&password=PA55", "", "http://x/a.asp?WAPSESSIONID=SESS1D", 200},
      {"/broken.asp", "", "", 500},
      {"/missing.gif", "", "", 404},
      {"/a.txt", "", "", 200},
  };
  HttpClient client(server.Port());
  for (const auto& r : requests) {
    const Pairs referer = *r.referer ? Pairs{{"Referer", r.referer}} : Pairs{};
    EXPECT_EQ(
        (*r.form ? client.Post(r.target, r.form, referer) : client.Get(r.target, referer)).status,
        r.status)
        << r.target;
  }
  // With the failures above, four more of the name hold it; the attempts then refused unchecked
  // count too, so an operator sees a guessing run as long as it is.
  for (const char* target : {"/admin/", "/wap/checklogin.asp?Userid=1"}) {
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(client.Post(target, "username=demo&password=WR0NG").status, i < 4 ? 200 : 429)
          << target << " " << i;
  }

  // A request is counted once its reply is written, a moment after the client has it.
  HttpResponse scrape;
  for (int i = 0;
       i < 500 && scrape.body.find("page=\"static\",code=\"2xx\"} 1") == std::string::npos; ++i)
    scrape = HttpClient(metrics_port).Get("/metrics");
  EXPECT_EQ(scrape.Header("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
  for (const char* line :
       {"wapsite_http_requests_total{page=\"/wap/index.asp\",code=\"2xx\"} 1\n",
        "wapsite_http_requests_total{page=\"/broken.asp\",code=\"5xx\"} 1\n",
        "wapsite_http_requests_total{page=\"other\",code=\"4xx\"} 1\n",
        "wapsite_http_requests_total{page=\"static\",code=\"2xx\"} 1\n",
        "wapsite_http_request_duration_seconds_count{page=\"/wap/index.asp\"} 1\n",
        "wapsite_http_response_body_bytes_total{page=\"static\"} 4\n",
        "wapsite_http_open_connections 1\n", "wapsite_db_connections_in_use 0\n",
        "wapsite_signin_failures_total{kind=\"visitor\"} 7\n",
        "wapsite_signin_failures_total{kind=\"owner\"} 7\n", "wapsite_build_info{version="})
    EXPECT_NE(scrape.body.find(line), std::string::npos) << line << scrape.body;
  EXPECT_EQ(scrape.body.find("demo"), std::string::npos);  // no member in any label
  EXPECT_EQ(HttpClient(metrics_port).Get("/").status, 404);

  EXPECT_EQ(server.Stop(), 0);
  const std::string log = ReadFile(access), errors = server.Stderr();
  const std::regex combined(
      R"(127\.0\.0\.1 - - \[\d\d/\w{3}/\d{4}:\d\d:\d\d:\d\d \+0000\] "(GET|POST) \S+ HTTP/1\.1" \d{3} (\d+|-) "[^"]*" "[^"]*"\n)");
  std::size_t lines = 0;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), combined);
       it != std::sregex_iterator(); ++it)
    ++lines;
  EXPECT_EQ(lines, std::size(requests) + 12) << log;
  EXPECT_NE(log.find("\"GET /wap/login.asp?userid=1&password=*** HTTP/1.1\" 200 "),
            std::string::npos)
      << log;
  for (const char* secret : {"T0KEN", "WR0NG", "PA55", "SESS1D"})
    EXPECT_EQ((log + errors).find(secret), std::string::npos) << secret;
  EXPECT_TRUE(std::regex_search(errors, std::regex("(^|\n)<3>error [0-9a-f]+: GET /broken.asp: ")))
      << errors;

  if (std::system("command -v promtool >/dev/null") != 0)
    GTEST_SKIP() << "promtool is not installed";
  const fs::path text = dir.path() / "metrics.txt";
  std::ofstream(text, std::ios::binary) << scrape.body;
  EXPECT_EQ(std::system(("promtool check metrics < '" + text.string() + "'").c_str()), 0);
}

TEST(Operations, ABackupTakenDuringAPostFloodRestoresEveryAcknowledgedPost) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  const fs::path tar = dir.path() / "site.tar", restored = dir.path() / "restored";
  if (site.Postgres()) {  // the files only; the database is pg_dump's
    const CommandResult backup =
        RunWapsite({"backup", "--root", site.Path().string(), "--to", tar.string()});
    EXPECT_EQ(backup.exit_code, 0) << backup.err;
    EXPECT_NE(backup.out.find("pg_dump"), std::string::npos) << backup.out;
    EXPECT_EQ(
        RunWapsite({"restore", "--from", tar.string(), "--root", restored.string()}).exit_code, 0);
    EXPECT_TRUE(fs::exists(restored / "conn.asp"));
    return;
  }
  // A reader whose snapshot predates every post: no checkpoint can move the posts out of the
  // write-ahead log, so a backup that copied the database file alone would miss them.
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open((site.Path() / "data/site.db").c_str(), &reader), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "begin; select count(*) from wap_lyb", nullptr, nullptr, nullptr),
            SQLITE_OK);
  ServerProcess server(site.Path());
  std::mutex mutex;
  std::vector<std::string> acknowledged;
  std::atomic<bool> stop{false};
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([&, t] {
      HttpClient client(server.Port());
      for (int i = 0; !stop; ++i) {
        const std::string title = "flood-" + std::to_string(t) + "-" + std::to_string(i);
        if (client.Post("/wap/newly.asp?userid=1", "lyr=w&title=" + title + "&content=c").status !=
            302)
          continue;
        std::lock_guard lock(mutex);
        acknowledged.push_back(title);
      }
    });
  }
  auto count = [&] {
    std::lock_guard lock(mutex);
    return acknowledged.size();
  };
  while (count() < 100) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::size_t before = count();  // acknowledged before the backup began: all in it
  const CommandResult backup =
      RunWapsite({"backup", "--root", site.Path().string(), "--to", tar.string()});
  const std::size_t after = count();
  stop = true;
  for (auto& poster : posters) poster.join();
  ASSERT_EQ(backup.exit_code, 0) << backup.err;
  EXPECT_GT(after, before) << "the posts went on while the backup ran";
  EXPECT_GT(fs::file_size(site.Path() / "data/site.db-wal"), 0u);
  sqlite3_exec(reader, "rollback", nullptr, nullptr, nullptr);
  sqlite3_close(reader);

  const CommandResult refused =
      RunWapsite({"restore", "--from", tar.string(), "--root", site.Path().string()});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
  const CommandResult restore =
      RunWapsite({"restore", "--from", tar.string(), "--root", restored.string()});
  ASSERT_EQ(restore.exit_code, 0) << restore.err;
  for (const char* file :
       {"conn.asp", "wap/newly.asp", "wapTemplete/1/style.css", "waphome/demo/index.asp"})
    EXPECT_TRUE(fs::exists(restored / file)) << file;

  data::ConnectionPool pool(restored);
  data::Connection db(pool);
  db.Open("Provider=SQLOLEDB.1;Data Source=sqlite:data/site.db;Initial Catalog=site");
  EXPECT_EQ(db.Execute("pragma integrity_check")->Field(0).ToText(), "ok");
  std::set<std::string> stored;
  for (auto rows = db.Execute("select title from wap_lyb"); !rows->Eof(); rows->MoveNext())
    stored.insert(rows->Field(0).ToText());
  for (std::size_t i = 0; i < before; ++i)
    EXPECT_TRUE(stored.count(acknowledged[i])) << acknowledged[i];
  db.Close();
  ServerProcess again(restored);
  EXPECT_NE(HttpClient(again.Port()).Get("/wap/lyb.asp?userid=1").body.find("flood-"),
            std::string::npos);
}

}  // namespace
