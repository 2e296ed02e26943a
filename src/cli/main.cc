// The wapsite program: serves member sites and provisions them. Exit codes: 0 done, 1 the command
// failed, 2 the command line could not be used.
#include <CLI/CLI.hpp>

#include "cli/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"wapsite: serves the mobile sites of many members (WML 1.1 or XHTML Mobile) and "
               "provisions them"};
  app.require_subcommand(1);
  int exit_code = 0;
  cli::AddServeCommand(app, exit_code);
  cli::AddInitCommand(app, exit_code);
  cli::AddAdminCommands(app, exit_code);
  cli::AddMemberCommands(app, exit_code);
  cli::AddUpgradeCommand(app, exit_code);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version are "errors" that exit 0; anything else is a usage error.
    return app.exit(e) == 0 ? 0 : 2;
  }
  return exit_code;
}
