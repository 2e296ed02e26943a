// The site database of a web root, opened for the command line as the back office's pages open
// it: the settings of the root's conn.asp (strSQLServer, strSQLUser, strSQLPassword,
// strSQLDataBase), the same connection string, a pool of its own. One thread.
#pragma once

#include <filesystem>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"

namespace cli {

// The settings of the web root `root`'s conn.asp. Throws std::runtime_error naming conn.asp when
// it cannot be read.
data::ConnectionSettings SiteConnectionSettings(const std::filesystem::path& root);

class SiteDatabase {
 public:
  // Opens the database of the web root `root`. Throws std::runtime_error naming conn.asp when it
  // cannot be read, and "OpenDB():" with the description when the database cannot be opened.
  explicit SiteDatabase(const std::filesystem::path& root);
  SiteDatabase(const SiteDatabase&) = delete;
  SiteDatabase& operator=(const SiteDatabase&) = delete;

  data::Connection& Connection() { return connection_; }

 private:
  data::ConnectionPool pool_;
  data::Connection connection_;
};

}  // namespace cli
