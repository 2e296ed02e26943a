// StatementCache: idle statements by text, the least recently used going first when it is full.
#include "platform/data/sqlite/statement_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

namespace data {
namespace {

struct CloseDb {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};

class StatementCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
    db_.reset(raw);
  }

  SqliteStmtPtr Prepare(const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &raw, nullptr), SQLITE_OK) << sql;
    return SqliteStmtPtr(raw);
  }

  std::unique_ptr<sqlite3, CloseDb> db_;
};

TEST_F(StatementCacheTest, GivesBackTheStatementOfTheSameTextOnce) {
  StatementCache cache(4);
  SqliteStmtPtr one = Prepare("select 1");
  sqlite3_stmt* const raw = one.get();
  cache.Give("select 1", std::move(one));
  EXPECT_EQ(cache.Take("select 2"), nullptr);
  SqliteStmtPtr again = cache.Take("select 1");
  EXPECT_EQ(again.get(), raw);
  EXPECT_EQ(cache.Take("select 1"), nullptr);  // taken out: a second user prepares its own
  EXPECT_EQ(cache.Size(), 0u);
}

TEST_F(StatementCacheTest, AStatementComesBackResetAndWithoutBindings) {
  StatementCache cache(4);
  SqliteStmtPtr stmt = Prepare("select ?1 union all select 2");
  sqlite3_bind_int(stmt.get(), 1, 7);
  ASSERT_EQ(sqlite3_step(stmt.get()), SQLITE_ROW);  // left in the middle of its rows
  cache.Give("q", std::move(stmt));
  SqliteStmtPtr again = cache.Take("q");
  ASSERT_EQ(sqlite3_step(again.get()), SQLITE_ROW);  // from its first row, ?1 unbound
  EXPECT_EQ(sqlite3_column_type(again.get(), 0), SQLITE_NULL);
}

TEST_F(StatementCacheTest, KeepsOneIdleStatementPerText) {
  StatementCache cache(4);
  SqliteStmtPtr a = Prepare("select 1");
  SqliteStmtPtr b = Prepare("select 1");
  sqlite3_stmt* const first = a.get();
  cache.Give("select 1", std::move(a));
  cache.Give("select 1", std::move(b));  // finalized
  EXPECT_EQ(cache.Size(), 1u);
  EXPECT_EQ(cache.Take("select 1").get(), first);
}

TEST_F(StatementCacheTest, DropsTheLeastRecentlyGivenWhenFull) {
  StatementCache cache(2);
  for (const char* sql : {"select 1", "select 2"}) cache.Give(sql, Prepare(sql));
  cache.Give("select 1", cache.Take("select 1"));  // now the most recent
  cache.Give("select 3", Prepare("select 3"));
  EXPECT_EQ(cache.Size(), 2u);
  EXPECT_EQ(cache.Take("select 2"), nullptr);
  EXPECT_NE(cache.Take("select 1"), nullptr);
  EXPECT_NE(cache.Take("select 3"), nullptr);

  StatementCache none(0);
  none.Give("select 1", Prepare("select 1"));
  EXPECT_EQ(none.Size(), 0u);
}

TEST_F(StatementCacheTest, ClearFinalizesEverything) {
  StatementCache cache(4);
  cache.Give("select 1", Prepare("select 1"));
  cache.Give("select 2", Prepare("select 2"));
  cache.Clear();
  EXPECT_EQ(cache.Size(), 0u);
  EXPECT_EQ(cache.Take("select 1"), nullptr);
  // Nothing left unfinalized: the handle closes for real.
  EXPECT_EQ(sqlite3_close(db_.release()), SQLITE_OK);
}

}  // namespace
}  // namespace data
