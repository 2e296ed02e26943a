// The command line's answers, as one script on one web root: what each command prints, on which
// stream, and its exit code (0 done, 1 failed, 2 a command line it cannot use). What init lays out
// and what the back office's commands store are tested through the pages and in tests/unit/wap.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <filesystem>

#include "cli/commands.h"
#include "support/temp_dir.h"

namespace cli {
namespace {

struct Answer { int code = 0; std::string out, err; };

// Runs `wapsite ARGS…` as main() does.
Answer Wapsite(const std::vector<std::string>& args) {
  CLI::App app{"wapsite"};
  app.require_subcommand(1);
  Answer a;
  AddInitCommand(app, a.code);
  AddAdminCommands(app, a.code);
  std::vector<const char*> argv = {"wapsite"};
  for (const auto& arg : args) argv.push_back(arg.c_str());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    a.code = app.exit(e) == 0 ? 0 : 2;
  }
  a.out = testing::internal::GetCapturedStdout();
  a.err = testing::internal::GetCapturedStderr();
  return a;
}

TEST(CommandLine, AnswersEachCommandOnItsStreamWithItsExitCode) {
  testing_support::TempDir dir;
  const std::string root = (dir.path() / "root").string(), other = (dir.path() / "other").string();
  const auto add = [&](const std::string& name) -> std::vector<std::string> {
    return {"class", "add", "--root", root, "--userid", "12", "--type", "2", "--sortid", "-3", "--name", name};
  };
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out, err;  // a part of each; "" for nothing at all
  } steps[] = {
      {{"init", root, "--demo"}, 0, "demo site: /wap/index.asp?userid=1&username=demo&siteid=1\n", ""},
      {{"init", root}, 1, "", "--force"},
      {{"init", other, "--postgres", "Data Source=db;Initial Catalog="}, 2, "", "wapsite init: "},
      {add(" It's new "), 0, " added\n", ""},
      {{"init", root, "--force"}, 0, "laid out " + root, ""},  // the database starts again
      {{"class", "rename", "--root", root, "--userid", "12", "--id", "7", "--name", "X",
        "--sortid", "1"}, 1, "", "wapsite class rename: member 12 has no class 7; nothing renamed\n"},
      {add("x"), 0, "class 1 added\n", ""},  // the id rename and delete take
      {{"class", "rename", "--root", root, "--userid", "12", "--id", "1", "--name", "X",
        "--sortid", "1"}, 0, "class 1 renamed\n", ""},
      {{"class", "delete", "--root", root, "--userid", "13", "--id", "1"}, 1, "",
       "wapsite class delete: member 13 has no class 1; nothing deleted\n"},
      {{"class", "delete", "--root", root, "--userid", "12", "--id", "1"}, 0,
       "class 1 deleted with its contents\n", ""},
      {{"class", "add", "--root", root, "--userid", "1 or 1=1", "--name", "x", "--type", "1",
        "--sortid", "1"}, 2, "", "--userid: must be a whole number, not '1 or 1=1'"},
      {add(" '' "), 2, "", "--name: is empty once outer blanks and apostrophes are removed"},
      {{"class", "delete", "--root", root, "--userid", "1", "--id", "40000"}, 2, "", "--id: "},
      {{"site", "create", "--root", root, "--userid", "9", "--username", "../x"}, 2, "",
       "--username: must be a plain folder name, not '../x'"},
      {{"site", "create", "--root", root, "--userid", "9", "--username", "shop"}, 1, "",
       "wapsite site create: no file matches"},  // no template root files without the demo
  };
  for (const auto& s : steps) {
    const Answer a = Wapsite(s.args);
    const std::string line = testing::PrintToString(s.args);
    EXPECT_EQ(a.code, s.code) << line << "\n" << a.err;
    EXPECT_TRUE(s.out.empty() ? a.out.empty() : a.out.find(s.out) != std::string::npos)
        << line << "\n" << a.out;
    EXPECT_TRUE(s.err.empty() ? a.err.empty() : a.err.find(s.err) != std::string::npos)
        << line << "\n" << a.err;
  }
  EXPECT_FALSE(std::filesystem::exists(other));  // usage errors come before any file
}

}  // namespace
}  // namespace cli
