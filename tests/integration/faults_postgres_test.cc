// The PostgreSQL server of a running `wapsite serve` stopped and started again while clients keep
// asking for pages: while it is down every answer is the "OpenDB():" failure (or the generic 500
// for a request caught half-way), and once it is back every page is served again, without a
// restart of wapsite: the pool drops the connections the server ended.
//
// Runs only when WAPSITE_PG is set (PostgreSQL is there to test with), and then on a server of
// its own (scripts/pg start), so that stopping it disturbs no other test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/markup_check.h"
#include "support/page_load.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::PageLoad;

constexpr const char* kWml = "text/vnd.wap.wml";
const std::string kSite = "userid=1&username=demo&siteid=1";

// Runs `command` with /bin/sh; its standard output, or std::runtime_error when it fails.
std::string Shell(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run: " + command);
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
  const int status = pclose(pipe);
  if (status != 0) throw std::runtime_error("failed (" + std::to_string(status) + "): " + command);
  return out;
}

// A throwaway PostgreSQL server in `dir`, stopped by the destructor. Stop and Start keep its
// port, so connection strings stay valid.
class PostgresServer {
 public:
  explicit PostgresServer(fs::path dir) : dir_(std::move(dir)) {
    connection_string_ = Shell(std::string(WAPSITE_SOURCE_DIR) + "/scripts/pg start '" +
                               dir_.string() + "' 2>>'" + Log() + "'");
    while (!connection_string_.empty() && connection_string_.back() == '\n') {
      connection_string_.pop_back();
    }
  }
  ~PostgresServer() {
    try {
      Shell(std::string(WAPSITE_SOURCE_DIR) + "/scripts/pg stop '" + dir_.string() + "' 2>>'" +
            Log() + "'");
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
  }
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  const std::string& ConnectionString() const { return connection_string_; }
  // A fast shutdown: the server ends its sessions, then exits. Returns once it has.
  void Stop() { PgCtl("-m fast -w -t 60 stop"); }
  // Returns once the server accepts connections.
  void Start() { PgCtl("-l '" + (dir_ / "server.log").string() + "' -w -t 60 start"); }

 private:
  std::string Log() const { return (dir_.parent_path() / "pg-script.log").string(); }
  void PgCtl(const std::string& args) {
    const char* bin = std::getenv("PG_BIN");
    const std::string owner = geteuid() == 0 ? "runuser -u postgres -- " : "";
    Shell(owner + (bin != nullptr ? bin : "/usr/lib/postgresql/15/bin") + "/pg_ctl -D '" +
          (dir_ / "data").string() + "' " + args + " >>'" + Log() + "' 2>&1");
  }

  fs::path dir_;
  std::string connection_string_;
};

TEST(PostgresFaults, PagesAnswerOpenDbWhileTheServerIsDownAndRecoverOnceItIsBack) {
  if (std::getenv("WAPSITE_PG") == nullptr) GTEST_SKIP() << "WAPSITE_PG is not set";
  testing_support::TempDir dir;
  // The server runs as the postgres user when the tests run as root; it must reach its folder.
  fs::permissions(dir.path(), fs::perms::others_exec | fs::perms::group_exec,
                  fs::perm_options::add);
  PostgresServer pg(dir.path() / "pg");
  const auto root = dir.path() / "site";
  const auto init = testing_support::RunWapsite(
      {"init", root.string(), "--demo", "--postgres", pg.ConnectionString()});
  ASSERT_EQ(init.exit_code, 0) << init.err;
  testing_support::ServerProcess server(root, {"--threads", "4"});

  // Answers are labelled with the phase they belong to: "down: " when sent after the server had
  // stopped and answered before it was asked to start, "up: " when sent after it was back.
  using Clock = PageLoad::Clock;
  constexpr auto kNever = Clock::time_point::max().time_since_epoch().count();
  std::atomic<Clock::rep> down_at{kNever}, starting_at{kNever}, up_at{kNever};
  testing_support::PageValidator pages;
  const std::vector<std::string> targets = {
      "/wap/index.asp?" + kSite, "/wap/newslist.asp?" + kSite + "&id=2&classname=x",
      "/wap/shownews.asp?" + kSite + "&id=3", "/wap/productlist.asp?" + kSite + "&Page=2",
      "/wap/lyb.asp?" + kSite + "&Page=3"};
  PageLoad load(server.Port(), targets, 4,
                [&](const PageLoad::Answer& a) -> std::string {
                  const auto sent = a.sent.time_since_epoch().count();
                  const auto answered = Clock::now().time_since_epoch().count();
                  const std::string phase = sent > up_at                               ? "up: "
                                            : sent > down_at && answered < starting_at ? "down: "
                                                                                       : "";
                  if (!a.response) return phase + "no answer";
                  const auto& r = *a.response;
                  if (r.status == 500 &&
                      std::regex_match(r.body, std::regex(R"(internal error \(id [0-9a-f]+\))"))) {
                    return phase + "500";
                  }
                  if (r.status != 200) return phase + "status " + std::to_string(r.status);
                  if (r.body.starts_with("OpenDB():")) {
                    const bool one_line = r.body.find('\n') == std::string::npos;
                    return phase + (one_line ? "opendb" : "opendb with details");
                  }
                  return phase + (pages.Valid(r.body) ? "page" : "invalid page");
                },
                {{"Accept", kWml}});
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("page") >= 20; })) << load.Summary();

  pg.Stop();
  down_at = Clock::now().time_since_epoch().count();
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("down: opendb") >= 20; })) << load.Summary();

  starting_at = Clock::now().time_since_epoch().count();
  pg.Start();
  up_at = Clock::now().time_since_epoch().count();
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("up: page") >= 40; })) << load.Summary();
  load.Stop();

  for (const std::string& kind : load.Kinds()) {
    EXPECT_TRUE(kind == "page" || kind == "opendb" || kind == "500" || kind == "down: opendb" ||
                kind == "down: 500" || kind == "up: page")
        << kind << "\n"
        << load.Summary();
  }
  EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
