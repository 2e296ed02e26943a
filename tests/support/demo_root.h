// DemoRoot: the demo web root that `wapsite init DIR --demo` lays out, with its site database on
// the engine the environment chooses, so that one integration test covers both engines:
//
//   WAPSITE_ENGINE unset, empty or "sqlite"   data/site.db in the web root (the default);
//   WAPSITE_ENGINE=postgres                   a fresh database with a name of its own on the
//                                             server that WAPSITE_PG's connection string names,
//                                             made with CREATE DATABASE as that user and named by
//                                             conn.asp; the destructor drops it (WITH (FORCE)).
//
// Tests running in parallel thus never share a database. Tests of what only one engine does
// (an SQLite file removed, a server stopped) lay out their roots themselves.
//
//   TempDir dir;
//   DemoRoot site(dir.path() / "site");                    // throws when init fails
//   ServerProcess server(site.Path());                     // declare after `site`: stops first
//   auto ids = site.Column("select id from wap_classes where userid=1");
//
// Thread-safe after construction: Column and Execute may run on several threads at once (each
// call borrows its own connection). Destroy it only after every server using it has stopped.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace data {
class ConnectionPool;
}

namespace testing_support {

enum class Engine { kSqlite, kPostgres };

// The engine WAPSITE_ENGINE names. Throws std::runtime_error for any other value, and for
// "postgres" without WAPSITE_PG: a pass meant for PostgreSQL must not quietly test SQLite.
Engine EngineFromEnvironment();
const char* EngineName(Engine engine);

class DemoRoot {
 public:
  // Lays out `root` with `wapsite init ROOT --demo INIT_ARGS…` on EngineFromEnvironment().
  // Throws std::runtime_error with init's standard error when it fails.
  explicit DemoRoot(std::filesystem::path root, std::vector<std::string> init_args = {});
  ~DemoRoot();
  DemoRoot(const DemoRoot&) = delete;
  DemoRoot& operator=(const DemoRoot&) = delete;

  const std::filesystem::path& Path() const { return root_; }
  Engine engine() const { return engine_; }
  // The connection string that OpenDB builds from the root's conn.asp.
  const std::string& ConnectionString() const { return connection_string_; }

  // The first column of every row of `sql` on the site database, as text.
  std::vector<std::string> Column(std::string_view sql) const;
  // Runs one statement on the site database. Throws data::DataError.
  void Execute(std::string_view sql) const;
  // Runs the statements of the SQL file `path` in order; a statement ends with ";" at the end of
  // a line, and lines starting with "--" are comments. Throws data::DataError, or
  // std::runtime_error when the file cannot be read.
  void ExecuteFile(const std::filesystem::path& path) const;

 private:
  std::filesystem::path root_;
  Engine engine_;
  std::string connection_string_;
  std::string admin_string_;  // PostgreSQL: WAPSITE_PG, to create and drop the database
  std::string database_;      // PostgreSQL: the database made for this root
  std::unique_ptr<data::ConnectionPool> pool_;
};

}  // namespace testing_support
