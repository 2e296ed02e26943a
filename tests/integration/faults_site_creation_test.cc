// Site creation when the disk will not take what it makes: a name taken by a file or a folder of
// the wrong kind, a file size limit (as a full disk fails a write), a read-only folder. Each time
// the command fails with one clear line, says nothing of success, writes no entry page and leaves
// no temporary files; once the obstacle is gone, the same command creates the site.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Everything under `folder`, as paths relative to it.
std::set<std::string> Listing(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.insert(fs::relative(it->path(), folder).string());
  }
  return names;
}

class SiteCreationFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto init = testing_support::RunWapsite({"init", Root().string(), "--demo"});
    ASSERT_EQ(init.exit_code, 0) << init.err;
  }
  fs::path Root() const { return dir_.path() / "site"; }
  fs::path Member() const { return Root() / "waphome" / "shop"; }

  // `wapsite site create` for member 1 as "shop", run by /bin/sh after the commands `limits`.
  testing_support::CommandResult Create(const std::string& limits = "") const {
    const fs::path out = dir_.path() / "out.txt";
    const fs::path err = dir_.path() / "err.txt";
    const std::string command =
        limits + "exec '" + std::string(WAPSITE_BIN) + "' site create --root '" + Root().string() +
        "' --userid 1 --username shop >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    const auto read = [](const fs::path& p) {
      std::ifstream in(p);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), read(out), read(err)};
  }

  testing_support::TempDir dir_;
};

TEST_F(SiteCreationFaults, FailsClearlyAndMakesNoEntryPageWhenTheDiskRefuses) {
  struct Obstacle {
    const char* what;
    std::function<void()> set_up;
    std::string limits;  // shell commands run before the command
    std::function<void()> remove;
  };
  const auto write_file = [](const fs::path& p) { std::ofstream(p) << "in the way"; };
  std::vector<Obstacle> obstacles = {
      {"a file where the member folder goes", [&] { write_file(Member()); }, "",
       [&] { fs::remove(Member()); }},
      {"a file where the upload folder goes",
       [&] {
         fs::create_directory(Member());
         write_file(Member() / "upfile");
       },
       "", [&] { fs::remove_all(Member()); }},
      {"a folder where the entry page goes",
       [&] { fs::create_directories(Member() / "index.asp"); }, "",
       [&] { fs::remove_all(Member()); }},
      // A write past the limit fails as on a full disk (EFBIG instead of ENOSPC); SIGXFSZ is
      // ignored so that the write reports it rather than the signal ending the process.
      {"a file size limit smaller than the template's picture", [] {},
       "trap '' XFSZ; ulimit -f 1; ", [&] { fs::remove_all(Member()); }},
  };
  if (geteuid() != 0) {
    // Only where permissions bind (not for root, whom they do not stop).
    obstacles.push_back(
        {"a read-only waphome folder",
         [&] {
           fs::permissions(Root() / "waphome", fs::perms::owner_write, fs::perm_options::remove);
         },
         "",
         [&] {
           fs::permissions(Root() / "waphome", fs::perms::owner_write, fs::perm_options::add);
         }});
  }
  // The SQLite file stays open here meanwhile, so that its shared-memory file is already there
  // and at full size: the limit then hits the site's files, not the database's.
  data::ConnectionPool pool(Root());
  data::Connection db(pool);
  db.Open(
      "Provider=SQLOLEDB.1;Data Source=sqlite:data/site.db;User ID=;Password=;Initial "
      "Catalog=site");

  for (const Obstacle& obstacle : obstacles) {
    SCOPED_TRACE(obstacle.what);
    obstacle.set_up();
    const auto before = Listing(Root());
    const auto failed = Create(obstacle.limits);
    EXPECT_EQ(failed.exit_code, 1) << failed.err;
    EXPECT_EQ(failed.out, "");
    EXPECT_TRUE(std::regex_match(failed.err, std::regex("wapsite site create: [^\n]+\n")))
        << failed.err;
    EXPECT_FALSE(fs::is_regular_file(Member() / "index.asp"));
    // What the command made stays (the folders, template files copied before the failure), but
    // no temporary file is left behind.
    for (const std::string& name : Listing(Root())) {
      if (before.count(name) > 0) continue;
      EXPECT_TRUE(name == "waphome/shop" || name == "waphome/shop/upfile" ||
                  name == "waphome/shop/style.css" || name == "waphome/shop/Demo.jpg")
          << name;
    }
    obstacle.remove();
    const auto created = Create();
    EXPECT_EQ(created.exit_code, 0) << created.err;
    EXPECT_TRUE(fs::is_regular_file(Member() / "index.asp"));
    fs::remove_all(Member());
  }
}

}  // namespace
