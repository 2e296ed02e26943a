// `wapsite upgrade --root DIR`: brings the site database of a web root to the schema this program
// uses (see schema_upgrade.h), in one transaction; running it again changes nothing.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/schema_upgrade.h"
#include "cli/site_database.h"

namespace cli {

void AddUpgradeCommand(CLI::App& app, int& exit_code) {
  auto root = std::make_shared<std::string>();
  CLI::App* upgrade = app.add_subcommand(
      "upgrade",
      "Bring the site database of a web root made by an older wapsite up to date, in one "
      "transaction");
  upgrade->footer("Exit status: 0 done; 1 failed (the reason on standard error); 2 usage error.");
  upgrade->add_option("--root", *root, "web root laid out by wapsite init")
      ->required()
      ->check(CLI::ExistingDirectory)
      ->type_name("DIR");
  upgrade->callback([root, &exit_code] {
    Run("upgrade", exit_code, [&] {
      SiteDatabase db(*root);
      const auto [from, to] = UpgradeSchema(db.Connection(), db.IsPostgres());
      if (from == to) {
        std::cout << "the site database is up to date (schema version " << to << ")\n";
      } else {
        std::cout << "upgraded the site database from schema version " << from << " to " << to
                  << "\n";
      }
      return kOk;
    });
  });
}

}  // namespace cli
