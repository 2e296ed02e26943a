// The site database's schema version and the steps that bring an older database up to date.
//
// A database made by this program holds the table wapsite_schema with one row, its version. One
// of the site's tables without that table is version 1 (made before versions were kept). The
// steps are one ordered list: step N turns version N-1 into version N, for each engine, and a
// later table is added as one more step at the end (with kSchemaVersion and the version row of
// schema/*.sql raised to match). One thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace data {
class Connection;
}

namespace cli {

// The version the schema files create and UpgradeSchema brings a database to.
inline constexpr int kSchemaVersion = 5;

// The version of the open database. Throws std::runtime_error when it holds none of the site's
// tables, and what the database throws.
int SchemaVersion(data::Connection& connection, bool postgres);

// Runs every step after the database's version, then records kSchemaVersion, all in one
// transaction: afterwards the database is up to date, or, on a failure, as it was. Returns the
// versions before and after; equal when there was nothing to do. Throws std::runtime_error for a
// database newer than this program (nothing is changed), and what the database throws.
std::pair<int, int> UpgradeSchema(data::Connection& connection, bool postgres);

// Why this program cannot use the database as it is: older than kSchemaVersion (the message names
// `wapsite upgrade --root ROOT`) or newer. std::nullopt when it is at kSchemaVersion. Throws what
// SchemaVersion throws.
std::optional<std::string> SchemaMismatch(data::Connection& connection, bool postgres,
                                          std::string_view root);

}  // namespace cli
