// wapsite class add|rename|delete and wapsite site create: the back office's class management and
// site creation for one member, run from the command line through the adminmanage object, so that
// an operator can script the provisioning of sites.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "cli/admin_runner.h"
#include "cli/commands.h"
#include "wap/admin/class_management.h"
#include "wap/admin/member_name.h"
#include "wap/framework/small_int.h"
#include "wap/framework/whole_number.h"

namespace cli {
namespace {

constexpr int kOk = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

// The values every administration command takes. Options are read as text and checked by the
// command itself, so that a bad value is a usage error (exit 2) with a clear message.
struct MemberOptions {
  std::string root;
  std::string userid;
  std::string username;
};

struct ClassOptions {
  std::string name;
  std::string type;
  std::string sortid;
  std::string id;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void AddMemberOptions(CLI::App& command, MemberOptions& member, bool username_required) {
  command.add_option("--root", member.root, "web root laid out by wapsite init (required)")
      ->type_name("DIR");
  command
      .add_option("--userid", member.userid,
                  "the member's numeric id, as the back office's session holds "
                  "it (required)")
      ->type_name("N");
  command
      .add_option("--username", member.username,
                  username_required ? "the member's login name: the folder waphome/NAME (required)"
                                    : "the member's login name (not needed here)")
      ->type_name("NAME");
}

void Require(const std::string& value, std::string_view option) {
  if (value.empty()) throw UsageError(std::string(option) + " is required");
}

std::int64_t CheckMember(const MemberOptions& member) {
  Require(member.root, "--root");
  Require(member.userid, "--userid");
  if (!std::filesystem::is_directory(member.root)) {
    throw UsageError("--root: no such folder '" + member.root + "'");
  }
  const auto userid = wap::ParseWholeNumber(member.userid);
  if (!userid || member.userid.find(' ') != std::string::npos) {
    throw UsageError("--userid must be a whole number, not '" + member.userid + "'");
  }
  return *userid;
}

// A small integer (-32768..32767) given as `option`; required.
std::int16_t SmallInt(const std::string& value, std::string_view option) {
  Require(value, option);
  const auto n = wap::ParseSmallInt(value);
  if (!n || value.find_first_not_of("-0123456789") != std::string::npos) {
    throw UsageError(std::string(option) + " must be a whole number from -32768 to 32767, not '" +
                     value + "'");
  }
  return *n;
}

// A class name that the back office would store: not empty once blanks and apostrophes go.
void CheckClassName(const std::string& name) {
  Require(name, "--name");
  if (wap::CleanClassName(name).empty()) {
    throw UsageError("--name is empty once outer blanks and apostrophes are removed");
  }
  if (name.find('\0') != std::string::npos) throw UsageError("--name holds a NUL character");
}

// Runs `body` for the command `name`, turning its outcome into the exit code and messages.
// Arguments the command does not know are a usage error too (the commands allow extras so that
// they, not the parser, answer them with exit code 2).
void Run(const std::string& name, const CLI::App& command, int& exit_code,
         const std::function<int()>& body) {
  try {
    if (!command.remaining().empty()) {
      throw UsageError("unknown argument '" + command.remaining().front() + "'");
    }
    exit_code = body();
  } catch (const UsageError& e) {
    std::cerr << "wapsite " << name << ": " << e.what() << "\nRun 'wapsite " << name
              << " --help' for the options.\n";
    exit_code = kUsage;
  } catch (const std::exception& e) {
    std::cerr << "wapsite " << name << ": " << e.what() << "\n";
    exit_code = kFailure;
  }
}

// Runs the operation; prints `done` on success, the failure on standard error.
int Report(const std::string& name, const AdminCall& call, std::string_view method,
           const std::string& done) {
  if (const auto failure = RunAdminOperation(call, method)) {
    std::cerr << "wapsite " << name << ": " << *failure << "\n";
    return kFailure;
  }
  std::cout << done << "\n";
  return kOk;
}

// A command group ("class", "site") without one of its commands is a usage error (exit 2).
void RequireOneOf(CLI::App& group, int& exit_code) {
  group.require_subcommand(0, 1);
  group.callback([&group, &exit_code] {
    if (!group.get_subcommands().empty()) return;
    std::cerr << "wapsite " << group.get_name() << ": name one of its commands\n" << group.help();
    exit_code = kUsage;
  });
}

// A command that answers unknown arguments itself (see Run).
CLI::App* AddCommand(CLI::App& group, std::string name, std::string description) {
  CLI::App* command = group.add_subcommand(std::move(name), std::move(description));
  command->allow_extras();
  command->footer("Exit status: 0 done; 1 failed (the reason on standard error); 2 usage error.");
  return command;
}

AdminCall MakeCall(const MemberOptions& member) {
  return AdminCall{member.root, member.userid, member.username, {}, {}};
}

void AddClassCommands(CLI::App& app, int& exit_code) {
  CLI::App* group = app.add_subcommand(
      "class", "Add, rename or delete a member's classes (the sections of its site)");
  RequireOneOf(*group, exit_code);
  auto member = std::make_shared<MemberOptions>();
  auto values = std::make_shared<ClassOptions>();

  CLI::App* add = AddCommand(*group, "add", "Add a class to the member's site");
  AddMemberOptions(*add, *member, false);
  add->add_option("--name", values->name,
                  "the class name; outer blanks and apostrophes are "
                  "removed (required)");
  add->add_option("--type", values->type,
                  "0 single content, 1 news list, 2 products, 3 guestbook, 4 "
                  "call entry (required)")
      ->type_name("N");
  add->add_option("--sortid", values->sortid, "position in the member's list (required)")
      ->type_name("N");
  add->callback([add, member, values, &exit_code] {
    Run("class add", *add, exit_code, [&] {
      CheckMember(*member);
      CheckClassName(values->name);
      SmallInt(values->type, "--type");
      SmallInt(values->sortid, "--sortid");
      AdminCall call = MakeCall(*member);
      call.form = {{"classname", values->name},
                   {"type", values->type},
                   {"sortid", values->sortid},
                   {"submit", "新建"}};
      return Report("class add", call, "AdminClass_DoAction", "class added");
    });
  });

  CLI::App* rename = AddCommand(*group, "rename", "Rename and re-sort one of the member's classes");
  AddMemberOptions(*rename, *member, false);
  rename->add_option("--id", values->id, "the class's id (required)")->type_name("N");
  rename->add_option("--name", values->name,
                     "the new name; outer blanks and apostrophes are "
                     "removed (required)");
  rename->add_option("--sortid", values->sortid, "the new position (required)")->type_name("N");
  rename->callback([rename, member, values, &exit_code] {
    Run("class rename", *rename, exit_code, [&] {
      const std::int64_t userid = CheckMember(*member);
      const std::int16_t id = SmallInt(values->id, "--id");
      CheckClassName(values->name);
      SmallInt(values->sortid, "--sortid");
      if (CountMemberClasses(member->root, userid, id) != 1) {
        std::cerr << "wapsite class rename: member " << userid << " has no class " << id
                  << "; nothing renamed\n";
        return kFailure;
      }
      AdminCall call = MakeCall(*member);
      call.form = {{"id", values->id},
                   {"edtclassname", values->name},
                   {"edtsortid", values->sortid},
                   {"submit", "保存"}};
      return Report("class rename", call, "AdminClass_DoAction",
                    "class " + std::to_string(id) + " renamed");
    });
  });

  CLI::App* remove =
      AddCommand(*group, "delete", "Delete one of the member's classes with its contents");
  AddMemberOptions(*remove, *member, false);
  remove->add_option("--id", values->id, "the class's id (required)")->type_name("N");
  remove->callback([remove, member, values, &exit_code] {
    Run("class delete", *remove, exit_code, [&] {
      const std::int64_t userid = CheckMember(*member);
      const std::int16_t id = SmallInt(values->id, "--id");
      if (CountMemberClasses(member->root, userid, id) != 1) {
        std::cerr << "wapsite class delete: member " << userid << " has no class " << id
                  << "; nothing deleted\n";
        return kFailure;
      }
      AdminCall call = MakeCall(*member);
      call.query = {{"act", "del"}, {"id", values->id}};
      return Report("class delete", call, "AdminClass_DoAction",
                    "class " + std::to_string(id) + " deleted with its contents");
    });
  });
}

void AddSiteCommands(CLI::App& app, int& exit_code) {
  CLI::App* group = app.add_subcommand("site", "Provision a member's site");
  RequireOneOf(*group, exit_code);
  auto member = std::make_shared<MemberOptions>();
  CLI::App* create = AddCommand(*group, "create",
                                "Create the member's folder waphome/NAME with its upload "
                                "folder, copy the member's site "
                                "template (wapTemplete/N of its wap_setting row) into it, "
                                "overwriting, and write its entry "
                                "page index.asp, which redirects to the site's home page at "
                                "the address in "
                                "inc/siteaddress.txt");
  AddMemberOptions(*create, *member, true);
  create->callback([create, member, &exit_code] {
    Run("site create", *create, exit_code, [&] {
      CheckMember(*member);
      Require(member->username, "--username");
      if (!wap::IsSafeMemberName(member->username)) {
        throw UsageError("--username must be a plain folder name, not '" + member->username + "'");
      }
      return Report(
          "site create", MakeCall(*member), "CreateSite",
          "site of " + member->username + " created in " +
              (std::filesystem::path(member->root) / "waphome" / member->username).string());
    });
  });
}

}  // namespace

void AddAdminCommands(CLI::App& app, int& exit_code) {
  AddClassCommands(app, exit_code);
  AddSiteCommands(app, exit_code);
}

}  // namespace cli
