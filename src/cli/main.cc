// The wapsite program: serves member sites and provisions them.
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
  CLI11_PARSE(app, argc, argv);
  return exit_code;
}
