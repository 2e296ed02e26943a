// The SQLite driver's results: paging and counting reach the same rows as stepping through the
// whole result, whatever the shape of the query, and statements kept for reuse never carry state
// from one run into the next.
#include "platform/data/sqlite/sqlite_connection.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/data_error.h"
#include "platform/data/recordset.h"
#include "support/temp_dir.h"

namespace data {
namespace {

using testing_support::TempDir;

class SqliteRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_.path() / "test.db");  // an empty file is an empty SQLite database
    conn_.Open("Data Source=sqlite:test.db;Initial Catalog=test");
    // Rows with repeated keys, so that an order among equal keys matters, and a second table
    // to join.
    conn_.ExecuteScript(
        "create table items (id integer primary key, grp integer, name text, note text);"
        "create index items_grp on items (grp, id);"
        "create table groups (id integer primary key, title text);"
        "create view v_items as select i.id, i.grp, i.name, g.title from items i"
        "  join groups g on g.id = i.grp order by i.id;");
    std::string sql = "insert into items (id, grp, name, note) values ";
    for (int i = 1; i <= 60; ++i) {
      if (i > 1) sql += ",";
      sql += "(" + std::to_string(i) + "," + std::to_string(i % 4) + ",'n" + std::to_string(i % 7) +
             "'," + (i % 5 == 0 ? "null" : "'x" + std::to_string(i) + "'") + ")";
    }
    conn_.Execute(sql);
    conn_.Execute("insert into groups (id, title) values (0,'g0'),(1,'g1'),(2,'g2'),(3,'g3')");
  }

  // Every row of `sql`, read by stepping from the first row to the last.
  std::vector<std::vector<Value>> Stepped(const std::string& sql) {
    std::vector<std::vector<Value>> rows;
    Recordset rs;
    rs.Open(sql, conn_);
    for (; !rs.Eof(); rs.MoveNext()) {
      auto& row = rows.emplace_back();
      for (std::size_t i = 0; i < rs.FieldCount(); ++i) row.push_back(rs.Field(i));
    }
    return rows;
  }

  static std::vector<Value> Current(const Recordset& rs) {
    std::vector<Value> row;
    for (std::size_t i = 0; i < rs.FieldCount(); ++i) row.push_back(rs.Field(i));
    return row;
  }

  TempDir dir_;
  ConnectionPool pool_{dir_.path()};
  Connection conn_{pool_};
};

// Queries of every shape the pages and the back office use, and some they do not.
const char* const kQueries[] = {
    "select * from items where grp=1 order by id desc",
    "select * from items order by id",
    "select * from items",
    "select * from items order by grp",  // a sort step, with many equal keys
    "select * from items order by name, grp desc",
    "select name, note from items where note is not null order by id desc",
    "select * from v_items where grp=2",
    "select i.id, g.id, g.title from items i join groups g on g.id = i.grp order by i.id desc",
    "select distinct name from items",
    "select grp, count(*), max(id) from items group by grp",
    "select * from items order by id limit 25",
    "select * from items order by id limit 20 offset 7",
    "select id from items where grp=0 union all select id from items where grp=3",
    "with odd as (select * from items where id % 2 = 1) select * from odd order by id desc",
    "values (1, 'a'), (2, 'b'), (3, 'c'), (4, 'd'), (5, 'e'), (6, 'f')",
    "select * from items order by id desc;",
    "select * from items order by id desc -- newest first",
    "select * from items /* every row */ order by id",
    "pragma table_info(items)",
};

TEST_F(SqliteRowsTest, EveryPageHoldsTheRowThatSteppingReaches) {
  for (const char* sql : kQueries) {
    SCOPED_TRACE(sql);
    const auto expected = Stepped(sql);
    ASSERT_FALSE(expected.empty());
    Recordset rs;
    rs.Open(sql, conn_);
    rs.SetPageSize(1);
    ASSERT_EQ(rs.PageCount(), static_cast<int>(expected.size()));
    ASSERT_EQ(rs.RecordCount(), expected.size());
    const int n = rs.PageCount();
    // Jumps forward and back, long and short, the ends, and the same page twice.
    std::vector<int> pages = {n / 2,     1,     n, n - 1, 2,     n / 3, n / 3 + 1, n / 3 + 3,
                              n / 3 + 9, n / 3, n, 1,     n / 2, n / 2, 6,         5};
    for (int p = n; p >= 1; p -= 7) pages.push_back(p);
    for (int page : pages) {
      if (page < 1 || page > n) continue;
      rs.SetAbsolutePage(page);
      ASSERT_FALSE(rs.Eof());
      EXPECT_EQ(rs.AbsolutePage(), page);
      EXPECT_EQ(Current(rs), expected[page - 1]) << "page " << page;
    }
    // Walking on from a page reached by a jump continues in the same order, to the end.
    rs.SetAbsolutePage(n / 2);
    for (int row = n / 2; row <= n; ++row) {
      ASSERT_FALSE(rs.Eof()) << "row " << row;
      EXPECT_EQ(Current(rs), expected[row - 1]) << "row " << row;
      rs.MoveNext();
    }
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.MoveNext(), DataError);
  }
}

TEST_F(SqliteRowsTest, PagesOfSeveralRowsStartWhereSteppingPutsThem) {
  const std::string sql = "select * from items where grp<>2 order by id desc";
  const auto expected = Stepped(sql);
  for (int size : {3, 10, 29}) {
    Recordset rs;
    rs.Open(sql, conn_);
    rs.SetPageSize(size);
    for (int page = rs.PageCount(); page >= 1; --page) {
      rs.SetAbsolutePage(page);
      EXPECT_EQ(Current(rs), expected[(page - 1) * size]) << size << " per page, page " << page;
    }
  }
}

TEST_F(SqliteRowsTest, CountingBeforeOrAfterMovingGivesTheNumberOfRows) {
  Recordset first;
  first.Open("select * from items where grp=3 order by id desc", conn_);
  EXPECT_EQ(first.RecordCount(), 15u);
  EXPECT_EQ(first.Field("id").ToInteger(), 59);  // counting did not move the current row

  Recordset moved;
  moved.Open("select * from items where grp=3 order by id desc", conn_);
  moved.SetPageSize(1);
  moved.SetAbsolutePage(10);  // positioned before the count is known
  EXPECT_EQ(moved.RecordCount(), 15u);
  EXPECT_EQ(moved.Field("id").ToInteger(), 23);

  Recordset none;
  none.Open("select * from items where grp=9 order by id", conn_);
  EXPECT_TRUE(none.Eof());
  EXPECT_EQ(none.RecordCount(), 0u);
  EXPECT_EQ(none.PageCount(), 0);
}

TEST_F(SqliteRowsTest, AJumpPastTheLastRowFindsNoRowAndLeavesTheCountRight) {
  Recordset rs;
  rs.Open("select * from items where grp=1 order by id desc", conn_);
  rs.SetPageSize(1);
  rs.SetAbsolutePage(15);  // the last of the 15 rows
  EXPECT_EQ(rs.Field("id").ToInteger(), 1);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.AbsolutePage(), -3);
  EXPECT_EQ(rs.RecordCount(), 15u);
  rs.SetAbsolutePage(14);
  EXPECT_EQ(rs.Field("id").ToInteger(), 5);
}

TEST_F(SqliteRowsTest, TwoResultsOfTheSameTextMoveIndependently) {
  const std::string sql = "select id from items where grp=2 order by id";
  Recordset a, b;
  a.Open(sql, conn_);
  b.Open(sql, conn_);
  a.SetPageSize(1);
  b.SetPageSize(1);
  a.SetAbsolutePage(12);
  EXPECT_EQ(b.Field(0).ToInteger(), 2);
  b.MoveNext();
  EXPECT_EQ(a.Field(0).ToInteger(), 46);
  EXPECT_EQ(b.Field(0).ToInteger(), 6);
  a.Close();
  // Run again while `b` still holds its statement, and again after it let go of it.
  Recordset c;
  c.Open(sql, conn_);
  EXPECT_EQ(c.Field(0).ToInteger(), 2);
  b.Close();
  c.Close();
  Recordset d;
  d.Open(sql, conn_);
  EXPECT_EQ(d.Field(0).ToInteger(), 2);
  EXPECT_EQ(d.RecordCount(), 15u);
}

TEST_F(SqliteRowsTest, AStatementRunAgainSeesWhatWasWrittenMeanwhile) {
  const std::string sql = "select count(*), max(id) from items";
  for (int id = 61; id <= 63; ++id) {
    auto rs = conn_.Execute(sql);
    EXPECT_EQ(rs->Field(0).ToInteger(), id - 1);
    rs->Close();
    conn_.Execute("insert into items (id, grp, name) values (" + std::to_string(id) +
                  ", 1, 'new')");
  }
  // Left open at its first row: the next run of the same text is not held back by it.
  auto open = conn_.Execute("select id from items order by id");
  conn_.Execute("delete from items where id > 60");
  EXPECT_EQ(conn_.Execute(sql)->Field(0).ToInteger(), 60);
  EXPECT_EQ(open->Field(0).ToInteger(), 1);
}

TEST_F(SqliteRowsTest, AStatementThatFailedRunsAgainCleanly) {
  const std::string insert = "insert into groups (id, title) values (9, 'nine')";
  conn_.Execute(insert);
  for (int i = 0; i < 3; ++i) {
    try {
      conn_.Execute(insert);
      ADD_FAILURE() << "inserted a duplicate key";
    } catch (const DataError& e) {
      EXPECT_NE(std::string(e.what()).find("UNIQUE"), std::string::npos) << e.what();
    }
  }
  conn_.Execute("delete from groups where id = 9");
  conn_.Execute(insert);
  EXPECT_EQ(conn_.Execute("select title from groups where id = 9")->Field(0).ToText(), "nine");
}

TEST_F(SqliteRowsTest, ResultsOfAClosedConnectionFailAndTheNextBorrowerStartsClean) {
  Recordset rs;
  rs.Open("select * from items where grp=0 order by id desc", conn_);
  rs.SetPageSize(1);
  rs.SetAbsolutePage(8);
  conn_.Close();
  EXPECT_THROW(rs.SetAbsolutePage(3), DataError);
  EXPECT_THROW(rs.Field(0), DataError);
  conn_.Open("Data Source=sqlite:test.db;Initial Catalog=test");  // the same native connection
  Recordset again;
  again.Open("select * from items where grp=0 order by id desc", conn_);
  EXPECT_EQ(again.Field("id").ToInteger(), 60);
  again.SetPageSize(1);
  again.SetAbsolutePage(8);
  EXPECT_EQ(again.Field("id").ToInteger(), 32);
}

TEST_F(SqliteRowsTest, ManyDifferentStatementsStillRunCorrectly) {
  // More distinct texts than a connection keeps prepared, run twice over.
  for (int round = 0; round < 2; ++round) {
    for (int id = 1; id <= 150; ++id) {
      auto rs =
          conn_.Execute("select id, grp from items where id = " + std::to_string(id % 60 + 1));
      ASSERT_FALSE(rs->Eof());
      EXPECT_EQ(rs->Field(0).ToInteger(), id % 60 + 1);
    }
  }
}

}  // namespace
}  // namespace data
