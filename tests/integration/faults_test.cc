// Faults under a running `wapsite serve`: its SQLite file removed or locked, its PostgreSQL server
// stopped, clients hanging up half-way, and SIGTERM with a request in flight. While a fault lasts
// a page answers the one-line "OpenDB():" failure or the generic 500; afterwards the site serves
// again without a restart.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <future>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using namespace std::chrono_literals;

// The kinds of answer the reading pages give now, in order; with `kind`, that kind for each.
std::string Answers(int port, const std::string& kind = "") {
  std::string kinds;
  for (std::size_t i = 0; i < kReadingPages; ++i)
    kinds += (kind.empty() ? Classify(HttpClient(port).Get(kDemoPages[i].Target())) : kind) + " ";
  return kinds;
}

// A demo site made by `wapsite init`, in a folder of its own.
struct Faults : ::testing::Test {
  TempDir dir_;
  const fs::path root_ = dir_.path() / "site";
  void SetUp() override { ASSERT_EQ(RunWapsite({"init", root_.string(), "--demo"}).exit_code, 0); }
};

TEST_F(Faults, ASqliteFileRemovedFailsOpenDbUntilItIsBack) {
  const fs::path data = root_ / "data";
  ServerProcess server(root_, {"--threads", "4"});
  EXPECT_EQ(Answers(server.Port()), Answers(0, "page"));
  fs::copy_file(data / "site.db", dir_.path() / "backup.db");
  for (const char* name : {"site.db", "site.db-wal", "site.db-shm"}) fs::remove(data / name);
  EXPECT_EQ(Answers(server.Port()).find("page"), std::string::npos) << Answers(server.Port());
  EXPECT_NE(Answers(server.Port()).find("opendb"), std::string::npos);
  fs::copy_file(dir_.path() / "backup.db", data / "site.db");
  ASSERT_EQ(RunWapsite({"class", "add", "--root", root_.string(), "--userid", "1", "--name",
                        "Restored", "--type", "1", "--sortid", "-1"})
                .exit_code,
            0);
  EXPECT_EQ(Answers(server.Port()), Answers(0, "page"));
  // The home page's first class is the one added to the copy put back.
  EXPECT_NE(HttpClient(server.Port()).Get(kDemoPages[0].Target()).body.find("&#x52;&#x65;&#x73;"),
            std::string::npos);
}

// Pages waiting on the lock hold every page thread, and still the I/O threads answer static files.
TEST_F(Faults, ASqliteLockHoldsUpWritersBoundedlyAndReadersAndFilesNotAtAll) {
  ServerProcess server(root_, {"--threads", "1", "--page-threads", "3"});
  const auto post = [&](const std::string& name) {
    return Classify(HttpClient(server.Port())
                        .Post(kDemoPages[10].Target(),
                              FormEncode({{"lyr", name}, {"title", "t"}, {"content", "c"}})));
  };
  {
    data::ConnectionPool pool(root_);  // another process's lock, as an operator's BEGIN EXCLUSIVE
    data::Connection locker(pool);
    locker.Open("Provider=SQLOLEDB.1;Data Source=sqlite:data/site.db;Initial Catalog=site");
    locker.Execute("BEGIN EXCLUSIVE");
    locker.Execute("update wap_classes set sortid=sortid where id=1");
    EXPECT_EQ(post("Locked out"), "500");
    const CommandResult added = RunWapsite({"class", "add", "--root", root_.string(), "--userid",
                                            "1", "--name", "L", "--type", "1", "--sortid", "9"});
    EXPECT_EQ(added.exit_code, 1);
    EXPECT_NE(added.err.find("database is locked"), std::string::npos) << added.err;
    EXPECT_EQ(Answers(server.Port()), Answers(0, "page"));
    std::vector<std::future<std::string>> waiting;
    for (int i = 0; i < 3; ++i)
      waiting.push_back(std::async(std::launch::async, post, "Waited " + std::to_string(i)));
    std::this_thread::sleep_for(300ms);  // every page thread now waits on the lock
    EXPECT_EQ(HttpClient(server.Port()).Get("/waphome/demo/style.css").status, 200);
    for (auto& answer : waiting) EXPECT_EQ(answer.wait_for(0s), std::future_status::timeout);
    locker.Execute("COMMIT");
    for (auto& answer : waiting) EXPECT_EQ(answer.get(), "redirect");
  }
  EXPECT_EQ(post("After the lock"), "redirect");
  const std::string book = HttpClient(server.Port()).Get(DemoPage{"/wap/lyb.asp"}.Target()).body;
  EXPECT_NE(book.find("After the lock"), std::string::npos);
  EXPECT_EQ(book.find("Locked out"), std::string::npos);  // the refused insert was rolled back
}

TEST(FaultsPostgres, AServerStoppedFailsOpenDbUntilItIsBack) {
  if (std::getenv("WAPSITE_PG") == nullptr) GTEST_SKIP() << "WAPSITE_PG is not set";
  TempDir dir;  // the server runs as postgres when the tests run as root: it must reach its folder
  fs::permissions(dir.path(), fs::perms::others_exec | fs::perms::group_exec,
                  fs::perm_options::add);
  const std::string pg = (dir.path() / "pg").string(),
                    scripts = std::string(WAPSITE_SOURCE_DIR) + "/scripts/pg";
  const std::string pg_ctl =
      std::string(geteuid() == 0 ? "runuser -u postgres -- " : "") +
      (std::getenv("PG_BIN") ? std::getenv("PG_BIN") : "/usr/lib/postgresql/15/bin") +
      "/pg_ctl -D " + pg + "/data ";
  ASSERT_EQ(std::system((scripts + " start " + pg + " >" + pg + ".conn 2>/dev/null").c_str()), 0);
  std::string connection;
  std::getline(std::ifstream(pg + ".conn"), connection);
  const fs::path root = dir.path() / "site";
  ASSERT_EQ(RunWapsite({"init", root.string(), "--demo", "--postgres", connection}).exit_code, 0);
  {
    ServerProcess server(root, {"--threads", "4"});
    EXPECT_EQ(Answers(server.Port()), Answers(0, "page"));
    ASSERT_EQ(std::system((pg_ctl + "-m fast -w stop >/dev/null").c_str()), 0);
    const std::string down = Answers(server.Port());
    EXPECT_EQ(down.find("page"), std::string::npos) << down;
    EXPECT_NE(down.find("opendb"), std::string::npos) << down;
    ASSERT_EQ(std::system((pg_ctl + "-l " + pg + "/server.log -w start >/dev/null").c_str()), 0);
    EXPECT_EQ(Answers(server.Port()), Answers(0, "page"));
  }
  std::system((scripts + " stop " + pg + " 2>/dev/null").c_str());
}

TEST_F(Faults, ClientsHangingUpHurtNoOneAndSigtermFinishesTheAnswersInFlight) {
  const std::size_t big_size = 16 << 20;  // more than the socket buffers hold
  std::ofstream(root_ / "big.txt", std::ios::binary) << std::string(big_size, 'b');
  ServerProcess server(root_, {"--threads", "2"});
  const int port = server.Port();
  const std::string big = "GET /big.txt HTTP/1.1\r\nHost: x\r\n\r\n";
  for (int round = 0; round < 4; ++round) {
    RawConnection quit(port), reset(port), line(port), head(port), body(port), unread(port);
    quit.Send(big);
    reset.Send(big);
    line.Send("GET /wap/index.asp?userid=1&user");
    head.Send("GET " + kDemoPages[0].Target() + " HTTP/1.1\r\nHost: x\r\nAcce");
    body.Send("POST " + kDemoPages[10].Target() +
              " HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\nlyr=a&");
    unread.Send("GET " + kDemoPages[0].Target() + " HTTP/1.1\r\nHost: x\r\n\r\n");
    std::this_thread::sleep_for(100ms);
    reset.Reset();
    head.Reset();
  }
  EXPECT_EQ(Answers(port), Answers(0, "page"));
  EXPECT_TRUE(server.WaitForOutput("\"GET /big.txt HTTP/1.1\" 200 - "));  // those answers broke off
  EXPECT_EQ(HttpClient(port).Get("/big.txt").body.size(), big_size);

  RawConnection slow(port), idle(port);
  idle.Send("GET /wap/login.asp?userid=1 HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(idle.ReadResponse().status, 200);
  slow.Send(big);
  std::this_thread::sleep_for(300ms);
  server.Signal(SIGTERM);
  EXPECT_TRUE(idle.WaitForClose(10s));
  EXPECT_EQ(slow.ReadResponse().body.size(), big_size);
  EXPECT_EQ(server.WaitForExit(30s), 0);
  EXPECT_THROW(RawConnection{port}, std::runtime_error);
}

}  // namespace
