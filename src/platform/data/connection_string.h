// The pieces of a connection string that the data layer uses, and the engine its Data Source
// names. A connection string is "KEY=VALUE" pieces joined by ";", keys in any letter case
// ("Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=S;User ID=U;Password=W;
// Initial Catalog=D"). Pure functions; thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/data/connection_settings.h"

namespace data {

// The settings of `connection_string`: "Data Source" (or "Server"), "User ID" (or "UID"),
// "Password" (or "PWD"), "Initial Catalog" (or "Database"). Keys are matched without regard to case and trimmed of
// blanks; values are taken as they stand (a value runs to the next ";"). Pieces without "=" and
// unknown keys are ignored; a repeated key keeps its last value. Never throws for any input.
ConnectionSettings ParseConnectionString(std::string_view connection_string);

// The wapsite form of a connection string for `settings`, as the component's OpenDB builds it.
std::string BuildConnectionString(const ConnectionSettings& settings);

// The prefix of a Data Source that names an SQLite file: "sqlite:PATH".
inline constexpr std::string_view kSqlitePrefix = "sqlite:";

// The SQLite file path of `data_source` ("sqlite:PATH" in any letter case gives PATH), or an
// empty view when it names no SQLite file.
std::string_view SqlitePathOf(std::string_view data_source);

// A PostgreSQL server address: "HOST" or "HOST,PORT" (port 5432 when not given).
struct ServerAddress {
  std::string host;
  std::uint16_t port = 5432;
};

// Splits `data_source` into host and port. Throws DataError for an empty host or a port that is
// not a whole number from 1 to 65535.
ServerAddress ParseServerAddress(std::string_view data_source);

}  // namespace data
