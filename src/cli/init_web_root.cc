#include "cli/init_web_root.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/recordset.h"
#include "platform/passwords/password_hash.h"
#include "store/owners.h"
#include "wap/admin/site_creation.h"

namespace cli {
namespace fs = std::filesystem;
namespace {

constexpr const char* kSqliteFile = "data/site.db";
constexpr const char* kSqliteDatabaseName = "site";
constexpr std::int64_t kDemoUserId = 1;
constexpr const char* kDemoUserName = "demo";
constexpr const char* kDemoPassword = "demo";
// Tables whose ids the demo rows set explicitly; PostgreSQL's sequences must then move past them.
constexpr const char* kTables[] = {"wap_classes", "wap_contents", "wap_setting",
                                   "web_member",  "wap_product",  "wap_lyb"};

[[noreturn]] void Fail(const std::string& message) {
  throw InitError(InitError::Kind::kFailure, message);
}
[[noreturn]] void Usage(const std::string& message) {
  throw InitError(InitError::Kind::kUsage, message);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) Fail("cannot write " + path.string());
}

bool IsShareFolder(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder / "skeleton" / "wap", ec) &&
         fs::is_regular_file(folder / "schema" / "sqlite.sql", ec);
}

// A conn.asp value ends at the first blank and at a double quote; the pages could not read one
// that holds either.
void RequireSettingValue(const std::string& value, const std::string& what) {
  for (const char c : value) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '"') {
      Usage(what + " may not hold blanks or double quotes: conn.asp could not be read back");
    }
  }
}

std::string ConnAspText(const data::ConnectionSettings& s) {
  return "<%\r\n"
         "' The database settings of this web root, read by the pages once per application "
         "start\r\n"
         "' and again after the server gets SIGHUP (systemctl reload wapsite).\r\n"
         "' The server setting selects the engine: \"sqlite:PATH\" is an SQLite file (PATH from "
         "the web\r\n"
         "' root), anything else a PostgreSQL server HOST or HOST,PORT. A value ends at the "
         "first blank.\r\n"
         "strSQLServer=\"" +
         s.server +
         "\"\r\n"
         "strSQLUser=\"" +
         s.user +
         "\"\r\n"
         "strSQLPassword=\"" +
         s.password +
         "\"\r\n"
         "strSQLDataBase=\"" +
         s.database +
         "\"\r\n"
         "%>\r\n";
}

void RequireEmptyOrForced(const fs::path& root, bool force) {
  std::error_code ec;
  if (!fs::exists(root, ec)) return;
  if (!fs::is_directory(root, ec)) Fail(root.string() + " exists and is not a folder");
  if (!fs::is_empty(root, ec) && !force) {
    Fail(root.string() + " is not empty; use --force to lay out the web root over it");
  }
}

// Copies the skeleton into the root, overwriting files of the same name; skeleton/demo stays out.
void CopySkeleton(const fs::path& skeleton, const fs::path& root) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(skeleton)) {
    if (entry.path().filename() == "demo") continue;
    fs::copy(entry.path(), root / entry.path().filename(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) Fail("cannot copy " + entry.path().string() + ": " + ec.message());
  }
}

void CreateFolders(const fs::path& root, std::initializer_list<const char*> folders) {
  for (const char* folder : folders) {
    std::error_code ec;
    fs::create_directories(root / folder, ec);
    if (ec) Fail("cannot create " + (root / folder).string() + ": " + ec.message());
  }
}

// A new, empty SQLite file (a file of no bytes is an empty SQLite database).
void CreateEmptySqliteFile(const fs::path& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    std::error_code ec;
    fs::remove(file.string() + suffix, ec);
    if (ec) Fail("cannot replace " + file.string() + suffix + ": " + ec.message());
  }
  WriteFile(file, "");
}

void LoadDatabase(const fs::path& root, const std::string& connection_string, bool postgres,
                  bool drop_first, const fs::path& share, bool demo) {
  data::ConnectionPool pool(root, 1);
  data::Connection conn(pool);
  std::string step = "open the site database";
  try {
    conn.Open(connection_string);
    conn.BeginTrans();
    if (postgres && drop_first) {
      step = "drop the site's tables";
      conn.ExecuteScript(
          "DROP VIEW IF EXISTS v_wap_contents; DROP TABLE IF EXISTS wap_classes, wap_contents, "
          "wap_setting, web_member, wap_product, wap_lyb, wap_owners, wap_audit, wapsite_schema");
    }
    step = "create the site's tables";
    conn.ExecuteScript(ReadFile(share / "schema" / (postgres ? "postgres.sql" : "sqlite.sql")));
    if (demo) {
      step = "load the demo site's rows";
      conn.ExecuteScript(ReadFile(share / "skeleton" / "demo" / "demo.sql"));
      step = "add the demo site's owner";
      store::AddOwner(conn, kDemoUserName, passwords::HashPassword(kDemoPassword), kDemoUserId);
      if (postgres) {
        for (const char* table : kTables) {
          const std::string t(table);
          conn.Execute("SELECT setval(pg_get_serial_sequence('" + t + "', 'id'), " +
                       "(SELECT COALESCE(max(id), 0) + 1 FROM " + t + "), false)");
        }
      }
    }
    step = "commit the site database";
    conn.CommitTrans();
  } catch (const data::DataError& e) {
    Fail("cannot " + step + ": " + e.what());
  }
}

}  // namespace

fs::path FindShareFolder() {
  std::vector<fs::path> candidates;
  if (const char* env = std::getenv("WAPSITE_SHARE_DIR"); env != nullptr && *env != '\0') {
    candidates.emplace_back(env);
  }
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    candidates.push_back(exe.parent_path().parent_path() / "share" / "wapsite");
    candidates.push_back(exe.parent_path());
  }
#ifdef WAPSITE_SOURCE_TREE
  candidates.emplace_back(WAPSITE_SOURCE_TREE);
#endif
  for (const auto& c : candidates) {
    if (IsShareFolder(c)) return c;
  }
  Fail(
      "cannot find the skeleton and schema files (set WAPSITE_SHARE_DIR to the folder that "
      "holds skeleton/ and schema/)");
}

InitResult InitWebRoot(const InitOptions& options) {
  if (options.root.empty()) Usage("the web root folder is required");
  for (const char c : options.site_address) {
    if (c == '"' || static_cast<unsigned char>(c) < 0x20) {
      Usage("the site address may not hold double quotes or control characters");
    }
  }
  if (options.site_address.empty()) Usage("the site address may not be empty");

  // The database the root's conn.asp will name.
  data::ConnectionSettings settings;
  if (options.postgres) {
    settings = data::ParseConnectionString(*options.postgres);
    if (settings.server.empty()) Usage("--postgres: the connection string names no Data Source");
    if (!data::SqlitePathOf(settings.server).empty()) {
      Usage("--postgres: the Data Source names an SQLite file; leave --postgres out for SQLite");
    }
    if (settings.database.empty())
      Usage("--postgres: the connection string names no Initial Catalog");
    try {
      data::ParseServerAddress(settings.server);
    } catch (const data::DataError& e) {
      Usage(std::string("--postgres: ") + e.what());
    }
  } else {
    settings.server = std::string(data::kSqlitePrefix) + kSqliteFile;
    settings.database = kSqliteDatabaseName;
  }
  RequireSettingValue(settings.server, "the Data Source");
  RequireSettingValue(settings.user, "the User ID");
  RequireSettingValue(settings.password, "the Password");
  RequireSettingValue(settings.database, "the Initial Catalog");

  const fs::path share = options.share_folder.empty() ? FindShareFolder() : options.share_folder;
  if (!IsShareFolder(share)) Fail(share.string() + " holds no skeleton/ and schema/");
  const fs::path skeleton = share / "skeleton";

  std::error_code ec;
  const fs::path root = fs::absolute(options.root, ec);
  if (ec) Fail("cannot resolve " + options.root.string() + ": " + ec.message());
  RequireEmptyOrForced(root, options.force);

  // The database first: a PostgreSQL database that cannot take the tables leaves no files behind.
  InitResult result{root, ""};
  if (options.postgres) {
    result.database = "PostgreSQL database " + settings.database + " on " + settings.server;
  } else {
    CreateFolders(root, {"data"});
    CreateEmptySqliteFile(root / kSqliteFile);
    result.database = kSqliteFile;
  }
  LoadDatabase(root, data::BuildConnectionString(settings), options.postgres.has_value(),
               options.force, share, options.demo);

  CreateFolders(root, {".", "inc", "waphome"});
  CopySkeleton(skeleton, root);
  WriteFile(root / "conn.asp", ConnAspText(settings));
  WriteFile(root / "inc" / "siteaddress.txt", options.site_address + "\n");

  if (options.demo) {
    const fs::path demo_root = skeleton / "demo" / "root";
    fs::copy(demo_root, root, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             ec);
    if (ec) Fail("cannot copy the demo site's files: " + ec.message());
    WriteFile(root / "waphome" / kDemoUserName / "index.asp",
              wap::EntryPageText(options.site_address, kDemoUserId, kDemoUserName));
  }
  return result;
}

}  // namespace cli
