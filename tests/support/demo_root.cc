#include "support/demo_root.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/connection_string.h"
#include "platform/data/recordset.h"
#include "support/server_process.h"

namespace testing_support {
namespace {

constexpr std::string_view kSqliteConnectionString =
    "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=sqlite:data/site.db;User ID=;"
    "Password=;Initial Catalog=site";

// Runs `sql` as the user of the connection string `admin` (outside any transaction, as CREATE
// and DROP DATABASE need).
void RunAsAdmin(const std::string& admin, const std::string& sql) {
  data::ConnectionPool pool(std::filesystem::temp_directory_path());
  data::Connection connection(pool);
  connection.Open(admin);
  connection.Execute(sql);
}

// A database name no other test process or root of this one uses.
std::string UniqueDatabaseName() {
  static std::atomic<int> counter{0};
  std::random_device random;
  char suffix[9];
  std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
  return "wapsite_it_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
         suffix;
}

}  // namespace

Engine EngineFromEnvironment() {
  const char* name = std::getenv("WAPSITE_ENGINE");
  const std::string engine = name != nullptr ? name : "";
  if (engine.empty() || engine == "sqlite") return Engine::kSqlite;
  if (engine != "postgres") {
    throw std::runtime_error("WAPSITE_ENGINE must be sqlite or postgres, not '" + engine + "'");
  }
  const char* pg = std::getenv("WAPSITE_PG");
  if (pg == nullptr || *pg == '\0') {
    throw std::runtime_error("WAPSITE_ENGINE=postgres needs WAPSITE_PG (scripts/pg start DIR)");
  }
  return Engine::kPostgres;
}

const char* EngineName(Engine engine) { return engine == Engine::kSqlite ? "sqlite" : "postgres"; }

DemoRoot::DemoRoot(std::filesystem::path root, std::vector<std::string> init_args)
    : root_(std::move(root)), engine_(EngineFromEnvironment()) {
  std::vector<std::string> args = {"init", root_.string(), "--demo"};
  if (engine_ == Engine::kSqlite) {
    connection_string_ = std::string(kSqliteConnectionString);
  } else {
    admin_string_ = std::getenv("WAPSITE_PG");
    data::ConnectionSettings settings = data::ParseConnectionString(admin_string_);
    settings.database = UniqueDatabaseName();
    RunAsAdmin(admin_string_, "CREATE DATABASE " + settings.database);
    database_ = settings.database;
    connection_string_ = data::BuildConnectionString(settings);
    args.insert(args.end(), {"--postgres", connection_string_});
  }
  args.insert(args.end(), init_args.begin(), init_args.end());
  const CommandResult init = RunWapsite(args);
  if (init.exit_code != 0) {
    const std::string message = "wapsite init --demo on " + std::string(EngineName(engine_)) +
                                " failed (exit " + std::to_string(init.exit_code) +
                                "): " + init.err;
    if (!database_.empty()) RunAsAdmin(admin_string_, "DROP DATABASE IF EXISTS " + database_);
    throw std::runtime_error(message);
  }
  pool_ = std::make_unique<data::ConnectionPool>(std::filesystem::absolute(root_));
}

DemoRoot::~DemoRoot() {
  pool_.reset();
  if (database_.empty()) return;
  try {
    RunAsAdmin(admin_string_, "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
  } catch (const std::exception& e) {
    ADD_FAILURE() << "cannot drop the test database " << database_ << ": " << e.what();
  }
}

std::vector<std::string> DemoRoot::Column(std::string_view sql) const {
  data::Connection connection(*pool_);
  connection.Open(connection_string_);
  std::vector<std::string> values;
  data::Recordset rows;
  for (rows.Open(sql, connection); !rows.Eof(); rows.MoveNext()) {
    values.push_back(rows.Field(std::size_t{0}).ToText());
  }
  return values;
}

void DemoRoot::Execute(std::string_view sql) const {
  data::Connection connection(*pool_);
  connection.Open(connection_string_);
  connection.Execute(sql);
}

void DemoRoot::ExecuteFile(const std::filesystem::path& path) const {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::string statement;
  std::string line;
  while (std::getline(in, line)) {
    if (statement.empty() && line.rfind("--", 0) == 0) continue;
    statement += line;
    if (!line.empty() && line.back() == ';') {
      Execute(statement);
      statement.clear();
    } else {
      statement += '\n';
    }
  }
}

}  // namespace testing_support
