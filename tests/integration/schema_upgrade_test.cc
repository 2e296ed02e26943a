// `wapsite upgrade` from every schema version the project has shipped: a database made by that
// version's own schema files (tests/data/schema/N/) is brought to the current version, keeps its
// rows, and ends with the tables, columns and indexes of a database the current schema makes.
// On the engine of WAPSITE_ENGINE (SQLite, or PostgreSQL with WAPSITE_PG).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// Every table, column (type, nullability, default), index and view of the site's database, one a
// line.
std::vector<std::string> Shape(const DemoRoot& site) {
  return site.Column(site.Postgres()
                         ? "select 'column '||table_name||'.'||column_name||' '||data_type||' "
                           "'||is_nullable||' '||"
                           "coalesce(column_default,'') from information_schema.columns where "
                           "table_schema=current_schema() "
                           "union all select 'index '||indexname from pg_indexes where "
                           "schemaname=current_schema() "
                           "union all select 'view '||table_name from information_schema.views "
                           "where table_schema=current_schema() order by 1"
                         : "select 'column '||m.name||'.'||p.name||' '||p.type||' "
                           "'||p.\"notnull\"||' '||coalesce(p.dflt_value,'')"
                           "||' '||p.pk from sqlite_master m join pragma_table_info(m.name) p "
                           "where m.type='table' "
                           "union all select type||' '||name from sqlite_master where type in "
                           "('index','view') order by 1");
}

// Replaces the site's database by one made from the schema files of `version`.
void MakeDatabaseOfVersion(const DemoRoot& site, const fs::path& version) {
  for (const char* kind : {"view", "table"}) {
    const std::string list =
        site.Postgres()
            ? std::string(
                  "select table_name from information_schema.tables where "
                  "table_schema=current_schema() and table_type='") +
                  (*kind == 'v' ? "VIEW'" : "BASE TABLE'")
            : std::string(
                  "select name from sqlite_master where name not like 'sqlite_%' and type='") +
                  kind + "'";
    for (const std::string& name : site.Column(list))
      site.Execute(std::string("drop ") + kind + " " + name);
  }
  site.ExecuteFile(version / (site.Postgres() ? "postgres.sql" : "sqlite.sql"));
}

TEST(SchemaUpgrade, BringsADatabaseOfEveryShippedVersionToTheCurrentOneKeepingItsRows) {
  TempDir dir;
  const DemoRoot current(dir.path() / "current");
  const std::string version = current.Column("select version from wapsite_schema").at(0);
  const std::vector<std::string> shape = Shape(current);

  std::vector<fs::path> shipped;
  for (const auto& item :
       fs::directory_iterator(fs::path(WAPSITE_SOURCE_DIR) / "tests/data/schema"))
    if (item.is_directory()) shipped.push_back(item.path());
  std::sort(shipped.begin(), shipped.end(), [](const fs::path& a, const fs::path& b) {
    return std::stoi(a.filename().string()) < std::stoi(b.filename().string());
  });
  ASSERT_FALSE(shipped.empty());
  ASSERT_EQ(shipped.back().filename().string(), version)
      << "copy schema/*.sql to tests/data/schema/" << version << "/ when shipping a version";

  for (const fs::path& old : shipped) {
    const std::string from = old.filename().string();
    SCOPED_TRACE("from version " + from);
    const DemoRoot site(dir.path() / ("site" + from));
    MakeDatabaseOfVersion(site, old);
    site.Execute(
        "insert into wap_classes (userid, type, classname, sortid) values (7, 1, 'kept', 3)");
    const std::string root = site.Path().string();

    const CommandResult upgrade = RunWapsite({"upgrade", "--root", root});
    EXPECT_EQ(upgrade.exit_code, 0) << upgrade.err;
    EXPECT_EQ(upgrade.out,
              from == version ? "the site database is up to date (schema version " + version + ")\n"
                              : "upgraded the site database from schema version " + from + " to " +
                                    version + "\n");
    EXPECT_EQ(Shape(site), shape);
    EXPECT_EQ(site.Column("select classname||'/'||sortid from wap_classes where userid=7"),
              std::vector<std::string>{"kept/3"});
    EXPECT_EQ(RunWapsite({"upgrade", "--root", root}).out,
              "the site database is up to date (schema version " + version + ")\n");
  }
}

}  // namespace
