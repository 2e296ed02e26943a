// The site database of a PageHarness on either engine: the harness's own SQLite file, or a fresh
// PostgreSQL database (made from schema/postgres.sql on the server WAPSITE_PG names, dropped at the
// end) that the harness's conn.asp is rewritten to name. Statements run through the harness's pool,
// so they are logged like the pages' own.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "support/page_harness.h"

namespace wap::admin_test {

enum class Engine { kSqlite, kPostgres };

inline const char* EngineName(Engine e) { return e == Engine::kSqlite ? "sqlite" : "postgres"; }

class SiteDatabase {
 public:
  // Requires for kPostgres: PostgresAvailable().
  SiteDatabase(testing_support::PageHarness& harness, Engine engine) : harness_(harness) {
    if (engine == Engine::kSqlite) {
      connection_string_ = std::string(testing_support::PageHarness::kConnectionString);
      return;
    }
    std::map<std::string, std::string> parts;
    std::stringstream pieces(std::getenv("WAPSITE_PG"));
    for (std::string piece; std::getline(pieces, piece, ';');) {
      const auto eq = piece.find('=');
      if (eq != std::string::npos) parts[piece.substr(0, eq)] = piece.substr(eq + 1);
    }
    static std::atomic<int> counter{0};
    database_ = "wapsite_admin_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    admin_string_ = std::getenv("WAPSITE_PG");
    RunOnServer("CREATE DATABASE " + database_);
    connection_string_ =
        "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=" + parts["Data Source"] +
        ";User ID=" + parts["User ID"] + ";Password=" + parts["Password"] +
        ";Initial Catalog=" + database_;
    harness_.WriteFile("conn.asp", "<%\r\nstrSQLServer=\"" + parts["Data Source"] +
                                       "\"\r\nstrSQLUser=\"" + parts["User ID"] +
                                       "\"\r\nstrSQLPassword=\"" + parts["Password"] +
                                       "\"\r\nstrSQLDataBase=\"" + database_ + "\"\r\n%>\r\n");
    std::ifstream schema(std::string(WAPSITE_SOURCE_DIR) + "/schema/postgres.sql");
    std::stringstream text;
    text << schema.rdbuf();
    Sql(text.str());
  }
  ~SiteDatabase() {
    if (database_.empty()) return;
    try {
      RunOnServer("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
    } catch (const std::exception& e) {
      ADD_FAILURE() << "cannot drop " << database_ << ": " << e.what();
    }
  }
  SiteDatabase(const SiteDatabase&) = delete;
  SiteDatabase& operator=(const SiteDatabase&) = delete;

  static bool PostgresAvailable() { return std::getenv("WAPSITE_PG") != nullptr; }

  void Sql(std::string_view script) {
    data::Connection connection(harness_.Pool());
    connection.Open(connection_string_);
    connection.ExecuteScript(script);
  }

  // The rows of `sql`, each as its fields' text.
  std::vector<std::vector<std::string>> Query(std::string_view sql) {
    data::Connection connection(harness_.Pool());
    connection.Open(connection_string_);
    data::Recordset rows;
    rows.Open(sql, connection);
    std::vector<std::vector<std::string>> result;
    for (; !rows.Eof(); rows.MoveNext()) {
      std::vector<std::string> row;
      for (std::size_t i = 0; i < rows.FieldCount(); ++i) row.push_back(rows.Field(i).ToText());
      result.push_back(std::move(row));
    }
    return result;
  }

 private:
  void RunOnServer(const std::string& sql) {
    data::ConnectionPool pool(std::filesystem::temp_directory_path());
    data::Connection connection(pool);
    connection.Open(admin_string_);
    connection.Execute(sql);
  }

  testing_support::PageHarness& harness_;
  std::string connection_string_;
  std::string admin_string_;
  std::string database_;
};

}  // namespace wap::admin_test
