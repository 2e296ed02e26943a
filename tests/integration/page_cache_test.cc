// The page cache seen from outside: a visitor page read after a change made in another process
// (this test's own connection) shows it, and a change to one member leaves the other members'
// kept pages alone; back-office pages and posts are never kept. On PostgreSQL
// (WAPSITE_ENGINE=postgres) a change must show within one second.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>

#include "support/http_client.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using namespace testing_support;

constexpr const char* kWml = "text/vnd.wap.wml";
const std::string kNews = "/wap/newslist.asp?userid=1&username=demo&siteid=1&id=2&classname=x";
const std::string kOtherHome = "/wap/index.asp?userid=2&username=two&siteid=2";

std::string Get(int port, const std::string& target) {
  const HttpResponse r = HttpClient(port).Get(target, {{"Accept", kWml}});
  EXPECT_EQ(r.status, 200) << target;
  return r.body;
}

// Whether `page` shows `marker` (ASCII), as it is or written as character references (news
// titles reach a handset as "&#x48;…").
bool Shows(const std::string& page, const std::string& marker) {
  std::string refs;
  for (const char c : marker) {
    char ref[16];
    std::snprintf(ref, sizeof ref, "&#x%X;", static_cast<unsigned char>(c));
    refs += ref;
  }
  return page.find(marker) != std::string::npos || page.find(refs) != std::string::npos;
}

// A metric of the server's metrics listener, as a number.
double Metric(int metrics_port, const std::string& name) {
  const std::string text = HttpClient(metrics_port).Get("/metrics").body;
  std::smatch m;
  if (!std::regex_search(text, m, std::regex("\n" + name + " ([0-9.e+]+)"))) return -1;
  return std::stod(m[1]);
}

class PageCache : public ::testing::Test {
 protected:
  void SetUp() override {
    site_ = std::make_unique<DemoRoot>(dir_.path() / "site");
    site_->Execute("INSERT INTO wap_setting (userid, dircall, templeteid) VALUES (2, 'two', 1)");
    server_ = std::make_unique<ServerProcess>(
        site_->Path(),
        std::vector<std::string>{"--page-cache-mb", "32", "--metrics-listen", "127.0.0.1:0"});
    metrics_port_ = server_->MetricsPort();
  }

  // Reads `target` until it holds `marker`: at once on SQLite, within a second on PostgreSQL.
  bool ShowsSoon(const std::string& target, const std::string& marker) {
    const auto deadline = std::chrono::steady_clock::now() + (site_->Postgres() ? 1s : 0s);
    for (;;) {
      if (Shows(Get(server_->Port(), target), marker)) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(20ms);
    }
  }
  // Reads `target` until a read is answered from the cache (the page is kept). On PostgreSQL the
  // cache is used once the server listens for changes, which it starts doing as it starts.
  void Warm(const std::string& target) {
    for (const auto deadline = std::chrono::steady_clock::now() + 5s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
      const double hits = Metric(metrics_port_, "wapsite_page_cache_hits_total");
      Get(server_->Port(), target);
      if (Metric(metrics_port_, "wapsite_page_cache_hits_total") > hits) return;
    }
    ADD_FAILURE() << target << " is never answered from the cache";
  }

  TempDir dir_;
  std::unique_ptr<DemoRoot> site_;
  std::unique_ptr<ServerProcess> server_;
  int metrics_port_ = 0;
};

TEST_F(PageCache, AChangeToOneMemberLeavesTheOtherMembersPagesKept) {
  Warm(kOtherHome);
  Warm(kNews);
  site_->Execute("UPDATE wap_contents SET title='ONE' WHERE cid=2");  // member 1's
  EXPECT_TRUE(ShowsSoon(kNews, "ONE"));
  const double hits = Metric(metrics_port_, "wapsite_page_cache_hits_total");
  Get(server_->Port(), kOtherHome);
  EXPECT_EQ(Metric(metrics_port_, "wapsite_page_cache_hits_total"), hits + 1);
}

TEST_F(PageCache, BackOfficePagesAndPostsAreNeverKept) {
  Get(server_->Port(), kNews);
  const double misses = Metric(metrics_port_, "wapsite_page_cache_misses_total");
  const double hits = Metric(metrics_port_, "wapsite_page_cache_hits_total");
  HttpClient(server_->Port()).Get("/admin/");
  HttpClient(server_->Port()).Get("/admin/");
  HttpClient(server_->Port()).Post(kNews, "a=1", {{"Accept", kWml}});
  EXPECT_EQ(Metric(metrics_port_, "wapsite_page_cache_misses_total"), misses);
  EXPECT_EQ(Metric(metrics_port_, "wapsite_page_cache_hits_total"), hits);
}

}  // namespace
