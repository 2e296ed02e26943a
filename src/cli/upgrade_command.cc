// `wapsite upgrade --root DIR`: brings the site database of a web root to the schema this program
// uses (see schema_upgrade.h), in one transaction, and adds the back-office page templates this
// program has that the web root lacks (never replacing one an operator may have restyled);
// running it again changes nothing.
#include <CLI/CLI.hpp>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/init_web_root.h"
#include "cli/schema_upgrade.h"
#include "cli/site_database.h"

namespace cli {
namespace {

// Copies each template of the skeleton's admin/templates that `root` lacks; returns how many.
int AddMissingTemplates(const std::filesystem::path& root) {
  const std::filesystem::path from = FindShareFolder() / "skeleton" / "admin" / "templates";
  const std::filesystem::path to = root / "admin" / "templates";
  int added = 0;
  std::filesystem::create_directories(to);
  for (const auto& entry : std::filesystem::directory_iterator(from)) {
    const std::filesystem::path target = to / entry.path().filename();
    if (!entry.is_regular_file() || std::filesystem::exists(target)) continue;
    std::filesystem::copy_file(entry.path(), target);
    ++added;
  }
  return added;
}

}  // namespace

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
      // The database is upgraded whatever happens to the templates, so a failure here is told
      // but does not make the upgrade a failure.
      try {
        if (const int added = AddMissingTemplates(*root); added > 0) {
          std::cout << "added " << added << " back-office page templates to admin/templates\n";
        }
      } catch (const std::exception& e) {
        std::cerr << "wapsite upgrade: the back-office page templates were not checked: "
                  << e.what() << "\n";
      }
      return kOk;
    });
  });
}

}  // namespace cli
