#include "cli/init_web_root.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/recordset.h"
#include "support/temp_dir.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* PgConnectionString() {
  const char* pg = std::getenv("WAPSITE_PG");
  return (pg != nullptr && *pg != '\0') ? pg : nullptr;
}

class InitWebRootTest : public ::testing::Test {
 protected:
  InitOptions Options(bool demo) const {
    InitOptions o;
    o.root = dir_.path() / "root";
    o.demo = demo;
    o.share_folder = WAPSITE_SOURCE_DIR;
    return o;
  }

  // A single number from the root's database (or the PostgreSQL one named by `connection`).
  std::int64_t Number(const std::string& sql, const std::string& connection = "") {
    data::ConnectionPool pool(dir_.path() / "root");
    data::Connection c(pool);
    c.Open(connection.empty() ? "Data Source=sqlite:data/site.db;Initial Catalog=site" : connection);
    return c.Execute(sql)->Field(0).ToInteger().value_or(-1);
  }

  // Expects the demo member's rows in a database.
  void ExpectDemoRows(const std::string& connection = "") {
    const struct {
      const char* sql;
      std::int64_t at_least;
    } cases[] = {
        {"select count(*) from wap_classes where userid = 1", 6},
        {"select count(distinct type) from wap_classes where userid = 1 and type between 0 and 4", 5},
        {"select count(*) from v_wap_contents where userid = 1", 5},
        {"select count(*) from wap_contents c join wap_classes k on k.id = c.cid "
         "where k.type = 0",
         1},
        {"select count(*) from wap_product where userid = 1 and ppic <> ''", 5},
        {"select count(*) from wap_lyb where userid = 1", 5},
        {"select count(*) from wap_lyb where userid = 1 and hftime is not null and hf <> ''", 1},
        {"select count(*) from wap_lyb where userid = 1 and hftime is null", 1},
        {"select count(*) from wap_setting where userid = 1 and templeteid = 1 and dircall <> ''", 1},
        {"select count(*) from web_member where m_id = 1 and m_name = 'member' and "
         "m_password = 'wap123'",
         1},
    };
    for (const auto& c : cases) EXPECT_GE(Number(c.sql, connection), c.at_least) << c.sql;
  }

  TempDir dir_;
};

TEST_F(InitWebRootTest, ADemoRootHoldsEveryFileOfTheLayout) {
  const InitResult result = InitWebRoot(Options(true));
  const fs::path root = dir_.path() / "root";
  EXPECT_EQ(result.root, root);
  for (const char* file :
       {"conn.asp", "index.asp", "inc/fso.asp", "inc/siteaddress.txt", "data/site.db",
        "wapTemplete/1/Demo.jpg", "wapTemplete/1/style.css", "waphome/demo/Demo.jpg",
        "waphome/demo/style.css", "waphome/demo/upfile/logo.gif", "waphome/demo/index.asp"}) {
    EXPECT_TRUE(fs::is_regular_file(root / file)) << file;
  }
  EXPECT_FALSE(fs::exists(root / "wapTemplete/1/upfile"));
  EXPECT_FALSE(fs::exists(root / "demo"));

  // One-line host pages: no line end, which would reach the response before the page.
  const struct {
    const char* page;
    const char* object;
  } pages[] = {{"index", "wap.main"},          {"newslist", "wap.newslist"},
               {"showcontent", "wap.showcontent"}, {"shownews", "wap.shownews"},
               {"productlist", "wap.productlist"}, {"lyb", "wap.lyb"},
               {"checklogin", "wap.checklogin"},   {"logout", "wap.logout"},
               {"login", "site.login"},            {"newly", "site.newly"}};
  for (const auto& p : pages) {
    EXPECT_EQ(Read(root / "wap" / (std::string(p.page) + ".asp")),
              std::string("<%Set page = Server.CreateObject(\"") + p.object + "\")%>");
  }

  const std::string conn = Read(root / "conn.asp");
  for (const char* setting : {"strSQLServer=\"sqlite:data/site.db\"", "strSQLUser=\"\"",
                              "strSQLPassword=\"\"", "strSQLDataBase=\"site\""}) {
    EXPECT_NE(conn.find(setting), std::string::npos) << setting;
  }
  EXPECT_NE(Read(root / "inc/fso.asp").find("Const_ScriptFileSystem=\"Scripting.FileSystemObject\""),
            std::string::npos);
  EXPECT_EQ(Read(root / "inc/siteaddress.txt"), "http://127.0.0.1:8080\n");
  EXPECT_EQ(Read(root / "waphome/demo/index.asp"),
            "<%\r\n'Create by Orbel\r\n"
            "response.Redirect(\"http://127.0.0.1:8080/wap/index.asp?userid=1&username=demo\")"
            "\r\n%>");
  EXPECT_NE(Read(root / "index.asp").find("/wap/index.asp?userid=1&username=demo&siteid=1"),
            std::string::npos);
}

TEST_F(InitWebRootTest, TheDemoDatabaseHoldsTheDemoSiteWithItsPictures) {
  InitWebRoot(Options(true));
  ExpectDemoRows();
  data::ConnectionPool pool(dir_.path() / "root");
  data::Connection c(pool);
  c.Open("Data Source=sqlite:data/site.db");
  data::Recordset rs;
  rs.Open("select ppic from wap_product where userid = 1", c);
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::string pic = rs.Field("ppic").ToText();
    EXPECT_TRUE(fs::is_regular_file(dir_.path() / "root/waphome/demo/upfile" / pic)) << pic;
  }
}

TEST_F(InitWebRootTest, WithoutDemoTheRootIsEmptyOfSites) {
  InitWebRoot(Options(false));
  const fs::path root = dir_.path() / "root";
  EXPECT_TRUE(fs::is_directory(root / "waphome"));
  EXPECT_TRUE(fs::is_empty(root / "waphome"));
  EXPECT_EQ(Read(root / "index.asp").find("Redirect"), std::string::npos);
  EXPECT_EQ(Number("select count(*) from wap_classes"), 0);
  EXPECT_EQ(Number("select count(*) from v_wap_contents"), 0);
}

TEST_F(InitWebRootTest, RefusesAFolderThatIsNotEmptyUnlessForced) {
  const fs::path root = dir_.path() / "root";
  fs::create_directories(root);
  std::ofstream(root / "keep.txt") << "mine";
  try {
    InitWebRoot(Options(true));
    ADD_FAILURE() << "laid out over a non-empty folder";
  } catch (const InitError& e) {
    EXPECT_EQ(e.kind(), InitError::Kind::kFailure);
    EXPECT_NE(std::string(e.what()).find("--force"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(root / "conn.asp"));

  InitOptions forced = Options(true);
  forced.force = true;
  InitWebRoot(forced);
  {
    data::ConnectionPool pool(root);
    data::Connection c(pool);
    c.Open("Data Source=sqlite:data/site.db");
    c.Execute("insert into wap_classes (userid, type, classname) values (99, 1, 'x')");
  }
  InitWebRoot(forced);  // over a laid-out root: the database starts again
  EXPECT_EQ(Read(root / "keep.txt"), "mine");
  EXPECT_EQ(Number("select count(*) from wap_classes where userid = 99"), 0);
  ExpectDemoRows();
}

TEST_F(InitWebRootTest, OptionValuesThatCannotWorkAreUsageErrors) {
  const struct {
    const char* postgres;
    const char* site_address;
  } cases[] = {
      {"Data Source=db;User ID=u;Password=two words;Initial Catalog=site", nullptr},
      {"Data Source=db;User ID=u;Password=p;Initial Catalog=", nullptr},
      {"User ID=u;Password=p;Initial Catalog=site", nullptr},
      {"Data Source=sqlite:x.db;Initial Catalog=site", nullptr},
      {"Data Source=db,notaport;Initial Catalog=site", nullptr},
      {nullptr, "http://example.com/\"a"},
      {nullptr, ""},
  };
  for (const auto& c : cases) {
    InitOptions o = Options(false);
    if (c.postgres != nullptr) o.postgres = c.postgres;
    if (c.site_address != nullptr) o.site_address = c.site_address;
    try {
      InitWebRoot(o);
      ADD_FAILURE() << "accepted " << (c.postgres ? c.postgres : c.site_address);
    } catch (const InitError& e) {
      EXPECT_EQ(e.kind(), InitError::Kind::kUsage) << e.what();
    }
    EXPECT_FALSE(fs::exists(dir_.path() / "root")) << "wrote files before refusing";
  }
}

int RunWapsite(const std::string& args) {
  const std::string command = std::string(WAPSITE_BIN) + " " + args + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(InitWebRootTest, TheCommandExitsWithZeroOneOrTwo) {
  const std::string root = (dir_.path() / "root").string();
  EXPECT_EQ(RunWapsite("init " + root + " --demo"), 0);
  EXPECT_TRUE(fs::is_regular_file(dir_.path() / "root/waphome/demo/index.asp"));
  EXPECT_EQ(RunWapsite("init " + root), 1);
  EXPECT_EQ(RunWapsite("init " + root + " --force"), 0);
  EXPECT_EQ(RunWapsite("init " + (dir_.path() / "other").string() +
                " --postgres 'Data Source=db;Initial Catalog='"),
            2);
}

TEST_F(InitWebRootTest, PostgresOptionCreatesTheSchemaThereAndPointsConnAspAtIt) {
  if (PgConnectionString() == nullptr) GTEST_SKIP() << "WAPSITE_PG is not set";
  data::ConnectionSettings settings = data::ParseConnectionString(PgConnectionString());
  const std::string database = "init_test_" + std::to_string(getpid());
  {
    data::ConnectionPool pool(dir_.path());
    data::Connection admin(pool);
    admin.Open(PgConnectionString());
    admin.Execute("drop database if exists " + database + " with (force)");
    admin.Execute("create database " + database);
  }
  settings.database = database;
  const std::string connection = data::BuildConnectionString(settings);

  InitOptions o = Options(true);
  o.postgres = connection;
  InitWebRoot(o);
  const fs::path root = dir_.path() / "root";
  EXPECT_FALSE(fs::exists(root / "data/site.db"));
  const std::string conn = Read(root / "conn.asp");
  EXPECT_NE(conn.find("strSQLServer=\"" + settings.server + "\""), std::string::npos);
  EXPECT_NE(conn.find("strSQLDataBase=\"" + database + "\""), std::string::npos);
  ExpectDemoRows(connection);
  // The sequences moved past the demo's explicit ids.
  EXPECT_GT(Number("insert into wap_classes (userid, type, classname) values (2, 1, 'n') "
                   "returning id",
                   connection),
            6);

  // A second root over the same database: refused while the tables exist, unless forced.
  InitOptions again = o;
  again.root = dir_.path() / "again";
  EXPECT_THROW(InitWebRoot(again), InitError);
  EXPECT_FALSE(fs::exists(again.root / "conn.asp"));
  again.force = true;
  InitWebRoot(again);
  EXPECT_EQ(Number("select count(*) from wap_classes where userid = 2", connection), 0);

  data::ConnectionPool pool(dir_.path());
  data::Connection admin(pool);
  admin.Open(PgConnectionString());
  admin.Execute("drop database " + database + " with (force)");
}

}  // namespace
}  // namespace cli
