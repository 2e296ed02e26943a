// ConnectionSettings: the database a Connection opens, as the site's settings name it. `server`
// (the Data Source) chooses the engine: "sqlite:PATH" is the SQLite file PATH (relative to the
// pool's base folder unless absolute), anything else a PostgreSQL server "HOST" or "HOST,PORT",
// with `user`, `password` and `database`. Equal settings share pooled connections. A plain value.
#pragma once

#include <compare>
#include <string>

namespace data {

struct ConnectionSettings {
  std::string server;    // the Data Source
  std::string user;      // User ID
  std::string password;  // Password
  std::string database;  // Initial Catalog

  auto operator<=>(const ConnectionSettings&) const = default;
};

}  // namespace data
