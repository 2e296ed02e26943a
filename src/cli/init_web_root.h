// Lays out a web root for `wapsite serve`: the host pages, the settings files, a site template,
// the member folder root and a site database with the schema applied; optionally the demo member
// site (userid 1, username "demo") with its rows and pictures.
//
// The files come from the share folder: `skeleton/` (copied as it stands, except `skeleton/demo/`,
// which only --demo adds), `schema/sqlite.sql` and `schema/postgres.sql`. FindShareFolder says
// where it is looked for. Generated here, not copied: conn.asp (the database settings),
// inc/siteaddress.txt (the public address new member entry pages redirect to; operators set it
// to the address visitors use), data/site.db, and the demo member's entry page.
// Not thread-safe: one call per web root at a time.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace cli {

struct InitOptions {
  std::filesystem::path root;  // the web root to lay out; created when missing
  bool demo = false;           // add the demo member site
  bool force = false;          // lay out over a non-empty folder, replacing the site database
  // A connection string naming a PostgreSQL database (Data Source=HOST[,PORT];User ID=…;
  // Password=…;Initial Catalog=…) to hold the site's tables instead of data/site.db.
  std::optional<std::string> postgres;
  std::string site_address = "http://127.0.0.1:8080";  // written to inc/siteaddress.txt
  std::filesystem::path share_folder;  // empty: FindShareFolder()
};

class InitError : public std::runtime_error {
 public:
  enum class Kind { kUsage, kFailure };  // exit codes 2 and 1 of `wapsite init`
  InitError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// What InitWebRoot made, for the message of `wapsite init`.
struct InitResult {
  std::filesystem::path root;  // absolute
  std::string database;        // "data/site.db" or the PostgreSQL server and database
};

// Lays out `options.root`. Refuses (kFailure) a folder that is not empty unless options.force;
// with force, files of the skeleton overwrite files of the same name, other files stay, and the
// site database is created anew (PostgreSQL: the site's tables and view are dropped first).
// Throws InitError: kUsage for option values that cannot work (a blank in a conn.asp value, an
// empty database name, a quote in the site address), kFailure for everything else, with a
// message naming what failed.
InitResult InitWebRoot(const InitOptions& options);

// The share folder: the first of $WAPSITE_SHARE_DIR, the folder `share/wapsite` beside the
// executable's folder, the executable's own folder, and the source tree this program was built
// from, that holds skeleton/ and schema/. Throws InitError (kFailure) when none does.
std::filesystem::path FindShareFolder();

}  // namespace cli
