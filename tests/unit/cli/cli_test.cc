// The command line's answers, as one script on one web root: what each command prints, on which
// stream, and its exit code (0 done, 1 failed, 2 a command line it cannot use). What init lays out
// and what the back office's commands store are tested through the pages and in tests/unit/wap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/server_process.h"
#include "support/temp_dir.h"

namespace cli {
namespace {

template <typename... Words>
std::vector<std::string> Args(const Words&... words) {
  return {std::string(words)...};
}

// The answer to `args` has exit code `code` and holds `out` and `err` ("": nothing at all).
void ExpectAnswer(const std::vector<std::string>& args, const testing_support::CommandResult& a,
                  int code, const std::string& out, const std::string& err) {
  const std::string line = testing::PrintToString(args);
  EXPECT_EQ(a.exit_code, code) << line << "\n" << a.err;
  EXPECT_TRUE(out.empty() ? a.out.empty() : a.out.find(out) != std::string::npos) << line << "\n"
                                                                                  << a.out;
  EXPECT_TRUE(err.empty() ? a.err.empty() : a.err.find(err) != std::string::npos) << line << "\n"
                                                                                  << a.err;
}

TEST(CommandLine, AnswersEachCommandOnItsStreamWithItsExitCode) {
  testing_support::TempDir dir;
  const std::string root = (dir.path() / "root").string(), other = (dir.path() / "other").string();
  const auto add = [&](const std::string& name) -> std::vector<std::string> {
    return {"class",  "add", "--root",   root, "--userid", "12",
            "--type", "2",   "--sortid", "-3", "--name",   name};
  };
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out, err;  // a part of each; "" for nothing at all
  } steps[] = {
      {Args("init", root, "--demo"), 0,
       "demo site: /wap/index.asp?userid=1&username=demo&siteid=1\n", ""},
      {Args("init", root), 1, "", "--force"},
      {Args("init", other, "--postgres", "Data Source=db;Initial Catalog="), 2, "",
       "wapsite init: "},
      {add(" It's new "), 0, " added\n", ""},
      {Args("init", root, "--force"), 0, "laid out " + root, ""},  // the database starts again
      {Args("class", "rename", "--root", root, "--userid", "12", "--id", "7", "--name", "X",
            "--sortid", "1"),
       1, "", "wapsite class rename: member 12 has no class 7; nothing renamed\n"},
      {add("x"), 0, "class 1 added\n", ""},  // the id rename and delete take
      {Args("class", "rename", "--root", root, "--userid", "12", "--id", "1", "--name", "X",
            "--sortid", "1"),
       0, "class 1 renamed\n", ""},
      {Args("class", "delete", "--root", root, "--userid", "13", "--id", "1"), 1, "",
       "wapsite class delete: member 13 has no class 1; nothing deleted\n"},
      {Args("class", "delete", "--root", root, "--userid", "12", "--id", "1"), 0,
       "class 1 deleted with its contents\n", ""},
      {Args("class", "add", "--root", root, "--userid", "1 or 1=1", "--name", "x", "--type", "1",
            "--sortid", "1"),
       2, "", "--userid: must be a whole number, not '1 or 1=1'"},
      {add(" '' "), 2, "", "--name: is empty once outer blanks and apostrophes are removed"},
      {Args("class", "add", "--root", root, "--userid", "99", "--name", "x", "--type", "1",
            "--sortid", "1"),
       1, "", "wapsite class add: there is no member 99 (no owner and no site settings)"},
      {Args("class", "add", "--root", root, "--userid", "12", "--name", "x", "--type", "7",
            "--sortid", "1"),
       2, "", "--type: Value 7 not in range"},
      {Args("class", "delete", "--root", root, "--userid", "1", "--id", "40000"), 2, "", "--id: "},
      {Args("site", "create", "--root", root, "--userid", "9", "--username", "../x"), 2, "",
       "--username: must be a plain folder name, not '../x'"},
      {Args("site", "create", "--root", root, "--userid", "9", "--username", "shop"), 1, "",
       "wapsite site create: no file matches"},  // no template root files without the demo
  };
  for (const auto& s : steps) {
    const testing_support::CommandResult a = testing_support::RunWapsite(s.args);
    ExpectAnswer(s.args, a, s.code, s.out, s.err);
    // The classes are site 12's, a site from before owners were kept (its settings row only).
    if (s.args.at(0) == "init" && a.exit_code == 0) {
      ASSERT_EQ(std::system(("sqlite3 " + root +
                             "/data/site.db 'insert into wap_setting (userid) values (12)'")
                                .c_str()),
                0);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(other));  // usage errors come before any file
}

// The owners' commands and the schema upgrade, run as the operator runs them (the password on
// standard input): a refused command leaves no owner, row or folder behind.
TEST(CommandLine, MemberCommandsAndTheSchemaUpgrade) {
  testing_support::TempDir dir;
  const std::string root = (dir.path() / "root").string();
  const auto member = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 1, {"--root", root});
    args.insert(args.begin(), "member");
    return args;
  };
  const struct {
    std::vector<std::string> args;
    const char* input;  // standard input; nullptr: none
    int code;
    std::string out, err;  // a part of each; "" for nothing at all
  } steps[] = {
      {Args("init", root, "--demo"), nullptr, 0,
       "demo owner: sign in at /admin/ as demo with the password demo", ""},
      {member(Args("add", "shop", "--password-stdin", "--dircall", "+86 10-1")), "s3cret\r\n", 0,
       "2\n", ""},
      {member(Args("add", "shop", "--password-stdin")), "x\n", 1, "",
       "already an owner named 'shop'"},
      {member(Args("add", "../x", "--password-stdin")), "x\n", 2, "", "plain folder name"},
      {member(Args("add", "x", "--password-stdin", "--dircall", "call me")), "x\n", 1, "",
       "call number"},
      {member(Args("add", "x", "--password-stdin", "--templeteid", "9")), "x\n", 1, "",
       "wapTemplete/9"},
      {member(Args("add", "x", "--password-stdin")), "\n", 1, "", "no password"},
      {member(Args("add", "x")), "x\n", 1, "", "not a terminal"},
      {member(Args("passwd", "shop")), "x\n", 1, "", "pipe it in with --password-stdin"},
      {member(Args("add", "Bad Name", "--password-stdin")), "x\n", 1, "",
       "'Bad Name' is not a name a new owner may take: 1 to 32 of the letters"},
      {member(Args("add", "茶庄", "--password-stdin")), "x\n", 1, "", "is not a name a new owner"},
      {member(Args("passwd", "nobody", "--password-stdin")), "x\n", 1, "",
       "no owner named 'nobody'"},
      {member(Args("passwd", "shop", "--password-stdin")), "n3w\n", 0, "password of shop set\n",
       ""},
      {member(Args("disable", "shop")), nullptr, 0, "shop disabled\n", ""},
      {member(Args("list")), nullptr, 0, "\n2\tshop\t", ""},
  };
  for (const auto& s : steps) {
    const std::string prefix = s.input ? "printf '" + std::string(s.input) + "' |" : "";
    const testing_support::CommandResult a = testing_support::RunWapsite(s.args, prefix);
    ExpectAnswer(s.args, a, s.code, s.out, s.err);
  }
  const auto list = testing_support::RunWapsite(member({"list"})).out;
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 2) << list;  // demo and shop only
  EXPECT_TRUE(list.ends_with("disabled\n")) << list;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "root/waphome/x"));
  // Site creation failing half-way (the site address, read after the template is copied, cannot
  // stand in the entry page) leaves neither the owner nor the half-made folder.
  const std::filesystem::path address = dir.path() / "root/inc/siteaddress.txt";
  const std::string address_text = testing_support::ReadFile(address);
  std::ofstream(address) << "http://x/%>\n";
  const auto half =
      testing_support::RunWapsite(member({"add", "half", "--password-stdin"}), "echo pw |");
  EXPECT_EQ(half.exit_code, 1) << half.out;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "root/waphome/half"));
  EXPECT_EQ(testing_support::RunWapsite(member({"list"})).out.find("half"), std::string::npos);
  std::ofstream(address) << address_text;

  // A database made before owners were kept: serve refuses it until upgrade has run.
  const std::string db = (dir.path() / "root/data/site.db").string();
  ASSERT_EQ(std::system(("sqlite3 " + db +
                         " 'drop table wap_owners; drop table wap_audit; "
                         "drop table wapsite_schema; alter table web_member drop column "
                         "session_stamp'")
                            .c_str()),
            0);
  const auto refused =
      testing_support::RunWapsite({"serve", "--root", root, "--listen", "127.0.0.1:0"});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("wapsite upgrade --root " + root), std::string::npos) << refused.err;
  EXPECT_EQ(testing_support::RunWapsite({"upgrade", "--root", root}).out,
            "upgraded the site database from schema version 1 to 5\n");
  // A back-office template the web root lacks is added; one an operator restyled stays.
  const std::filesystem::path templates = dir.path() / "root/admin/templates";
  std::filesystem::remove(templates / "confirm.html");
  std::ofstream(templates / "layout.html") << "restyled {{{body}}}";
  EXPECT_NE(testing_support::RunWapsite({"upgrade", "--root", root}).out.find("added 1 "),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(templates / "confirm.html"));
  EXPECT_EQ(testing_support::ReadFile(templates / "layout.html"), "restyled {{{body}}}");
  // The existing sites' owners are added with their numbers; their rows and files stay.
  const std::string banner = (dir.path() / "root/waphome/demo/Demo.jpg").string();
  std::filesystem::resize_file(banner, 10);
  EXPECT_EQ(testing_support::RunWapsite(
                member({"add", "demo", "--userid", "1", "--password-stdin"}), "echo pw |")
                .out,
            "1\n");
  EXPECT_EQ(std::filesystem::file_size(banner), 10u);
  EXPECT_NE(testing_support::RunWapsite(
                member({"add", "again", "--userid", "1", "--password-stdin"}), "echo pw |")
                .err.find("site 1 already has an owner"),
            std::string::npos);
  EXPECT_EQ(testing_support::RunWapsite(member({"list"})).out.substr(0, 7), "1\tdemo\t");
}

// A web root restored onto a new address: the site address setting and every member's entry page
// name it; the pictures and any other file stay byte for byte.
TEST(CommandLine, RestoreOntoANewSiteAddressRewritesTheEntryPagesOnly) {
  testing_support::TempDir dir;
  const std::string root = (dir.path() / "root").string(), copy = (dir.path() / "copy").string();
  const std::string tar = (dir.path() / "wap.tar").string();
  ASSERT_EQ(testing_support::RunWapsite({"init", root, "--demo"}).exit_code, 0);
  std::filesystem::create_directories(root + "/waphome/odd");
  std::ofstream(root + "/waphome/odd/index.asp") << "<% Response.Redirect(\"/elsewhere\") %>";
  ASSERT_EQ(testing_support::RunWapsite({"backup", "--root", root, "--to", tar}).exit_code, 0);
  const auto restored = testing_support::RunWapsite(
      {"restore", "--from", tar, "--root", copy, "--site-address", "https://m.new.example"});
  EXPECT_EQ(restored.exit_code, 0) << restored.err;
  EXPECT_NE(restored.out.find("member entry pages pointed at it: 1\n"), std::string::npos)
      << restored.out;
  EXPECT_NE(restored.err.find("waphome/odd/index.asp as it is"), std::string::npos);
  using testing_support::ReadFile;
  EXPECT_EQ(ReadFile(copy + "/inc/siteaddress.txt"), "https://m.new.example\n");
  EXPECT_EQ(ReadFile(copy + "/waphome/demo/index.asp"),
            "<%\r\n'Create by Orbel\r\nresponse.Redirect(\"https://m.new.example/wap/"
            "index.asp?userid=1&username=demo\")\r\n%>");
  for (const char* kept : {"/waphome/demo/Demo.jpg", "/waphome/odd/index.asp"}) {
    EXPECT_EQ(ReadFile(copy + kept), ReadFile(root + kept)) << kept;
  }
  EXPECT_EQ(testing_support::RunWapsite(
                {"restore", "--from", tar, "--root", copy + "2", "--site-address", "http://x/%>"})
                .exit_code,
            2);
}

// At a terminal, `member passwd NAME` asks twice without echo; typed differently, nothing
// changes. `member add` refuses a name it cannot take before it asks. (`script` gives the command a terminal; the input waits for the prompt, since turning
// the echo off drops what was typed before.)
TEST(CommandLine, MemberPasswordsAreAskedTwiceAtTheTerminalWithoutEchoAndOnlyForAGoodName) {
  testing_support::TempDir dir;
  const std::string root = (dir.path() / "root").string();
  ASSERT_EQ(testing_support::RunWapsite({"init", root, "--demo"}).exit_code, 0);
  const struct {
    const char *command, *typed;
    int code;
    const char* says;
  } cases[] = {
      {"member passwd demo", "n3w-pw\\nn3w-pw\\n", 0, "password of demo set"},
      {"member passwd demo", "one-pw\\ntwo-pw\\n", 1, "the two passwords differ; nothing changed"},
      {"member add 'Bad Name'", "", 1, "is not a name a new owner may take"},  // nothing asked
  };
  for (const auto& c : cases) {
    const std::string out = (dir.path() / "out").string();
    const std::string command = "(sleep 1; printf '" + std::string(c.typed) +
                                "') | script -qec \"'" WAPSITE_BIN "' " + c.command + " --root '" +
                                root + "'\" /dev/null > '" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.command;
    EXPECT_EQ(WEXITSTATUS(status), c.code) << c.command;
    const std::string said = testing_support::ReadFile(out);
    EXPECT_EQ(said.find("New password for ") != std::string::npos, *c.typed != 0) << said;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
    EXPECT_EQ(said.find("-pw"), std::string::npos) << said;  // never echoed
  }
}

}  // namespace
}  // namespace cli
