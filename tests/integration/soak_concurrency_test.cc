// A soak of the demo site: many keep-alive clients at once over every page of the site in both
// markups (home, news lists and articles, the single content, the product and guestbook pages,
// the new-message and login forms, good and bad logins, logout) while the back office adds and
// deletes classes, from its host page and from the command line. Every answer must be complete and
// exactly what the same request got alone before the soak (the home page up to the soak's own
// classes, which come and go), and no request may fail. Runs on the engine WAPSITE_ENGINE names,
// and under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/demo_root.h"
#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/page_load.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::FormEncode;
using testing_support::HttpClient;
using testing_support::HttpResponse;

constexpr int kRequestsPerClient = 150;
constexpr int kClients = 16;
constexpr int kClassCycles = 6;  // each adds one class and deletes it again

constexpr const char* kWml = "text/vnd.wap.wml, image/vnd.wap.wbmp, */*";
constexpr const char* kXhtml = "application/xhtml+xml, text/html;q=0.9, */*;q=0.8";
constexpr const char* kForm = "application/x-www-form-urlencoded";
constexpr const char* kDomain = "http://m.example";
const std::string kSite = "userid=1&username=demo&siteid=1";
// "soak", the start of the soak's class names, as the home page writes it.
constexpr std::string_view kSoakRefs = "&#x73;&#x6F;&#x61;&#x6B;";

// The home page without the lines of the soak's classes (each class is one CRLF-ended line, and
// theirs sort last).
std::string WithoutSoakClasses(const std::string& body) {
  std::string out;
  for (std::size_t start = 0; start < body.size();) {
    std::size_t end = body.find("\r\n", start);
    end = end == std::string::npos ? body.size() : end + 2;
    const std::string_view line(body.data() + start, end - start);
    if (line.find(kSoakRefs) == std::string_view::npos) out.append(line);
    start = end;
  }
  return out;
}

enum class Kind { kPage, kHome, kGoodLogin, kBadLogin, kLogout, kSoakList };

// One request of the mix and what must come back.
struct Visit {
  Kind kind;
  std::string target;
  const char* accept;
  std::string expected;  // the body the request got alone (pages, the home page, a bad login)
};

class Soak : public ::testing::Test {
 protected:
  void SetUp() override {
    site_ = std::make_unique<testing_support::DemoRoot>(dir_.path() / "site");
    std::ofstream(site_->Path() / "signin.asp")
        << "<%Session(\"userid\") = \"1\" : Session(\"UserName\") = \"demo\"%>";
    server_ = std::make_unique<testing_support::ServerProcess>(
        site_->Path(), std::vector<std::string>{"--threads", "4", "--domain", kDomain});
  }
  void TearDown() override {
    if (server_) {
      EXPECT_EQ(server_->Stop(), 0);
    }
  }

  // The requests of the mix, each answered once alone; their pages checked for validity.
  std::vector<Visit> Visits() {
    std::vector<std::string> pages = {"/wap/showcontent.asp?" + kSite + "&id=1&classname=x",
                                      "/wap/newly.asp?" + kSite, "/wap/login.asp?" + kSite};
    for (int id : {2, 3}) {
      pages.push_back("/wap/newslist.asp?" + kSite + "&id=" + std::to_string(id) + "&classname=x");
    }
    for (int id = 2; id <= 6; ++id) pages.push_back("/wap/shownews.asp?" + kSite + "&id=" + std::to_string(id));
    for (int page = 1; page <= 6; ++page) {
      pages.push_back("/wap/productlist.asp?" + kSite + "&Page=" + std::to_string(page));
      pages.push_back("/wap/lyb.asp?" + kSite + "&Page=" + std::to_string(page));
    }
    std::vector<Visit> visits;
    HttpClient alone("127.0.0.1", server_->Port());
    for (const char* accept : {kWml, kXhtml}) {
      const auto expect = [&](Kind kind, const std::string& target, const HttpResponse& r) {
        EXPECT_EQ(r.status, 200) << target;
        EXPECT_TRUE(testing_support::ValidPage(r.body)) << target;
        visits.push_back({kind, target, accept, r.body});
      };
      for (const std::string& target : pages) {
        expect(Kind::kPage, target, alone.Get(target, {{"Accept", accept}}));
      }
      const std::string home = "/wap/index.asp?" + kSite;
      expect(Kind::kHome, home, alone.Get(home, {{"Accept", accept}}));
      expect(Kind::kBadLogin, "/wap/checklogin.asp?" + kSite,
             alone.Post("/wap/checklogin.asp?" + kSite,
                        FormEncode({{"username", "member"}, {"password", "wrong"}}), kForm,
                        {{"Accept", accept}}));
      visits.push_back({Kind::kGoodLogin, "/wap/checklogin.asp?" + kSite, accept, ""});
      visits.push_back({Kind::kLogout, "/wap/logout.asp?" + kSite, accept, ""});
      visits.push_back({Kind::kSoakList, "/wap/newslist.asp?" + kSite, accept, ""});
    }
    return visits;
  }

  testing_support::TempDir dir_;
  std::unique_ptr<testing_support::DemoRoot> site_;
  std::unique_ptr<testing_support::ServerProcess> server_;
};

TEST_F(Soak, ManyClientsOverEveryPageWhileClassesComeAndGo) {
  const std::vector<Visit> visits = Visits();
  ASSERT_FALSE(HasFailure());
  const auto classes_before = site_->Column("select count(*) from wap_classes");

  std::atomic<int> requests{0};
  std::atomic<int> homes_with_soak_class{0};
  std::atomic<int> soak_class_id{0};  // the class the back office added last (0: none yet)
  std::atomic<int> readers_running{kClients};
  std::mutex failures_mutex;
  std::vector<std::string> failures;
  const auto fail = [&](const std::string& what) {
    std::lock_guard lock(failures_mutex);
    if (failures.size() < 20) failures.push_back(what);
  };
  testing_support::PageValidator validator;

  // One visit; an empty string when the answer is as it must be, else what is wrong.
  const auto check = [&](const Visit& v, HttpClient& pages, HttpClient& member) -> std::string {
    const testing_support::HeaderList accept = {{"Accept", v.accept}};
    const std::string home = std::string(kDomain) + "/wap/index.asp?" + kSite;
    switch (v.kind) {
      case Kind::kPage: {
        const HttpResponse r = pages.Get(v.target, accept);
        return r.status == 200 && r.body == v.expected ? "" : "differs";
      }
      case Kind::kHome: {
        const HttpResponse r = pages.Get(v.target, accept);
        if (r.status != 200 || WithoutSoakClasses(r.body) != v.expected) return "differs";
        if (r.body == v.expected) return "";
        ++homes_with_soak_class;
        return validator.Valid(r.body) ? "" : "invalid with a soak class";
      }
      case Kind::kBadLogin: {
        const HttpResponse r =
            member.Post(v.target, FormEncode({{"username", "member"}, {"password", "wrong"}}),
                        kForm, accept);
        return r.status == 200 && r.body == v.expected ? "" : "differs";
      }
      case Kind::kGoodLogin: {
        const HttpResponse r =
            member.Post(v.target, FormEncode({{"username", "member"}, {"password", "wap123"}}),
                        kForm, accept);
        return r.status == 302 && r.Header("Location") == home && r.body.empty() ? "" : "differs";
      }
      case Kind::kLogout: {
        const HttpResponse r = member.Get(v.target, accept);
        return r.status == 302 && r.Header("Location") == home ? "" : "differs";
      }
      case Kind::kSoakList: {
        const int id = soak_class_id;
        if (id == 0) return "";
        // The class may be gone by now; its list is then empty, but a whole valid page still.
        const HttpResponse r =
            pages.Get(v.target + "&id=" + std::to_string(id) + "&classname=soak", accept);
        return r.status == 200 && validator.Valid(r.body) ? "" : "invalid soak class list";
      }
    }
    return "unknown visit";
  };

  std::vector<std::thread> readers;
  for (int c = 0; c < kClients; ++c) {
    readers.emplace_back([&, c] {
      HttpClient pages("127.0.0.1", server_->Port());
      HttpClient member("127.0.0.1", server_->Port());
      member.UseCookies(true);
      for (int i = 0; i < kRequestsPerClient; ++i) {
        // Each client walks the mix in its own order.
        const Visit& v = visits[(static_cast<std::size_t>(i) * 7 + c * 13) % visits.size()];
        try {
          const std::string wrong = check(v, pages, member);
          if (!wrong.empty()) fail(v.target + " (" + v.accept + "): " + wrong);
        } catch (const std::exception& e) {
          fail(v.target + ": " + e.what());
        }
        ++requests;
      }
      --readers_running;
    });
  }

  // The back office meanwhile: adds a class, waits until a reader has seen it on the home page,
  // deletes it; alternately from its host page and with the command line.
  HttpClient office("127.0.0.1", server_->Port());
  office.UseCookies(true);
  EXPECT_EQ(office.Get("/signin.asp").status, 200);
  const std::string root = site_->Path().string();
  int office_requests = 1;
  for (int cycle = 0; cycle < kClassCycles; ++cycle) {
    const std::string name = "soak" + std::to_string(cycle);
    const bool by_page = cycle % 2 == 0;
    if (by_page) {
      const HttpResponse added = office.Post(
          "/admin/class.asp",
          FormEncode({{"classname", name}, {"type", "1"}, {"sortid", "30000"}, {"submit", "新建"}}));
      ++office_requests;
      EXPECT_EQ(added.status, 200) << added.body;
      EXPECT_TRUE(testing_support::WellFormedXml(added.body));
    } else {
      const auto added = testing_support::RunWapsite({"class", "add", "--root", root, "--userid",
                                                      "1", "--name", name, "--type", "1",
                                                      "--sortid", "30000"});
      EXPECT_EQ(added.exit_code, 0) << added.err;
    }
    const auto ids = site_->Column("select id from wap_classes where classname='" + name + "'");
    // No ASSERT while the readers run: a return would leave their threads unjoined.
    if (ids.size() != 1) {
      ADD_FAILURE() << name << ": " << ids.size() << " classes of that name";
      break;
    }
    soak_class_id = std::stoi(ids[0]);

    const int seen = homes_with_soak_class;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (homes_with_soak_class == seen && readers_running > 0 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
      HttpClient probe("127.0.0.1", server_->Port());  // its answer paces the wait
      probe.Get("/wap/index.asp?" + kSite, {{"Accept", kWml}});
      ++office_requests;
    }

    if (by_page) {
      const auto deleted = testing_support::RunWapsite(
          {"class", "delete", "--root", root, "--userid", "1", "--id", ids[0]});
      EXPECT_EQ(deleted.exit_code, 0) << deleted.err;
    } else {
      const HttpResponse deleted = office.Get("/admin/class.asp?act=del&id=" + ids[0]);
      ++office_requests;
      EXPECT_EQ(deleted.status, 200);
    }
  }
  for (auto& t : readers) t.join();

  std::cout << "[   SOAK   ] " << requests + office_requests << " requests ("
            << testing_support::EngineName(site_->engine()) << "), " << kClassCycles
            << " classes added and deleted, " << homes_with_soak_class
            << " home pages showed one\n";
  EXPECT_TRUE(failures.empty()) << [&] {
    std::string all;
    for (const auto& f : failures) all += f + "\n";
    return all;
  }();
  EXPECT_GT(homes_with_soak_class, 0);
  EXPECT_EQ(site_->Column("select count(*) from wap_classes"), classes_before);
  HttpClient after("127.0.0.1", server_->Port());
  const auto home = std::find_if(visits.begin(), visits.end(), [](const Visit& v) {
    return v.kind == Kind::kHome && v.accept == kWml;
  });
  ASSERT_NE(home, visits.end());
  EXPECT_EQ(after.Get(home->target, {{"Accept", kWml}}).body, home->expected);
}

}  // namespace
