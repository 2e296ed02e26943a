// The subcommands of the wapsite program. Each Add… function registers its subcommand on `app`;
// when the subcommand runs, its callback stores the process exit code in `exit_code`.
#pragma once

#include <memory>
#include <string_view>

#include "platform/host/objects/host_object.h"

namespace CLI {
class App;
}

namespace cli {

void AddServeCommand(CLI::App& app, int& exit_code);   // serve_command.cc
void AddInitCommand(CLI::App& app, int& exit_code);    // init_command.cc
void AddAdminCommands(CLI::App& app, int& exit_code);  // admin_commands.cc: class …, site create
void AddMemberCommands(CLI::App& app, int& exit_code);  // member_commands.cc: member …
void AddUpgradeCommand(CLI::App& app, int& exit_code);  // upgrade_command.cc
void AddBackupCommands(CLI::App& app, int& exit_code);  // backup_command.cc: backup, restore

// Every object a host page may create, by its program id in any letter case: "wap.CLASS",
// "site.CLASS", "Scripting.FileSystemObject". nullptr for an unknown id.
std::unique_ptr<host::HostObject> CreateObjectByName(std::string_view prog_id);

}  // namespace cli
