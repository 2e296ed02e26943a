// wapsite member add|passwd|disable|enable|list: the site owners' accounts, for the operator.
// Passwords never come from the command line, so they appear in no process list or shell
// history, and are never printed: typed at the terminal (not echoed, asked twice) when standard
// input is one, or the first line of standard input with --password-stdin (its line end is not
// part of it), for scripts.
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "backoffice/new_member.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/schema_upgrade.h"
#include "cli/site_database.h"
#include "platform/passwords/password_hash.h"
#include "store/owners.h"
#include "wap/admin/member_name.h"

namespace cli {
namespace {

struct MemberCommandOptions {
  std::string root;
  bool password_stdin = false;
  backoffice::NewMember member;
};

// One line of standard input without its line end (LF or CR LF).
std::string StdinLine() {
  std::string line;
  std::getline(std::cin, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Turns the terminal's echo off for its lifetime.
class EchoOff {
 public:
  EchoOff() {
    if (tcgetattr(STDIN_FILENO, &saved_) != 0) throw std::runtime_error("cannot read the terminal");
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) {
      throw std::runtime_error("cannot turn the terminal's echo off");
    }
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  ~EchoOff() { tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_); }

 private:
  termios saved_{};
};

// The password of owner `name`: with `from_stdin` the first line of standard input; otherwise
// typed twice at the terminal that standard input is, without echo. Throws when it is empty,
// when the two differ, or when standard input is no terminal and `from_stdin` is false.
std::string ReadPassword(bool from_stdin, const std::string& name) {
  if (from_stdin) {
    std::string line = StdinLine();
    if (line.empty()) throw std::runtime_error("no password on standard input");
    return line;
  }
  if (isatty(STDIN_FILENO) == 0) {
    throw std::runtime_error(
        "standard input is not a terminal: type the password at one, or pipe it in with "
        "--password-stdin");
  }
  std::string typed[2];
  {
    EchoOff quiet;
    for (int i = 0; i < 2; ++i) {
      std::cerr << (i == 0 ? "New password for " + name + ": " : std::string("Again: "))
                << std::flush;
      typed[i] = StdinLine();
      std::cerr << '\n';
    }
  }
  if (typed[0].empty()) throw std::runtime_error("the password is empty");
  if (typed[0] != typed[1]) throw std::runtime_error("the two passwords differ; nothing changed");
  return typed[0];
}

void AddRoot(CLI::App& command, MemberCommandOptions& options) {
  command.add_option("--root", options.root, "web root laid out by wapsite init")
      ->required()
      ->check(CLI::ExistingDirectory)
      ->type_name("DIR");
}

void AddName(CLI::App& command, MemberCommandOptions& options) {
  command.add_option("NAME", options.member.username, "the owner's login name = member folder")
      ->required()
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            return wap::IsSafeMemberName(value)
                       ? ""
                       : "must be a plain folder name, not '" + value + "'";
          },
          "NAME"));
}

void AddPasswordStdin(CLI::App& command, MemberCommandOptions& options) {
  command.add_flag("--password-stdin", options.password_stdin,
                   "read the password from the first line of standard input (for scripts); "
                   "without it the password is typed at the terminal, twice, not echoed");
}

// Opens the root's database, refusing one that `wapsite upgrade` must bring up to date first.
std::unique_ptr<SiteDatabase> OpenCurrent(const std::string& root) {
  auto db = std::make_unique<SiteDatabase>(root);
  if (const auto mismatch = SchemaMismatch(db->Connection(), db->IsPostgres(), root)) {
    throw std::runtime_error(*mismatch);
  }
  return db;
}

}  // namespace

void AddMemberCommands(CLI::App& app, int& exit_code) {
  CLI::App* group = app.add_subcommand("member", "Site owners' back-office accounts");
  RequireOneOf(*group, exit_code);
  auto options = std::make_shared<MemberCommandOptions>();

  CLI::App* add = AddCommand(*group, "add",
                             "Create an owner account with its wap_setting row and site (folder "
                             "waphome/NAME and entry page); prints the new userid. A failure "
                             "leaves nothing made. NAME: " +
                                 std::string(backoffice::kNewOwnerNames));
  AddRoot(*add, *options);
  AddName(*add, *options);
  AddPasswordStdin(*add, *options);
  add->add_option("--templeteid", options->member.templeteid,
                  "the site template wapTemplete/N to start from")
      ->capture_default_str()
      ->check(CLI::Range(0, 32767));
  add->add_option("--dircall", options->member.dircall,
                  "the call-entry telephone number (digits, +, - and spaces)");
  add->add_option("--userid", options->member.userid,
                  "take over the existing site N (from a database made before owners were "
                  "kept): its rows stay, and its site is created only when waphome/NAME is "
                  "missing")
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{2'147'483'647}));
  add->callback([options, &exit_code] {
    Run("member add", exit_code, [&] {
      backoffice::CheckNewMemberName(options->member);  // before the password is asked for
      options->member.password = ReadPassword(options->password_stdin, options->member.username);
      const auto db = OpenCurrent(options->root);
      const std::filesystem::path root = std::filesystem::canonical(options->root);
      std::cout << backoffice::CreateMember(db->Connection(), root, options->member) << "\n";
      return kOk;
    });
  });

  CLI::App* passwd = AddCommand(*group, "passwd", "Set an owner's password");
  AddRoot(*passwd, *options);
  AddName(*passwd, *options);
  AddPasswordStdin(*passwd, *options);
  passwd->callback([options, &exit_code] {
    Run("member passwd", exit_code, [&] {
      const std::string password = ReadPassword(options->password_stdin, options->member.username);
      const auto db = OpenCurrent(options->root);
      const auto owner = store::FindOwner(db->Connection(), options->member.username);
      if (!owner) throw std::runtime_error("no owner named '" + options->member.username + "'");
      // Every sign-in of the owner ends, on every instance.
      (void)store::SetNewPassword(db->Connection(), owner->userid,
                                  passwords::HashPassword(password));
      std::cout << "password of " << owner->username << " set\n";
      return kOk;
    });
  });

  for (const bool disable : {true, false}) {
    CLI::App* command = AddCommand(*group, disable ? "disable" : "enable",
                                   disable ? "Keep an owner from signing in (the site stays online)"
                                           : "Let a disabled owner sign in again");
    AddRoot(*command, *options);
    AddName(*command, *options);
    command->callback([options, disable, &exit_code] {
      Run(disable ? "member disable" : "member enable", exit_code, [&] {
        const auto db = OpenCurrent(options->root);
        if (!store::SetDisabled(db->Connection(), options->member.username, disable)) {
          throw std::runtime_error("no owner named '" + options->member.username + "'");
        }
        std::cout << options->member.username << (disable ? " disabled\n" : " enabled\n");
        return kOk;
      });
    });
  }

  CLI::App* list = AddCommand(*group, "list",
                              "List the owners: userid, name, created, last sign-in (- for "
                              "never) and state, tab-separated");
  AddRoot(*list, *options);
  list->callback([options, &exit_code] {
    Run("member list", exit_code, [&] {
      const auto db = OpenCurrent(options->root);
      for (const auto& owner : store::ListOwners(db->Connection())) {
        std::cout << owner.userid << '\t' << owner.username << '\t' << owner.created << '\t'
                  << (owner.last_sign_in.empty() ? "-" : owner.last_sign_in) << '\t'
                  << (owner.disabled ? "disabled" : "enabled") << '\n';
      }
      return kOk;
    });
  });
}

}  // namespace cli
