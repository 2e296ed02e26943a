#include "platform/data/connection_string.h"

#include <gtest/gtest.h>

#include "platform/data/data_error.h"

namespace data {
namespace {

TEST(ConnectionString, ReadsTheFourSettingsWithKeysInAnyCase) {
  const auto s = ParseConnectionString(
      "Provider=SQLOLEDB.1;Persist Security Info=False;data source=db.example,6543;USER ID=u;"
      "Password=p=w rd;Initial Catalog=site");
  EXPECT_EQ(s.server, "db.example,6543");
  EXPECT_EQ(s.user, "u");
  EXPECT_EQ(s.password, "p=w rd");
  EXPECT_EQ(s.database, "site");
}

TEST(ConnectionString, EmptyValuesStayEmptyAndDoNotSwallowTheNextKey) {
  const auto s = ParseConnectionString(
      "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=sqlite:data/site.db;User ID=;"
      "Password=;Initial Catalog=site");
  EXPECT_EQ(s.server, "sqlite:data/site.db");
  EXPECT_EQ(s.user, "");
  EXPECT_EQ(s.password, "");
  EXPECT_EQ(s.database, "site");
}

TEST(ConnectionString, ServerAddressSplitsHostAndPort) {
  const struct {
    const char* source;
    const char* host;
    int port;
  } good[] = {{"localhost", "localhost", 5432}, {"10.0.0.1,6000", "10.0.0.1", 6000},
              {"db , 5433", "db", 5433}};
  for (const auto& c : good) {
    const auto a = ParseServerAddress(c.source);
    EXPECT_EQ(a.host, c.host) << c.source;
    EXPECT_EQ(a.port, c.port) << c.source;
  }
  for (const char* bad : {"", ",5432", "db,", "db,0", "db,65536", "db,54x", "db,1,2"}) {
    EXPECT_THROW(ParseServerAddress(bad), DataError) << bad;
  }
}

}  // namespace
}  // namespace data
