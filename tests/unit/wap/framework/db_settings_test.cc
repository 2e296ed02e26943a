#include "wap/framework/db_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/host/application.h"
#include "platform/host/local_session.h"
#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/scripting_context.h"
#include "platform/host/server.h"
#include "support/temp_dir.h"
#include "wap/framework/page.h"

namespace wap {
namespace {

TEST(ExtractSetting, ReadsTheLastNameQuoteValueQuoteMatch) {
  const struct {
    const char* name;
    const char* text;
    const char* value;
  } cases[] = {
      {"strSQLServer", "strSQLServer=\"db1\"", "db1"},
      {"strSQLServer", "<%\r\nstrSQLServer=\"db1\"\r\nstrSQLUser=\"u\"\r\n%>", "db1"},
      {"strSQLServer", "STRSQLSERVER=\"db1\"", "db1"},
      {"strSQLServer", "strSQLServer = \"db1\"", ""},
      {"strSQLServer", "strSQLServer =\"db1\"", ""},
      {"strSQLServer", "strSQLServer= \"db1\"", ""},
      {"strSQLServer", "strSQLServer=\"db 1\"", ""},
      {"strSQLServer", "strSQLServer=\"a\" x strSQLServer=\"b\"", "b"},
      {"strSQLServer", "strSQLServer=\"\"", ""},
      {"strSQLServer", "nothing here", ""},
      {"strSQLServer", "xstrSQLServer=\"db\"", "db"},
      // The non-blank run is greedy: the value ends at the last quote before a blank.
      {"strSQLServer", "strSQLServer=\"a\"b\"c d\"", "a\"b"},
      {"strSQLServer", "strSQLServer=\"a\"%>", "a"},
      // The name and "=" are removed wherever they stand in the match.
      {"strSQLServer", "strSQLServer=\"strsqlserver=x\"", "x"},
      {"Const_ScriptFileSystem", "Const_ScriptFileSystem=\"Scripting.FileSystemObject\"",
       "Scripting.FileSystemObject"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractSetting(c.name, c.text), c.value) << c.text;
}

// A web root with conn.asp and inc/fso.asp, and the application that caches their settings.
class DBSettingsCache : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteConn("sqlite:data/site.db", "site");
    Write("inc/fso.asp",
          "<%\r\nConst_ScriptFileSystem=\"Scripting."
          "FileSystemObject\"\r\n%>\r\n");
  }
  void Write(std::string_view relative_path, std::string_view content) {
    const std::filesystem::path path = root_.path() / relative_path;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  }
  void WriteConn(std::string_view server, std::string_view database) {
    Write("conn.asp", "<%\r\nstrSQLServer=\"" + std::string(server) + "\"\r\nstrSQLDataBase=\"" +
                          std::string(database) + "\"\r\nstrSQLUser=\"u\"\r\n%>");
  }
  void Remove(std::string_view relative_path) {
    std::filesystem::remove_all(root_.path() / relative_path);
  }
  DBSettings Load() { return LoadDBSettings(app_, server_); }

  testing_support::TempDir root_;
  host::Application app_;
  host::Server server_{root_.path(), "/wap", [](std::string_view) { return nullptr; }};
};

TEST_F(DBSettingsCache, FirstLoadCachesTheSettings) {
  const DBSettings s = Load();
  EXPECT_EQ(s.server, "sqlite:data/site.db");
  EXPECT_EQ(s.database, "site");
  EXPECT_EQ(s.user, "u");
  EXPECT_EQ(s.password, "");
  EXPECT_EQ(s.file_system_object, "Scripting.FileSystemObject");
  EXPECT_EQ(app_.Get("strDBName"), "site");
  EXPECT_EQ(app_.Get("strDBServer"), "sqlite:data/site.db");
  EXPECT_EQ(app_.Get("strDBUser"), "u");
  EXPECT_EQ(app_.Get("strDBPwd"), "");
  EXPECT_EQ(app_.Get("Const_ScriptFileSystem"), "Scripting.FileSystemObject");
}

TEST_F(DBSettingsCache, LaterEditsAreIgnoredOnceCached) {
  Load();
  WriteConn("sqlite:data/elsewhere.db", "other");
  Remove("inc");
  EXPECT_EQ(Load().server, "sqlite:data/site.db");
}

TEST_F(DBSettingsCache, AnEmptyDatabaseNameIsReadAgainNextTime) {
  WriteConn("sqlite:data/site.db", "");
  Load();
  EXPECT_EQ(app_.Get("strDBName"), "");
  WriteConn("elsewhere", "site");
  EXPECT_EQ(Load().server, "elsewhere");
}

TEST_F(DBSettingsCache, MissingConnFileFailsAndCachesNothing) {
  Remove("conn.asp");
  EXPECT_ANY_THROW(Load());
  EXPECT_FALSE(app_.Get("strDBName").has_value());
}

TEST_F(DBSettingsCache, MissingFsoFileFailsAfterTheDatabaseValuesAreCached) {
  Remove("inc/fso.asp");
  EXPECT_ANY_THROW(Load());
  EXPECT_EQ(app_.Get("strDBName"), "site");
  EXPECT_FALSE(app_.Get("Const_ScriptFileSystem").has_value());
  EXPECT_EQ(Load().database, "site");  // from the cache now
}

TEST_F(DBSettingsCache, AFailedOpenSendsOnlyTheDescription) {
  for (const char* server : {"sqlite:data/missing.db", ""}) {
    host::Application app;
    WriteConn(server, "site");
    host::Request request;
    host::Response response;
    host::LocalSession session;
    data::ConnectionPool pool(root_.path());
    host::ScriptingContext context{app, request, response, session, server_, pool};
    Page page(context);
    page.CreateDBObjects();
    EXPECT_FALSE(page.OpenDB()) << server;
    EXPECT_TRUE(response.Ended());
    std::string description;
    try {
      data::Connection(pool).Open(data::BuildConnectionString({server, "u", "", "site"}));
    } catch (const data::DataError& e) {
      description = e.what();
    }
    EXPECT_NE(description, "") << server;
    EXPECT_EQ(response.Body(), "OpenDB():" + description) << server;
  }
}

}  // namespace
}  // namespace wap
