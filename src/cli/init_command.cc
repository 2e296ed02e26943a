// `wapsite init DIR [--demo] [--force] [--postgres CONNECTION] [--site-address URL]`: lays out a
// web root (see init_web_root.h). Exit codes: 0 done, 1 failure, 2 unusable option values.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/init_web_root.h"

namespace cli {

void AddInitCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<InitOptions>();
  auto root = std::make_shared<std::string>();
  auto postgres = std::make_shared<std::string>();
  CLI::App* init = app.add_subcommand(
      "init",
      "Lay out a web root: host pages, conn.asp, inc/, a site template, waphome/ and the site "
      "database (data/site.db, SQLite, unless --postgres)");
  init->add_option("DIR", *root, "the folder to lay out; created when missing")->required();
  init->add_flag("--demo", options->demo,
                 "add the demo member site (userid 1, username demo) with its rows and pictures");
  init->add_flag("--force", options->force,
                 "lay out over a folder that is not empty; the site database is created anew "
                 "(with --postgres, the site's tables are dropped and recreated)");
  init->add_option("--postgres", *postgres,
                   "keep the site's tables in this PostgreSQL database instead: \"Data "
                   "Source=HOST[,PORT];User ID=USER;Password=PASSWORD;Initial Catalog=DB\"; "
                   "conn.asp then names it");
  init->add_option("--site-address", options->site_address,
                   "the public address of the installation, written to inc/siteaddress.txt "
                   "(entry pages of new member sites redirect to it)")
      ->capture_default_str();
  init->callback([options, root, postgres, &exit_code, init] {
    options->root = *root;
    if (init->count("--postgres") > 0) options->postgres = *postgres;
    try {
      const InitResult result = InitWebRoot(*options);
      std::cout << "laid out " << result.root.string() << " (database: " << result.database
                << ")\n";
      if (options->demo) {
        std::cout << "demo site: /wap/index.asp?userid=1&username=demo&siteid=1\n"
                  << "demo owner: sign in at /admin/ as demo with the password demo (change it "
                     "on a public server)\n";
      }
      std::cout << "serve it with: wapsite serve --root " << result.root.string()
                << "; set inc/siteaddress.txt to the address visitors use\n";
      exit_code = 0;
    } catch (const InitError& e) {
      std::cerr << "wapsite init: " << e.what() << "\n";
      exit_code = e.kind() == InitError::Kind::kUsage ? 2 : 1;
    }
  });
}

}  // namespace cli
