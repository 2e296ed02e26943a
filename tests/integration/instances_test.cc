// Two `wapsite serve --sessions database` instances over one web root and one database (SQLite,
// or PostgreSQL with WAPSITE_ENGINE=postgres): a visitor's session and the failed-login limits
// are the same on both, a renewed id is renewed on both; the health paths and the drain on
// SIGTERM. (scripts/test-instances runs the same behind haproxy.)
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace std::chrono_literals;
using namespace testing_support;
namespace fs = std::filesystem;

const std::string kDemo = "userid=1&username=demo&siteid=1";

// The session id a response sets; empty when it sets none.
std::string NewSessionId(const HttpResponse& r) {
  for (const std::string& cookie : r.Headers("Set-Cookie")) {
    if (cookie.rfind("WAPSESSIONID=", 0) == 0) return cookie.substr(13, cookie.find(';') - 13);
  }
  return "";
}

HttpResponse Login(HttpClient& client, const std::string& id, const char* password) {
  return client.Post("/wap/checklogin.asp?" + kDemo,
                     FormEncode({{"username", "member"}, {"password", password}}),
                     {{"Cookie", "WAPSESSIONID=" + id}});
}

// Whether the instance knows session `id`: a page that stores a value then sends no new cookie.
bool Knows(HttpClient& client, const std::string& id) {
  const HttpResponse r = client.Get("/t/store.asp", {{"Cookie", "WAPSESSIONID=" + id}});
  EXPECT_EQ(r.status, 200);
  return NewSessionId(r).empty();
}

TEST(Instances, ShareSessionsAndFailedLoginLimitsAndDrainOnSigterm) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  fs::create_directories(site.Path() / "t");
  std::ofstream(site.Path() / "t" / "store.asp") << "<%Session(\"seen\") = \"1\"%>ok";
  const fs::path statements = dir.path() / "b.sql";
  ServerProcess a(site.Path(), {"--sessions", "database", "--drain-seconds", "2"});
  ServerProcess b(site.Path(), {"--sessions", "database", "--log-health", "--statement-log",
                                statements.string()});
  HttpClient to_a(a.Port()), to_b(b.Port());

  // A request without a session cookie leaves the session tables alone (the log so far holds
  // the check at start-up).
  const auto start_up = fs::file_size(statements);
  ASSERT_EQ(to_b.Get("/wap/index.asp?" + kDemo).status, 200);
  std::stringstream logged;
  logged << std::ifstream(statements).rdbuf();
  EXPECT_EQ(logged.str().find("wap_session", start_up), std::string::npos) << logged.str();

  const std::string first = NewSessionId(Login(to_a, "", "wap123"));
  ASSERT_FALSE(first.empty());
  EXPECT_TRUE(Knows(to_b, first));
  EXPECT_FALSE(Knows(to_b, "0123456789abcdef0123456789abcdef"));
  // Only the id's hash is stored.
  EXPECT_EQ(site.Column("select count(*) from wap_sessions where id_hash = '" + first + "'"),
            std::vector<std::string>{"0"});

  // A login through b renews the id for a as well.
  const std::string second = NewSessionId(Login(to_b, first, "wap123"));
  ASSERT_FALSE(second.empty());
  EXPECT_NE(second, first);
  EXPECT_FALSE(Knows(to_a, first));
  EXPECT_TRUE(Knows(to_a, second));

  // Five failures of one name, spread over both, refuse the name on both.
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Login(i % 2 ? to_a : to_b, "", "wrong").status, 200) << i;
  }
  EXPECT_EQ(Login(to_a, "", "wap123").status, 429);
  EXPECT_EQ(Login(to_b, "", "wap123").status, 429);

  // Health: no access lines unless --log-health.
  for (HttpClient* client : {&to_a, &to_b}) {
    EXPECT_EQ(client->Get("/livez").status, 200);
    EXPECT_EQ(client->Get("/readyz?full").body, "ready");
  }
  // SIGTERM: not ready at once, yet serving until the drain ends, then a clean exit.
  a.Signal(SIGTERM);
  ASSERT_TRUE(a.WaitForOutput("draining"));
  const HttpResponse draining = to_a.Get("/readyz");
  EXPECT_EQ(draining.status, 503);
  EXPECT_EQ(draining.body, "draining");
  EXPECT_EQ(to_a.Get("/livez").status, 200);
  EXPECT_EQ(to_a.Get("/wap/index.asp?" + kDemo).status, 200);
  EXPECT_EQ(a.WaitForExit(10s), 0);
  EXPECT_EQ(a.Stdout().find("z "), std::string::npos) << a.Stdout();
  EXPECT_EQ(b.Stop(), 0);
  EXPECT_NE(b.Stdout().find("\"GET /readyz?full HTTP/1.1\" 200"), std::string::npos) << b.Stdout();
}

}  // namespace
