// wapsite class add|rename|delete and wapsite site create: the back office's class management and
// site creation for one member, run from the command line through the same functions as the back
// office's object, so that an operator can script the provisioning of sites.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "backoffice/images/handset_picture.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/site_database.h"
#include "platform/fs/file_system_object.h"
#include "store/classes.h"
#include "store/owners.h"
#include "store/settings.h"
#include "wap/admin/member_name.h"
#include "wap/admin/site_creation.h"
#include "wap/framework/whole_number.h"

namespace cli {
namespace {

// The values every administration command takes; CLI11's validators check them, so that a bad
// value is a usage error (exit 2) before anything runs.
struct MemberOptions {
  std::string root;
  std::int64_t userid = 0;
  std::string username;
};

struct ClassOptions {
  std::string name;
  int type = 0;
  int sortid = 0;
  int id = 0;
};

// A whole number as the back office reads a userid, without blanks; passed on in plain decimal.
const CLI::Validator kWholeNumber(
    [](std::string& value) -> std::string {
      const auto n = wap::ParseWholeNumber(value);
      if (!n || value.find(' ') != std::string::npos) {
        return "must be a whole number, not '" + value + "'";
      }
      value = std::to_string(*n);
      return "";
    },
    "N");

// A class name that the back office would store: not empty once blanks and apostrophes go.
const CLI::Validator kClassName(
    [](const std::string& value) -> std::string {
      if (store::CleanClassName(value).empty()) {
        return "is empty once outer blanks and apostrophes are removed";
      }
      return "";
    },
    "NAME");

const CLI::Validator kMemberName(
    [](const std::string& value) -> std::string {
      return wap::IsSafeMemberName(value) ? "" : "must be a plain folder name, not '" + value + "'";
    },
    "NAME");

const CLI::Range kSmallInt(-32768, 32767);

void AddMemberOptions(CLI::App& command, MemberOptions& member, bool username_required) {
  command.add_option("--root", member.root, "web root laid out by wapsite init")
      ->required()
      ->check(CLI::ExistingDirectory)
      ->type_name("DIR");
  command
      .add_option("--userid", member.userid,
                  "the member's numeric id, as the back office's session holds it")
      ->required()
      ->transform(kWholeNumber)
      ->type_name("N");
  if (username_required) {
    command
        .add_option("--username", member.username,
                    "the member's login name: the folder waphome/NAME")
        ->required()
        ->check(kMemberName);
  } else {
    command.add_option("--username", member.username, "the member's login name (not needed here)")
        ->type_name("NAME");
  }
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
                  "the class name; outer blanks and apostrophes are removed")
      ->required()
      ->check(kClassName);
  add->add_option("--type", values->type,
                  "0 single content, 1 news list, 2 products, 3 guestbook, 4 call entry")
      ->required()
      ->check(CLI::Range(0, 4));
  add->add_option("--sortid", values->sortid, "position in the member's list")
      ->required()
      ->check(kSmallInt);
  add->callback([member, values, &exit_code] {
    Run("class add", exit_code, [&] {
      SiteDatabase db(member->root);
      // A member is an owner, or a site from before owners were kept (its settings row).
      if (!store::FindOwnerById(db.Connection(), member->userid) &&
          !store::SettingOf(db.Connection(), member->userid)) {
        std::cerr << "wapsite class add: there is no member " << member->userid
                  << " (no owner and no site settings); nothing added\n";
        return kFailure;
      }
      // The name was checked non-empty once cleaned, so a class was added.
      const auto id = store::AddClass(db.Connection(), member->userid, values->name, values->type,
                                      values->sortid);
      std::cout << "class " << id.value_or(0) << " added\n";
      return kOk;
    });
  });

  CLI::App* rename = AddCommand(*group, "rename", "Rename and re-sort one of the member's classes");
  AddMemberOptions(*rename, *member, false);
  rename->add_option("--id", values->id, "the class's id")->required()->check(kSmallInt);
  rename
      ->add_option("--name", values->name, "the new name; outer blanks and apostrophes are removed")
      ->required()
      ->check(kClassName);
  rename->add_option("--sortid", values->sortid, "the new position")->required()->check(kSmallInt);
  rename->callback([member, values, &exit_code] {
    Run("class rename", exit_code, [&] {
      SiteDatabase db(member->root);
      if (!store::RenameClass(db.Connection(), member->userid, values->id, values->name,
                              values->sortid)) {
        std::cerr << "wapsite class rename: member " << member->userid << " has no class "
                  << values->id << "; nothing renamed\n";
        return kFailure;
      }
      std::cout << "class " << values->id << " renamed\n";
      return kOk;
    });
  });

  CLI::App* remove =
      AddCommand(*group, "delete", "Delete one of the member's classes with its contents");
  AddMemberOptions(*remove, *member, false);
  remove->add_option("--id", values->id, "the class's id")->required()->check(kSmallInt);
  remove->callback([member, values, &exit_code] {
    Run("class delete", exit_code, [&] {
      SiteDatabase db(member->root);
      if (!store::DeleteClass(db.Connection(), member->userid, values->id)) {
        std::cerr << "wapsite class delete: member " << member->userid << " has no class "
                  << values->id << "; nothing deleted\n";
        return kFailure;
      }
      std::cout << "class " << values->id << " deleted with its contents\n";
      return kOk;
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
  create->callback([member, &exit_code] {
    Run("site create", exit_code, [&] {
      const std::filesystem::path root = std::filesystem::canonical(member->root);
      SiteDatabase db(root);
      fso::FileSystemObject files;
      wap::CreateMemberSite(db.Connection(), files, root, root / "waphome", member->userid,
                            member->username);
      backoffice::images::MakeFolderWbmps(root / "waphome" / member->username);
      std::cout << "site of " << member->username << " created in "
                << (std::filesystem::path(member->root) / "waphome" / member->username).string()
                << "\n";
      return kOk;
    });
  });
}

}  // namespace

void AddAdminCommands(CLI::App& app, int& exit_code) {
  AddClassCommands(app, exit_code);
  AddSiteCommands(app, exit_code);
}

}  // namespace cli
