// What an operator runs beside the site: the metrics listener (checked by promtool when it is
// installed), the access log file in the combined format without secrets, error lines with the
// journal's priorities, and a backup taken while visitors post that restores every post.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>

#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Operations, CountsRequestsForMonitoringAndLogsThemWithoutSecrets) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  std::ofstream(site.Path() / "broken.asp") << "<%\nNot A Statement\n%>";
  std::ofstream(site.Path() / "a.txt") << "text";
  const fs::path access = dir.path() / "access.log";
  // Standard error stands in for the journal: JOURNAL_STREAM names it.
  ServerProcess server(site.Path(), {"--access-log", access.string(), "--metrics-listen", "127.0.0.1:0"},
                       "export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/2);");
  std::smatch port;
  const std::string out = server.Stdout();
  ASSERT_TRUE(std::regex_search(out, port, std::regex("metrics on http://127.0.0.1:([0-9]+)/metrics"))) << out;

  const struct {
    const char *target, *form, *referer;
    int status;
  } requests[] = {
      {"/wap/index.asp?userid=1&username=demo&siteid=1", "", "", 200},
      {"/wap/checklogin.asp?Userid=1&token=T0KEN", "username=demo&password=WR0NG", "", 200},
      {"/wap/login.asp?userid=1&password=PA55", "", "http://x/a.asp?WAPSESSIONID=SESS1D", 200},
      {"/broken.asp", "", "", 500}, {"/missing.gif", "", "", 404}, {"/a.txt", "", "", 200},
  };
  HttpClient client(server.Port());
  for (const auto& r : requests) {
    const Pairs referer = *r.referer ? Pairs{{"Referer", r.referer}} : Pairs{};
    EXPECT_EQ((*r.form ? client.Post(r.target, r.form, referer) : client.Get(r.target, referer)).status, r.status) << r.target;
  }

  // A request is counted once its reply is written, a moment after the client has it.
  HttpResponse scrape;
  for (int i = 0; i < 500 && scrape.body.find("page=\"static\",code=\"2xx\"} 1") == std::string::npos; ++i)
    scrape = HttpClient(std::stoi(port[1])).Get("/metrics");
  EXPECT_EQ(scrape.Header("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
  for (const char* line : {"wapsite_http_requests_total{page=\"/wap/index.asp\",code=\"2xx\"} 1\n",
                           "wapsite_http_requests_total{page=\"/broken.asp\",code=\"5xx\"} 1\n",
                           "wapsite_http_requests_total{page=\"other\",code=\"4xx\"} 1\n",
                           "wapsite_http_requests_total{page=\"static\",code=\"2xx\"} 1\n",
                           "wapsite_http_request_duration_seconds_count{page=\"/wap/index.asp\"} 1\n",
                           "wapsite_http_response_body_bytes_total{page=\"static\"} 4\n",
                           "wapsite_http_open_connections 1\n", "wapsite_db_connections_in_use 0\n",
                           "wapsite_signin_failures_total{kind=\"visitor\"} 1\n", "wapsite_build_info{version="})
    EXPECT_NE(scrape.body.find(line), std::string::npos) << line << scrape.body;
  EXPECT_EQ(scrape.body.find("demo"), std::string::npos);  // no member in any label
  EXPECT_EQ(HttpClient(std::stoi(port[1])).Get("/").status, 404);

  EXPECT_EQ(server.Stop(), 0);
  const std::string log = Read(access), errors = server.Stderr();
  const std::regex combined(R"(127\.0\.0\.1 - - \[\d\d/\w{3}/\d{4}:\d\d:\d\d:\d\d \+0000\] "(GET|POST) \S+ HTTP/1\.1" \d{3} (\d+|-) "[^"]*" "[^"]*"\n)");
  std::size_t lines = 0;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), combined); it != std::sregex_iterator(); ++it) ++lines;
  EXPECT_EQ(lines, std::size(requests)) << log;
  EXPECT_NE(log.find("\"GET /wap/login.asp?userid=1&password=*** HTTP/1.1\" 200 "), std::string::npos) << log;
  for (const char* secret : {"T0KEN", "WR0NG", "PA55", "SESS1D"})
    EXPECT_EQ((log + errors).find(secret), std::string::npos) << secret;
  EXPECT_TRUE(std::regex_search(errors, std::regex("(^|\n)<3>error [0-9a-f]+: GET /broken.asp: "))) << errors;

  if (std::system("command -v promtool >/dev/null") != 0) GTEST_SKIP() << "promtool is not installed";
  const fs::path text = dir.path() / "metrics.txt";
  std::ofstream(text, std::ios::binary) << scrape.body;
  EXPECT_EQ(std::system(("promtool check metrics < '" + text.string() + "'").c_str()), 0);
}

}  // namespace
