#include "wap/framework/db_settings.h"

#include <gtest/gtest.h>

#include "platform/data/connection.h"
#include "platform/data/data_error.h"
#include "unit/wap/page_test.h"
#include "wap/framework/db_connection.h"

namespace wap::page_test {
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

TEST(BuildConnectionString, JoinsThePiecesWithNothingBetween) {
  EXPECT_EQ(BuildConnectionString({"S", "U", "W", "D", "F"}),
            "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=S;User ID=U;Password=W;"
            "Initial Catalog=D");
  EXPECT_EQ(BuildConnectionString({"S", "", "", "D", ""}),
            "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=S;User ID=;Password=;"
            "Initial Catalog=D");
}

class DBSettingsCache : public PageTest {
 protected:
  host::Response RunPage() {
    ScriptedPage page([this] { connection_string_ = PageContext::Current().connection_string; });
    return h_.Run(page, PageRequest{{{"userid", "1"}}});
  }
  void WriteConn(std::string_view server, std::string_view database) {
    h_.WriteFile("conn.asp", "<%\r\nstrSQLServer=\"" + std::string(server) +
                                 "\"\r\nstrSQLDataBase=\"" + std::string(database) + "\"\r\n%>");
  }
  // The description the data layer gives for opening `connection_string`.
  std::string OpenFailure(std::string_view connection_string) {
    data::Connection c(h_.Pool());
    try {
      c.Open(connection_string);
    } catch (const data::DataError& e) {
      return e.what();
    }
    ADD_FAILURE() << "opened " << connection_string;
    return {};
  }
  std::string connection_string_;
};

TEST_F(DBSettingsCache, FirstRequestCachesTheSettings) {
  EXPECT_EQ(RunPage().Status(), 200);
  EXPECT_EQ(connection_string_, PageHarness::kConnectionString);
  EXPECT_EQ(h_.App().Get("strDBName"), "site");
  EXPECT_EQ(h_.App().Get("strDBServer"), "sqlite:data/site.db");
  EXPECT_EQ(h_.App().Get("strDBUser"), "");
  EXPECT_EQ(h_.App().Get("strDBPwd"), "");
  EXPECT_EQ(h_.App().Get("Const_ScriptFileSystem"), "Scripting.FileSystemObject");
}

TEST_F(DBSettingsCache, LaterEditsAreIgnoredOnceCached) {
  RunPage();
  WriteConn("sqlite:data/elsewhere.db", "other");
  h_.Remove("inc");
  const host::Response r = RunPage();
  EXPECT_EQ(r.Body().substr(0, 5), "<?xml");
  EXPECT_EQ(connection_string_, PageHarness::kConnectionString);
}

TEST_F(DBSettingsCache, AnEmptyDatabaseNameIsReadAgainNextTime) {
  WriteConn("sqlite:data/site.db", "");
  EXPECT_EQ(RunPage().Status(), 200);
  EXPECT_EQ(h_.App().Get("strDBName"), "");
  WriteConn("", "site");  // read again: now the open fails
  const std::string expected =
      "OpenDB():" + OpenFailure(
                        "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=;"
                        "User ID=;Password=;Initial Catalog=site");
  const host::Response r = RunPage();
  EXPECT_EQ(r.Body(), expected);
  EXPECT_TRUE(r.Ended());
}

TEST_F(DBSettingsCache, AFailedOpenSendsOnlyTheDescription) {
  for (const char* server : {"sqlite:data/missing.db", ""}) {
    PageHarness fresh;
    fresh.WriteFile("conn.asp",
                    "strSQLServer=\"" + std::string(server) + "\" strSQLDataBase=\"site\"");
    ScriptedPage page([] { ADD_FAILURE() << "the page ran after a failed open"; });
    const host::Response r = fresh.Run(page, PageRequest{{{"userid", "1"}}});
    const std::string cs =
        "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=" + std::string(server) +
        ";User ID=;Password=;Initial Catalog=site";
    EXPECT_EQ(r.Body(), "OpenDB():" + OpenFailure(cs)) << server;
    EXPECT_NE(r.Body(), "OpenDB():");
    EXPECT_TRUE(r.Ended());
    EXPECT_EQ(r.ContentType(), "text/vnd.wap.wml");
  }
}

TEST_F(DBSettingsCache, MissingConnFileFailsAndCachesNothing) {
  h_.Remove("conn.asp");
  EXPECT_ANY_THROW(RunPage());
  EXPECT_FALSE(h_.App().Get("strDBName").has_value());
}

TEST_F(DBSettingsCache, MissingFsoFileFailsAfterTheDatabaseValuesAreCached) {
  h_.Remove("inc/fso.asp");
  EXPECT_ANY_THROW(RunPage());
  EXPECT_EQ(h_.App().Get("strDBName"), "site");
  EXPECT_FALSE(h_.App().Get("Const_ScriptFileSystem").has_value());
  EXPECT_EQ(RunPage().Status(), 200);  // from the cache now
}

}  // namespace
}  // namespace wap::page_test
