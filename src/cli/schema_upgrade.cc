#include "cli/schema_upgrade.h"

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"
#include "cli/change_signal_schema.h"
#include "platform/host/sessions/site_tables.h"

namespace cli {
namespace {

struct Step {
  int version;  // the version this step reaches
  const char* sqlite;
  const char* postgres;
};

// Each step's statements as the schema files of its version hold them.
constexpr Step kSteps[] = {
    {2,
     "CREATE TABLE wap_owners (userid INTEGER PRIMARY KEY, username TEXT NOT NULL UNIQUE, "
     "password TEXT NOT NULL, created TEXT NOT NULL DEFAULT (datetime('now', 'localtime')), "
     "lastlogin TEXT, disabled INTEGER NOT NULL DEFAULT 0);"
     "CREATE TABLE wap_audit (id INTEGER PRIMARY KEY AUTOINCREMENT, userid INTEGER NOT NULL, "
     "addtime TEXT NOT NULL DEFAULT (datetime('now', 'localtime')), address TEXT NOT NULL, "
     "action TEXT NOT NULL, target TEXT);"
     "CREATE INDEX wap_audit_userid ON wap_audit (userid, id);"
     "CREATE TABLE wapsite_schema (version INTEGER NOT NULL);"
     "INSERT INTO wapsite_schema (version) VALUES (1);",
     "CREATE TABLE wap_owners (userid integer PRIMARY KEY, username text NOT NULL UNIQUE, "
     "password text NOT NULL, created timestamp(0) NOT NULL DEFAULT localtimestamp(0), "
     "lastlogin timestamp(0), disabled integer NOT NULL DEFAULT 0);"
     "CREATE TABLE wap_audit (id serial PRIMARY KEY, userid integer NOT NULL, "
     "addtime timestamp(0) NOT NULL DEFAULT localtimestamp(0), address text NOT NULL, "
     "action text NOT NULL, target text);"
     "CREATE INDEX wap_audit_userid ON wap_audit (userid, id);"
     "CREATE TABLE wapsite_schema (version integer NOT NULL);"
     "INSERT INTO wapsite_schema (version) VALUES (1);"},
    // The host's tables of sessions and throttling counters shared by several instances; the same
    // statements on both engines.
    {3, host::kSiteTablesUpgrade.data(), host::kSiteTablesUpgrade.data()},
    // Change signals: triggers announce the member of every changed row of a site.
    {4, kChangeSignalsSqlite.data(), kChangeSignalsPostgres.data()},
    // Session stamps: a sign-in or member login ends when its account's stamp moves on.
    {5,
     "ALTER TABLE wap_owners ADD COLUMN session_stamp INTEGER NOT NULL DEFAULT 0;"
     "ALTER TABLE web_member ADD COLUMN session_stamp INTEGER NOT NULL DEFAULT 0;",
     "ALTER TABLE wap_owners ADD COLUMN session_stamp integer NOT NULL DEFAULT 0;"
     "ALTER TABLE web_member ADD COLUMN session_stamp integer NOT NULL DEFAULT 0;"},
};
static_assert(std::size(kSteps) + 1 == kSchemaVersion, "one step per version after the first");

bool HasTable(data::Connection& connection, bool postgres, const char* table) {
  const std::array<data::Param, 1> params = {std::string(table)};
  const auto count = connection.Execute(
      postgres ? "select count(*) from information_schema.tables where table_name=? and "
                 "table_schema=current_schema()"
               : "select count(*) from sqlite_master where type='table' and name=?",
      params);
  return count->Field(std::size_t{0}).ToInteger().value_or(0) > 0;
}

}  // namespace

int SchemaVersion(data::Connection& connection, bool postgres) {
  if (!HasTable(connection, postgres, "wapsite_schema")) {
    if (!HasTable(connection, postgres, "wap_classes")) {
      throw std::runtime_error("the database holds none of the site's tables");
    }
    return 1;
  }
  const auto row = connection.Execute("select max(version) from wapsite_schema");
  const auto version = row->Eof() ? std::nullopt : row->Field(std::size_t{0}).ToInteger();
  if (!version) throw std::runtime_error("the table wapsite_schema holds no version");
  return static_cast<int>(*version);
}

std::optional<std::string> SchemaMismatch(data::Connection& connection, bool postgres,
                                          std::string_view root) {
  const int version = SchemaVersion(connection, postgres);
  if (version < kSchemaVersion) {
    return "the site database is at schema version " + std::to_string(version) +
           ", older than this wapsite's " + std::to_string(kSchemaVersion) +
           "; bring it up to date with: wapsite upgrade --root " + std::string(root);
  }
  if (version > kSchemaVersion) {
    return "the site database is at schema version " + std::to_string(version) +
           ", newer than this wapsite knows (" + std::to_string(kSchemaVersion) + ")";
  }
  return std::nullopt;
}

std::pair<int, int> UpgradeSchema(data::Connection& connection, bool postgres) {
  data::TransactionGuard transaction(connection);
  const int from = SchemaVersion(connection, postgres);
  if (from > kSchemaVersion) {
    throw std::runtime_error("the database is at schema version " + std::to_string(from) +
                             ", newer than this wapsite knows (" +
                             std::to_string(kSchemaVersion) + ")");
  }
  for (const Step& step : kSteps) {
    if (step.version > from) connection.ExecuteScript(postgres ? step.postgres : step.sqlite);
  }
  const std::array<data::Param, 1> version = {std::int64_t{kSchemaVersion}};
  connection.Execute("update wapsite_schema set version=?", version);
  transaction.Commit();
  return {from, kSchemaVersion};
}

}  // namespace cli
