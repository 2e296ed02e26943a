// wapsite class add|rename|delete and site create, run in-process on a real web root.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "support/page_harness.h"

namespace cli {
namespace {

using testing_support::PageHarness;

struct Outcome {
  int code = 0;
  std::string out;
  std::string err;
};

class AdminCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    h_.Sql(
        "insert into wap_classes (id,userid,type,classname,sortid) values (5,12,1,'Mine',1);"
        "insert into wap_classes (id,userid,type,classname,sortid) values (6,13,1,'Theirs',1);"
        "insert into wap_contents (cid,title,content) values (5,'a','x');"
        "insert into wap_setting (userid,templeteid) values (12,1);");
    h_.WriteFile("wapTemplete/1/style.css", "css");
    h_.WriteFile("inc/siteaddress.txt", "http://m.example.com\n");
  }

  // Runs `wapsite ARGS…` with --root set to the harness's web root (unless `with_root` is false).
  Outcome Wapsite(std::vector<std::string> args, bool with_root = true) {
    if (with_root) {
      args.push_back("--root");
      args.push_back(h_.Root().string());
    }
    CLI::App app{"wapsite"};
    app.require_subcommand(1);
    Outcome outcome;
    AddAdminCommands(app, outcome.code);
    std::vector<const char*> argv = {"wapsite"};
    for (const auto& a : args) argv.push_back(a.c_str());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
      app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
      outcome.code = app.exit(e) == 0 ? 0 : 2;  // as main() answers a command line it cannot use
    }
    outcome.out = testing::internal::GetCapturedStdout();
    outcome.err = testing::internal::GetCapturedStderr();
    return outcome;
  }

  std::vector<std::string> Classes() {
    std::vector<std::string> rows;
    for (const auto& r :
         h_.Query("select id,userid,type,classname,sortid from wap_classes order by id")) {
      std::string row;
      for (const auto& v : r) row += (row.empty() ? "" : "|") + v.ToText();
      rows.push_back(row);
    }
    return rows;
  }

  PageHarness h_;
};

TEST_F(AdminCommands, ClassAddStoresTheCleanedName) {
  const Outcome o = Wapsite(
      {"class", "add", "--userid", "12", "--name", " It's new ", "--type", "2", "--sortid", "-3"});
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.out, "class added\n");
  EXPECT_EQ(o.err, "");
  ASSERT_EQ(Classes().size(), 3u);
  EXPECT_EQ(Classes()[2], "7|12|2|Its new|-3");
}

TEST_F(AdminCommands, ClassRenameAndDeleteTouchOnlyTheMembersClass) {
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out;
    std::string err;
    std::vector<std::string> classes;
  } cases[] = {
      {{"class", "rename", "--userid", "12", "--id", "6", "--name", "X", "--sortid", "2"},
       1,
       "",
       "wapsite class rename: member 12 has no class 6; nothing renamed\n",
       {"5|12|1|Mine|1", "6|13|1|Theirs|1"}},
      {{"class", "rename", "--userid", "12", "--id", "5", "--name", "New", "--sortid", "2"},
       0,
       "class 5 renamed\n",
       "",
       {"5|12|1|New|2", "6|13|1|Theirs|1"}},
      {{"class", "delete", "--userid", "12", "--id", "6"},
       1,
       "",
       "wapsite class delete: member 12 has no class 6; nothing deleted\n",
       {"5|12|1|New|2", "6|13|1|Theirs|1"}},
      {{"class", "delete", "--userid", "12", "--id", "5"},
       0,
       "class 5 deleted with its contents\n",
       "",
       {"6|13|1|Theirs|1"}},
  };
  for (const auto& c : cases) {
    const Outcome o = Wapsite(c.args);
    EXPECT_EQ(o.code, c.code) << c.args[1] << " " << c.args[5];
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(Classes(), c.classes);
  }
  EXPECT_TRUE(h_.Query("select * from wap_contents where cid=5").empty());
}

TEST_F(AdminCommands, BadValuesAreUsageErrorsThatChangeNothing) {
  const struct {
    std::vector<std::string> args;
    bool with_root;
    const char* message;
  } cases[] = {
      {{"class", "add", "--userid", "12", "--name", "x", "--type", "1", "--sortid", "1"},
       false,
       "--root is required"},
      {{"class", "add", "--name", "x", "--type", "1", "--sortid", "1"},
       true,
       "--userid is required"},
      {{"class", "add", "--userid", "1 or 1=1", "--name", "x", "--type", "1", "--sortid", "1"},
       true,
       "--userid: must be a whole number, not '1 or 1=1'"},
      {{"class", "add", "--userid", "12", "--name", " '' ", "--type", "1", "--sortid", "1"},
       true,
       "--name: is empty once outer blanks and apostrophes are removed"},
      {{"class", "add", "--userid", "12", "--name", "x", "--type", "1.5", "--sortid", "1"},
       true,
       "--type: Value 1.5 not in range -32768 to 32767"},
      {{"class", "add", "--userid", "12", "--name", "x", "--type", "1"},
       true,
       "--sortid is required"},
      {{"class", "delete", "--userid", "12", "--id", "40000"}, true, "--id: Value 40000 not in range"},
      {{"class", "delete", "--userid", "12", "--id", "5", "--force"},
       true,
       "not expected: --force"},
      {{"class"}, false, "name one of its commands"},
      {{"site", "create", "--userid", "12", "--username", "../x"},
       true,
       "--username: must be a plain folder name, not '../x'"},
      {{"site", "create", "--userid", "12"}, true, "--username is required"},
  };
  for (const auto& c : cases) {
    const Outcome o = Wapsite(c.args, c.with_root);
    EXPECT_EQ(o.code, 2) << c.message;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
  }
  EXPECT_EQ(Classes(), (std::vector<std::string>{"5|12|1|Mine|1", "6|13|1|Theirs|1"}));
  EXPECT_TRUE(std::filesystem::is_empty(h_.Root() / "waphome"));
}

TEST_F(AdminCommands, ADatabaseThatCannotBeOpenedIsAFailure) {
  h_.WriteFile("conn.asp", "<%strSQLServer=\"sqlite:data/missing.db\" strSQLDataBase=\"x\"%>");
  const Outcome o =
      Wapsite({"class", "add", "--userid", "12", "--name", "x", "--type", "1", "--sortid", "1"});
  EXPECT_EQ(o.code, 1);
  EXPECT_EQ(o.err.rfind("wapsite class add: OpenDB():", 0), 0u) << o.err;
  EXPECT_EQ(o.out, "");
}

TEST_F(AdminCommands, SiteCreateWritesTheMembersSiteInWaphome) {
  const Outcome o = Wapsite({"site", "create", "--userid", "12", "--username", "abc"});
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.out, "site of abc created in " + (h_.Root() / "waphome" / "abc").string() + "\n");
  EXPECT_TRUE(std::filesystem::is_regular_file(h_.Root() / "waphome/abc/index.asp"));
  EXPECT_TRUE(std::filesystem::is_directory(h_.Root() / "waphome/abc/upfile"));
  EXPECT_TRUE(std::filesystem::exists(h_.Root() / "waphome/abc/style.css"));
}

}  // namespace
}  // namespace cli
