// Creating a member's site, from the command line and from the back office's createsite.asp, and
// what the disk may refuse: a name taken by a file or a folder of the wrong kind, a file size
// limit (a full disk fails a write so), a read-only folder. A created site's entry page redirects
// to the member's home page; a refused creation fails with one line, makes no entry page and
// leaves no temporary file, and once the obstacle is gone the same command creates the site.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <set>

#include "support/back_office.h"
#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

std::set<std::string> Listing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    names.insert(fs::relative(entry.path(), folder).string());
  return names;
}

TEST(SiteCreation, OutcomesFromTheCommandLineAndTheBackOffice) {
  TempDir dir;
  DemoRoot site(dir.path() / "site", {"--site-address", "http://m.example.com"});
  const fs::path root = site.Path(), shop = root / "waphome/shop";
  ServerProcess server(root);
  const auto entry = [&](const std::string& member) {
    const HttpResponse r = HttpClient(server.Port()).Get("/waphome/" + member + "/");
    return std::to_string(r.status) + " " + r.Header("Location").value_or("");
  };
  HttpClient office(server.Port());
  office.UseCookies(true);
  fs::remove_all(root / "waphome/demo");
  // Signed out: sent to the sign-in form, nothing made.
  EXPECT_EQ(office.Post("/createsite.asp", "").Header("Location"),
            "/admin/?back=%2Fadmin%2Fsettings.asp");
  EXPECT_FALSE(fs::exists(root / "waphome/demo"));
  const std::string token = SignInOwner(office, "demo", "demo");
  EXPECT_EQ(office.Post("/createsite.asp", "token=" + token).status, 200);
  EXPECT_EQ(entry("demo"), "302 http://m.example.com/wap/index.asp?userid=1&username=demo");

  const auto write = [](const fs::path& p) { std::ofstream(p) << "in the way"; };
  std::vector<std::tuple<const char*, std::function<void()>, std::string>> obstacles = {
      {"a file at the member folder", [&] { write(shop); }, ""},
      {"a folder at the entry page", [&] { fs::create_directories(shop / "index.asp"); }, ""},
      // SIGXFSZ ignored: the write reports the limit, as a full disk does.
      {"a file size limit below the template's picture", [] {}, "trap '' XFSZ; ulimit -f 1;"},
  };
  if (geteuid() != 0) {  // permissions do not stop root
    obstacles.emplace_back(
        "a read-only waphome",
        [&] {
          fs::permissions(root / "waphome", fs::perms::owner_write, fs::perm_options::remove);
        },
        "");
  }
  const std::vector<std::string> create = {"site",     "create", "--root",     root.string(),
                                           "--userid", "1",      "--username", "shop"};
  for (const auto& [what, set_up, limits] : obstacles) {
    SCOPED_TRACE(what);
    set_up();
    const auto before = Listing(root);
    const CommandResult failed = RunWapsite(create, limits);
    EXPECT_EQ(failed.exit_code, 1) << failed.err;
    EXPECT_EQ(failed.out, "");
    EXPECT_TRUE(failed.err.starts_with("wapsite site create: ") &&
                failed.err.find('\n') == failed.err.size() - 1)
        << failed.err;
    EXPECT_FALSE(fs::is_regular_file(shop / "index.asp"));
    const std::set<std::string> made = {"waphome/shop", "waphome/shop/upfile",
                                        "waphome/shop/style.css", "waphome/shop/Demo.jpg"};
    for (const std::string& name : Listing(root))
      EXPECT_TRUE(before.count(name) || made.count(name)) << name;  // no temporary file
    // Once the obstacle is gone the same command makes the site.
    fs::permissions(root / "waphome", fs::perms::owner_write, fs::perm_options::add);
    fs::remove_all(shop);
    EXPECT_EQ(RunWapsite(create).exit_code, 0);
    EXPECT_TRUE(fs::is_regular_file(shop / "style.css") && fs::is_directory(shop / "upfile"));
    EXPECT_EQ(entry("shop"), "302 http://m.example.com/wap/index.asp?userid=1&username=shop");
    fs::remove_all(shop);
  }
}

}  // namespace
