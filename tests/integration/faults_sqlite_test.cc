// The SQLite file of a running `wapsite serve` taken away or locked while clients keep asking for
// pages: every answer is a whole page, the "OpenDB():" failure or the generic 500, and the site
// comes back by itself once the file is back or the lock is released.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <regex>
#include <string>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/page_load.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::PageLoad;

constexpr const char* kWml = "text/vnd.wap.wml";
const std::string kSite = "userid=1&username=demo&siteid=1";
constexpr std::string_view kDatabase =
    "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=sqlite:data/site.db;User ID=;"
    "Password=;Initial Catalog=site";
// "Restored" as the pages write a class name.
constexpr std::string_view kRestoredRefs = "&#x52;&#x65;&#x73;&#x74;&#x6F;&#x72;&#x65;&#x64;";

std::vector<std::string> DemoPages() {
  return {"/wap/index.asp?" + kSite,
          "/wap/newslist.asp?" + kSite + "&id=2&classname=x",
          "/wap/shownews.asp?" + kSite + "&id=3",
          "/wap/showcontent.asp?" + kSite + "&id=1",
          "/wap/productlist.asp?" + kSite + "&Page=2",
          "/wap/lyb.asp?" + kSite + "&Page=3"};
}

bool IsGeneric500(const testing_support::HttpResponse& r) {
  return r.status == 500 &&
         std::regex_match(r.body, std::regex(R"(internal error \(id [0-9a-f]+\))"));
}

// "page" for a whole valid page, "opendb" for the failure body, "500" for the generic error;
// anything else names what is wrong. The home page, which shows the class names, is "old home" or
// "restored home" after the file it was read from.
std::string Classify(const PageLoad::Answer& a, testing_support::PageValidator& pages) {
  if (!a.response) return "no answer";
  const auto& r = *a.response;
  if (IsGeneric500(r)) return "500";
  if (r.status != 200) return "status " + std::to_string(r.status);
  if (r.body.starts_with("OpenDB():")) {
    // The engine's one-line description, never a statement or a trace.
    const bool clean = r.body.find('\n') == std::string::npos &&
                       r.body.find("select") == std::string::npos &&
                       r.body.find("wap_") == std::string::npos;
    return clean ? "opendb" : "opendb with details";
  }
  if (!pages.Valid(r.body)) return "invalid page";
  if (!a.target.starts_with("/wap/index.asp")) return "page";
  return r.body.find(kRestoredRefs) != std::string::npos ? "restored home" : "old home";
}

class SqliteFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto init = testing_support::RunWapsite({"init", Root().string(), "--demo"});
    ASSERT_EQ(init.exit_code, 0) << init.err;
  }
  fs::path Root() const { return dir_.path() / "site"; }
  fs::path Data() const { return Root() / "data"; }
  void Serve() {
    server_ = std::make_unique<testing_support::ServerProcess>(
        Root(), std::vector<std::string>{"--threads", "4", "--domain", "http://m.example"});
  }

  testing_support::TempDir dir_;
  testing_support::PageValidator pages_;
  std::unique_ptr<testing_support::ServerProcess> server_;
};

TEST_F(SqliteFaults, ARemovedFileFailsOpenDbAndTheFilePutBackServesAgainWithoutARestart) {
  // The copy to put back differs from the original in one class name, so every page tells
  // which file it was read from.
  fs::copy_file(Data() / "site.db", dir_.path() / "backup.db");
  {
    data::ConnectionPool pool(dir_.path());
    data::Connection backup(pool);
    backup.Open(
        "Provider=SQLOLEDB.1;Data Source=sqlite:backup.db;User ID=;Password=;Initial Catalog=x");
    backup.Execute("update wap_classes set classname='Restored' where id=1");
  }
  Serve();

  // Answers are labelled with the phase in which their request was sent.
  using Clock = PageLoad::Clock;
  std::atomic<Clock::rep> removed_at{Clock::time_point::max().time_since_epoch().count()};
  std::atomic<Clock::rep> restored_at{Clock::time_point::max().time_since_epoch().count()};
  PageLoad load(server_->Port(), DemoPages(), 4,
                [&](const PageLoad::Answer& a) {
                  const auto sent = a.sent.time_since_epoch().count();
                  const char* phase = sent > restored_at  ? "restored: "
                                      : sent > removed_at ? "removed: "
                                                          : "";
                  return phase + Classify(a, pages_);
                },
                {{"Accept", kWml}});
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("old home") >= 5; })) << load.Summary();

  for (const char* name : {"site.db", "site.db-wal", "site.db-shm"}) fs::remove(Data() / name);
  removed_at = Clock::now().time_since_epoch().count();
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("removed: opendb") >= 20; }))
      << load.Summary();

  fs::copy_file(dir_.path() / "backup.db", Data() / "site.db.new");
  fs::rename(Data() / "site.db.new", Data() / "site.db");
  restored_at = Clock::now().time_since_epoch().count();
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("restored: restored home") >= 20; }))
      << load.Summary();
  load.Stop();

  // Once the file is gone no request is served from it, and once it is back every request reads
  // the file that is there now, not the one removed.
  for (const std::string& kind : load.Kinds()) {
    EXPECT_TRUE(kind == "page" || kind == "old home" || kind == "opendb" || kind == "500" ||
                kind == "removed: opendb" || kind == "removed: 500" || kind == "removed: page" ||
                kind == "removed: restored home" || kind == "restored: page" ||
                kind == "restored: restored home")
        << kind << "\n"
        << load.Summary();
  }
  EXPECT_EQ(server_->Stop(), 0);
}

TEST_F(SqliteFaults, ALockHeldElsewhereHoldsUpWritersBoundedlyAndReadersNotAtAll) {
  Serve();
  PageLoad load(server_->Port(), DemoPages(), 3,
                [&](const PageLoad::Answer& a) { return Classify(a, pages_); }, {{"Accept", kWml}});
  ASSERT_TRUE(load.WaitUntil([&] { return load.Count("page") >= 10; })) << load.Summary();

  const auto post = [&](const std::string& name) {
    testing_support::HttpClient client("127.0.0.1", server_->Port());
    client.SetTimeout(30s);  // the server gives up on the lock well before
    return client.Post(
        "/wap/newly.asp?" + kSite,
        testing_support::FormEncode({{"lyr", name}, {"title", "t"}, {"content", "c"}}),
        "application/x-www-form-urlencoded", {{"Accept", kWml}});
  };
  {
    // Another process (this one) takes the write lock, as an operator's BEGIN EXCLUSIVE does.
    data::ConnectionPool pool(Root());
    data::Connection locker(pool);
    locker.Open(kDatabase);
    locker.Execute("BEGIN EXCLUSIVE");
    locker.Execute("update wap_classes set sortid=sortid where id=1");
    const std::size_t pages_before = load.Count("page");

    auto command = std::async(std::launch::async, [&] {
      return testing_support::RunWapsite({"class", "add", "--root", Root().string(), "--userid",
                                          "1", "--name", "Locked", "--type", "1", "--sortid", "9"});
    });
    const auto refused = post("Locked out");
    EXPECT_TRUE(IsGeneric500(refused)) << refused.status << " " << refused.body;
    const auto added = command.get();
    EXPECT_EQ(added.exit_code, 1);
    EXPECT_NE(added.err.find("database is locked"), std::string::npos) << added.err;
    EXPECT_GT(load.Count("page"), pages_before);  // readers went on all the while
    locker.Execute("COMMIT");
  }
  const auto stored = post("After the lock");
  EXPECT_EQ(stored.status, 302);
  testing_support::HttpClient reader("127.0.0.1", server_->Port());
  const auto guestbook = reader.Get("/wap/lyb.asp?" + kSite, {{"Accept", kWml}});
  EXPECT_NE(guestbook.body.find("After the lock"), std::string::npos);
  EXPECT_EQ(guestbook.body.find("Locked out"), std::string::npos);
  load.Stop();
  EXPECT_EQ(load.Kinds(), (std::set<std::string>{"old home", "page"})) << load.Summary();
  EXPECT_EQ(server_->Stop(), 0);
}

}  // namespace
