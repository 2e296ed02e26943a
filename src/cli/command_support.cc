#include "cli/command_support.h"

#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

namespace cli {

void Run(const std::string& name, int& exit_code, const std::function<int()>& body) {
  try {
    exit_code = body();
  } catch (const std::exception& e) {
    std::cerr << "wapsite " << name << ": " << e.what() << "\n";
    exit_code = kFailure;
  }
}

void RequireOneOf(CLI::App& group, int& exit_code) {
  group.require_subcommand(0, 1);
  group.callback([&group, &exit_code] {
    if (!group.get_subcommands().empty()) return;
    std::cerr << "wapsite " << group.get_name() << ": name one of its commands\n" << group.help();
    exit_code = kUsage;
  });
}

CLI::App* AddCommand(CLI::App& group, std::string name, std::string description) {
  CLI::App* command = group.add_subcommand(std::move(name), std::move(description));
  command->footer("Exit status: 0 done; 1 failed (the reason on standard error); 2 usage error.");
  return command;
}

}  // namespace cli
