// A soak of the demo site: many keep-alive clients at once over its pages in
// both markups (the reading pages, a login, a logout, a picture), each with a
// session of its own, while the back office adds and deletes classes from its
// host page and from the command line. Every answer is exactly what the same
// request got alone (the home page up to the soak's own classes, which come and
// go); no request fails, while the metrics are scraped. Runs on the engine WAPSITE_ENGINE names,
// and under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "support/back_office.h"
#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

// The body without the lines of the soak's classes ("soak" as the home page
// writes it).
std::string WithoutSoakClasses(const std::string &body) {
  std::string out;
  for (std::size_t start = 0, end; start < body.size(); start = end) {
    end = std::min(body.find("\r\n", start), body.size() - 2) + 2;
    const std::string line = body.substr(start, end - start);
    if (line.find("&#x73;&#x6F;&#x61;&#x6B;") == std::string::npos) out += line;
  }
  return out;
}

TEST(Soak, ManyClientsOverThePagesWhileClassesComeAndGo) {
  TempDir dir;
  DemoRoot site(dir.path() / "site");
  ServerProcess server(
      site.Path(), {"--threads", "4", "--domain", "http://m.example", "--login-failures-per-name",
                    "1000000", "--login-failures-per-address", "1000000", "--signins-per-address",
                    "1000000", "--hashing-backlog", "64", "--metrics-listen", "127.0.0.1:0"});
  std::smatch metrics;  // scraped while the readers run
  const std::string started = server.Stdout();
  ASSERT_TRUE(std::regex_search(started, metrics, std::regex("metrics on http://[^:]+:([0-9]+)")));
  struct Visit {
    const DemoPage *page;
    Pairs accept;
    HttpResponse alone;
  };
  std::vector<Visit> visits;
  HttpClient alone(server.Port());
  alone.UseCookies(true);
  for (const char *accept : {"text/vnd.wap.wml", "application/xhtml+xml"}) {
    for (std::size_t i = 0; i <= kDemoPages.size(); ++i) {  // all but storing a message; a file
      static const DemoPage file{"/waphome/demo/Demo.jpg"};
      if (i == kDemoPages.size() - 1) continue;
      const DemoPage &p = i < kDemoPages.size() ? kDemoPages[i] : file;
      Visit v{&p, {{"Accept", accept}}, {}};
      v.alone = p.form.empty() ? alone.Get(p.Target(), v.accept)
                               : alone.Post(p.Target(), FormEncode(p.form), v.accept);
      EXPECT_TRUE(v.alone.status == 200 || Classify(v.alone) == "redirect") << p.path;
      visits.push_back(v);
    }
  }
  const auto classes_before = site.Column("select count(*) from wap_classes");
  std::atomic<int> homes_with_soak_class{0}, readers_running{16};
  std::mutex mutex;
  std::vector<std::string> failures;
  std::vector<std::string> sessions(16);  // each reader's own, never another's
  std::vector<std::thread> readers;
  for (int c = 0; c < 16; ++c) {
    readers.emplace_back([&, c] {
      HttpClient client(server.Port());
      client.UseCookies(true);
      for (int i = 0; i < 150; ++i) {
        const Visit &v = visits[(static_cast<std::size_t>(i) * 7 + c * 13) % visits.size()];
        const DemoPage &p = *v.page;
        std::string wrong;
        try {
          const HttpResponse r = p.form.empty()
                                     ? client.Get(p.Target(), v.accept)
                                     : client.Post(p.Target(), FormEncode(p.form), v.accept);
          const bool home = p.path == "/wap/index.asp" && r.body != v.alone.body;
          if (r.status != v.alone.status || r.Header("Location") != v.alone.Header("Location") ||
              (home ? WithoutSoakClasses(r.body) != v.alone.body || !ValidPage(r.body)
                    : r.body != v.alone.body)) {
            wrong = p.path + ": " + std::to_string(r.status) + " " + r.body.substr(0, 300);
          }
          homes_with_soak_class += home;
        } catch (const std::exception &e) {
          wrong = e.what();
        }
        std::lock_guard lock(mutex);
        if (!wrong.empty() && failures.size() < 20) failures.push_back(wrong);
      }
      if (client.Cookies().size() == 1) sessions[c] = client.Cookies()[0].second;
      --readers_running;
    });
  }
  // The back office: adds a class, waits until a reader has seen it, deletes
  // it; alternately from its host page and with the command line.
  HttpClient office(server.Port());
  office.UseCookies(true);
  const std::string token = SignInOwner(office, "demo", "demo");
  const std::string root = site.Path().string();
  for (int cycle = 0; cycle < 6; ++cycle) {
    EXPECT_EQ(HttpClient(std::stoi(metrics[1])).Get("/metrics").status, 200);
    const std::string name = "soak" + std::to_string(cycle);
    const bool page_adds = cycle % 2 == 0;
    const Pairs form = {{"classname", name},
                        {"type", "1"},
                        {"sortid", "30000"},
                        {"submit", "新建"},
                        {"token", token}};
    EXPECT_TRUE(page_adds ? office.Post("/admin/class.asp", FormEncode(form)).status == 302
                          : RunWapsite({"class", "add", "--root", root, "--userid", "1", "--name",
                                        name, "--type", "1", "--sortid", "30000"})
                                    .exit_code == 0);
    const auto ids = site.Column("select id from wap_classes where classname='" + name + "'");
    if (ids.size() != 1) {  // no ASSERT while the readers run
      ADD_FAILURE() << name << ": " << ids.size() << " classes";
      break;
    }
    for (const int seen = homes_with_soak_class;
         homes_with_soak_class == seen && readers_running > 0;)
      std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(
        page_adds
            ? RunWapsite({"class", "delete", "--root", root, "--userid", "1", "--id", ids[0]})
                      .exit_code == 0
            : office.Post("/admin/class.asp?act=del&id=" + ids[0], "token=" + token).status == 302);
  }
  for (auto &t : readers) t.join();
  for (const auto &f : failures) ADD_FAILURE() << f;
  EXPECT_GT(homes_with_soak_class, 0);
  EXPECT_EQ(std::set<std::string>(sessions.begin(), sessions.end()).size(), 16u);
  EXPECT_EQ(site.Column("select count(*) from wap_classes"), classes_before);
  EXPECT_EQ(alone.Get(visits[0].page->Target(), visits[0].accept).body, visits[0].alone.body);
}

}  // namespace
