// Connection, Recordset and the pool against each engine: an SQLite file always, PostgreSQL when
// WAPSITE_PG holds a connection string. PostgreSQL cases use tables named after this process and
// a counter, so several test processes can share one server.
#include "platform/data/recordset.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/native_connection.h"
#include "support/temp_dir.h"

namespace data {
namespace {

using testing_support::TempDir;

const char* PgConnectionString() {
  const char* pg = std::getenv("WAPSITE_PG");
  return (pg != nullptr && *pg != '\0') ? pg : nullptr;
}

class EngineTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (IsPostgres()) {
      if (PgConnectionString() == nullptr) GTEST_SKIP() << "WAPSITE_PG is not set";
      connection_string_ = PgConnectionString();
      static std::atomic<int> counter{0};
      suffix_ = "_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    } else {
      std::ofstream(dir_.path() / "test.db");  // an empty file is an empty SQLite database
      connection_string_ =
          "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=sqlite:test.db;User ID=;"
          "Password=;Initial Catalog=test";
    }
    pool_ = std::make_unique<ConnectionPool>(dir_.path());
    conn_ = std::make_unique<Connection>(*pool_);
    conn_->Open(connection_string_);
  }

  void TearDown() override {
    if (conn_ == nullptr) return;
    if (conn_->IsOpen()) conn_->Close();
    if (IsPostgres()) {
      Connection c(*pool_);
      c.Open(connection_string_);
      for (const auto& t : tables_) c.Execute("drop table if exists " + t);
    }
  }

  bool IsPostgres() const { return GetParam() == "postgres"; }

  // A table of this test: `columns` as in CREATE TABLE.
  std::string MakeTable(const std::string& base, const std::string& columns) {
    const std::string name = base + suffix_;
    conn_->Execute("drop table if exists " + name);
    conn_->Execute("create table " + name + " (" + columns + ")");
    tables_.push_back(name);
    return name;
  }

  // A table `items` with rows id 1..n, name "r<id>".
  std::string ItemsTable(int n) {
    const std::string t = MakeTable("items", "id integer primary key, name text");
    for (int first = 1; first <= n; first += 100) {
      std::string sql = "insert into " + t + " (id, name) values ";
      for (int i = first; i <= n && i < first + 100; ++i) {
        if (i != first) sql += ",";
        sql += "(" + std::to_string(i) + ",'r" + std::to_string(i) + "')";
      }
      conn_->Execute(sql);
    }
    return t;
  }

  std::int64_t Count(const std::string& table) {
    auto rs = conn_->Execute("select count(*) from " + table);
    return *rs->Field(0).ToInteger();
  }

  TempDir dir_;
  std::string connection_string_;
  std::string suffix_;
  std::vector<std::string> tables_;
  std::unique_ptr<ConnectionPool> pool_;
  std::unique_ptr<Connection> conn_;
};

INSTANTIATE_TEST_SUITE_P(Engines, EngineTest, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

TEST_P(EngineTest, PagingFollowsPageSizeAndRefusesPagesOutsideTheResult) {
  const struct {
    int rows;
    int page_size;
    int pages;
  } cases[] = {{0, 10, 0}, {1, 10, 1}, {10, 10, 1}, {11, 10, 2}, {25, 10, 3}, {7, 1, 7}, {25, 7, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, page size " + std::to_string(c.page_size));
    const std::string t = ItemsTable(c.rows);
    Recordset rs;
    rs.Open("select * from " + t + " order by id", *conn_);
    rs.SetPageSize(c.page_size);
    EXPECT_EQ(rs.PageCount(), c.pages);
    EXPECT_EQ(rs.RecordCount(), static_cast<std::size_t>(c.rows));
    EXPECT_EQ(rs.Eof(), c.rows == 0);
    EXPECT_EQ(rs.AbsolutePage(), c.rows == 0 ? -3 : 1);
    EXPECT_THROW(rs.SetAbsolutePage(0), DataError);
    EXPECT_THROW(rs.SetAbsolutePage(c.pages + 1), DataError);
    // Every page from the last back to the first starts on its first row.
    for (int page = c.pages; page >= 1; --page) {
      rs.SetAbsolutePage(page);
      EXPECT_EQ(rs.AbsolutePage(), page);
      EXPECT_EQ(rs.Field("id").ToInteger(), (page - 1) * c.page_size + 1);
    }
    // Walking the rows crosses the page boundaries and ends at EOF.
    if (c.rows > 0) rs.SetAbsolutePage(1);
    for (int row = 1; row <= c.rows; ++row) {
      ASSERT_FALSE(rs.Eof());
      EXPECT_EQ(rs.AbsolutePage(), (row - 1) / c.page_size + 1);
      EXPECT_EQ(rs.Field("name").ToText(), "r" + std::to_string(row));
      rs.MoveNext();
    }
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.AbsolutePage(), -3);
    EXPECT_THROW(rs.MoveNext(), DataError);
    EXPECT_THROW(rs.Field("id"), DataError);
    EXPECT_THROW(rs.SetPageSize(0), DataError);
    EXPECT_EQ(rs.PageSize(), c.page_size);
  }
}

TEST_P(EngineTest, BoundValuesArriveAsTheyAreAndOnlyBarePlaceholdersTakeThem) {
  const std::string t = MakeTable("params", "id bigint, txt text");
  const Param null_text;
  const struct {
    std::int64_t id;
    Param txt;
  } rows[] = {{1, std::string("it's ? -- '' \"x\"")}, {2, std::string("新闻")}, {3, null_text},
              {-9000000000, std::string()}};
  for (const auto& r : rows) {
    const Params p{r.id, r.txt};
    conn_->Execute("insert into " + t + " (id, txt) values (?, ?)", p);
  }
  for (const auto& r : rows) {
    const Params p{r.id};
    // A "?" inside a literal, a quoted name or a comment is text, not a placeholder.
    auto rs = conn_->Execute("select txt, '?' as \"a?\" /* ? */ from " + t + " where id = ? -- ?", p);
    ASSERT_FALSE(rs->Eof()) << r.id;
    const auto* text = std::get_if<std::string>(&r.txt);
    EXPECT_EQ(rs->Field("txt"), text != nullptr ? Value(*text) : Value()) << r.id;
    EXPECT_EQ(rs->Field("a?").ToText(), "?");
  }
  Recordset by_text;
  const Params quoted{std::string("it's ? -- '' \"x\"")};
  by_text.Open("select id from " + t + " where txt = ?", *conn_, quoted);
  EXPECT_EQ(by_text.Field("id").ToInteger(), 1);
  for (const Params& wrong : {Params{}, Params{std::int64_t{1}, std::int64_t{2}}}) {
    EXPECT_THROW(conn_->Execute("select txt from " + t + " where id = ?", wrong), DataError);
  }
  EXPECT_EQ(Count(t), 4);  // the connection still serves
}

TEST_P(EngineTest, OnePerPageReachesAnyPageForwardAndBack) {
  const std::string t = ItemsTable(1000);
  Recordset rs;
  rs.Open("select * from " + t + " order by id desc", *conn_);
  rs.SetPageSize(1);
  ASSERT_EQ(rs.PageCount(), 1000);
  EXPECT_EQ(rs.Field("id").ToInteger(), 1000);  // counting did not move the current row
  for (int page : {500, 3, 1000, 999, 1, 2}) {
    rs.SetAbsolutePage(page);
    EXPECT_EQ(rs.Field("id").ToInteger(), 1001 - page) << page;
  }
  rs.MoveNext();
  EXPECT_EQ(rs.Field("id").ToInteger(), 998);
}

// Paging by key (or by count and offset) shows exactly the rows of the statement read whole, in
// its order: a condition with OR keeps its meaning, either direction, no condition.
TEST_P(EngineTest, EveryPageHoldsTheRowsOfTheStatementReadWhole) {
  const std::string t = ItemsTable(40);
  const Params values{std::int64_t{30}, std::int64_t{5}};
  for (const std::string& sql :
       {"select * from " + t + " where id > ? or id < ? order by id desc",
        "select name, id from " + t + " where id > ? or id < ? order by id",
        "select * from " + t + " where id > ? or id < ? order by name desc"}) {
    std::vector<std::int64_t> whole;
    for (auto rs = conn_->Execute(sql, values); !rs->Eof(); rs->MoveNext()) {
      whole.push_back(*rs->Field("id").ToInteger());
    }
    Recordset rs;
    rs.Open(sql, *conn_, values);
    rs.SetPageSize(3);
    ASSERT_EQ(rs.RecordCount(), whole.size()) << sql;
    std::vector<std::int64_t> paged;
    for (int page : {4, 0, 1, 2, 3, 4, 5}) {  // a deep page first (not kept), then in turn
      if (page == 0) {
        paged.clear();
        continue;
      }
      rs.SetAbsolutePage(page);
      for (int i = 0; i < 3 && !rs.Eof(); ++i, rs.MoveNext()) {
        paged.push_back(*rs.Field("id").ToInteger());
      }
    }
    EXPECT_EQ(paged, whole) << sql;
  }
  Recordset all;
  all.Open("select * from " + t + " order by id desc", *conn_);
  all.SetPageSize(7);
  all.SetAbsolutePage(6);
  EXPECT_EQ(all.Field("id").ToInteger(), 5);
}

// A count or a page read again sees every change committed since: another connection's insert,
// this connection's own, and not a write that was rolled back.
TEST_P(EngineTest, ACountFollowsEveryCommittedChange) {
  const std::string t = ItemsTable(20);
  const Params over{std::int64_t{0}};
  const auto first_and_count = [&](const std::string& sql) {
    Recordset rs;
    rs.Open(sql, *conn_, over);
    rs.SetPageSize(1);
    const int pages = rs.PageCount();
    rs.SetAbsolutePage(1);
    return std::pair(pages, *rs.Field("id").ToInteger());
  };
  Connection other(*pool_);
  other.Open(connection_string_);
  // By key, and by name ("r9" sorts after "r20").
  for (const auto& [sql, first] :
       {std::pair("select * from " + t + " where id > ? order by id desc", std::int64_t{20}),
        std::pair("select * from " + t + " where id > ? order by name desc", std::int64_t{9})}) {
    EXPECT_EQ(first_and_count(sql), std::pair(20, first)) << sql;
    other.Execute("insert into " + t + " values (99, 'r99')");
    EXPECT_EQ(first_and_count(sql), std::pair(21, std::int64_t{99})) << sql;
    conn_->Execute("delete from " + t + " where id = 99");
    EXPECT_EQ(first_and_count(sql).first, 20) << sql;
    conn_->BeginTrans();
    conn_->Execute("insert into " + t + " values (98, 'r98')");
    EXPECT_EQ(first_and_count(sql).first, 21) << sql;
    conn_->RollbackTrans();
    EXPECT_EQ(first_and_count(sql).first, 20) << sql;
  }
}

TEST_P(EngineTest, NullIsDistinctFromEmptyTextAndZero) {
  const std::string t = MakeTable("nulls", "id integer, txt text, num integer");
  conn_->Execute("insert into " + t + " values (1, null, null), (2, '', 0)");
  Recordset rs;
  rs.Open("select txt, num from " + t + " order by id", *conn_);
  EXPECT_TRUE(rs.Field("txt").IsNull());
  EXPECT_TRUE(rs.Field("num").IsNull());
  EXPECT_EQ(rs.Field("txt").ToText(), "");
  rs.MoveNext();
  EXPECT_EQ(rs.Field("txt"), Value(std::string()));
  EXPECT_EQ(rs.Field("num"), Value(std::int64_t{0}));
}

TEST_P(EngineTest, FieldsByNameInAnyCaseOrByPosition) {
  const std::string t = MakeTable("names", "id integer, classname text");
  conn_->Execute("insert into " + t + " values (7, '新闻')");
  Recordset rs;
  rs.Open("select id, classname from " + t, *conn_);
  ASSERT_EQ(rs.FieldCount(), 2u);
  for (const char* name : {"classname", "ClassName", "CLASSNAME"}) {
    EXPECT_EQ(rs.Field(name).ToText(), "新闻") << name;
  }
  EXPECT_EQ(rs.Field(std::size_t{0}), Value(std::int64_t{7}));
  EXPECT_EQ(rs.Field(1).ToText(), "新闻");
  EXPECT_THROW(rs.Field("class"), DataError);
  EXPECT_THROW(rs.Field(2), DataError);
}

TEST_P(EngineTest, ValuesTakeTheKindOfTheirColumn) {
  const struct {
    const char* expression;
    Value expected;
  } common[] = {
      {"1.5", Value(1.5)},
      {"'text'", Value(std::string("text"))},
      {"42", Value(std::int64_t{42})},
  };
  for (const auto& c : common) {
    auto rs = conn_->Execute(std::string("select ") + c.expression);
    EXPECT_EQ(rs->Field(0), c.expected) << c.expression;
  }
  const std::string t = ItemsTable(3);
  auto count = conn_->Execute("select count(*) from " + t);
  EXPECT_TRUE(count->Field(0).IsInteger());
  EXPECT_EQ(count->Field(0).ToInteger(), 3);
  if (IsPostgres()) {
    const struct {
      const char* expression;
      Value expected;
    } pg[] = {
        {"2::int2", Value(std::int64_t{2})},
        {"2.25::float4", Value(2.25)},
        {"12.5::numeric", Value(12.5)},
        {"'NaN'::numeric", Value(std::string("NaN"))},
        {"true", Value(std::int64_t{1})},
        {"false", Value(std::int64_t{0})},
        {"'2024-03-05 07:08:09.75'::timestamp", Value(std::string("2024-03-05 07:08:09"))},
        {"'2024-03-05'::date", Value(std::string("2024-03-05"))},
    };
    for (const auto& c : pg) {
      auto rs = conn_->Execute(std::string("select ") + c.expression);
      EXPECT_EQ(rs->Field(0), c.expected) << c.expression;
    }
    conn_->Execute("set timezone = 'Asia/Shanghai'");
    auto tz = conn_->Execute("select '2024-03-05 07:08:09.5+08'::timestamptz");
    EXPECT_EQ(tz->Field(0).ToText(), "2024-03-05 07:08:09");
    auto style = conn_->Execute("show datestyle");
    EXPECT_EQ(style->Field(0).ToText().substr(0, 3), "ISO");
  } else {
    auto blob = conn_->Execute("select x'414243'");
    EXPECT_EQ(blob->Field(0), Value(std::string("ABC")));
  }
}

TEST_P(EngineTest, SchemaTimesReadBackAsText) {
  const std::string type = IsPostgres() ? "timestamp(0)" : "text";
  const std::string t = MakeTable("times", "id integer, lytime " + type + ", hftime " + type);
  conn_->Execute("insert into " + t + " values (1, '2023-12-31 23:59:58', null)");
  Recordset rs;
  rs.Open("select * from " + t, *conn_);
  EXPECT_EQ(rs.Field("lytime").ToText(), "2023-12-31 23:59:58");
  EXPECT_TRUE(rs.Field("hftime").IsNull());
}

TEST_P(EngineTest, TransactionsCommitOrLeaveNothing) {
  const std::string t = ItemsTable(0);
  conn_->BeginTrans();
  EXPECT_TRUE(conn_->InTransaction());
  auto none = conn_->Execute("insert into " + t + " values (1, 'a')");
  EXPECT_TRUE(none->IsOpen() && none->Eof());  // a statement without rows gives an empty result
  conn_->RollbackTrans();
  EXPECT_EQ(Count(t), 0);

  conn_->BeginTrans();
  conn_->Execute("insert into " + t + " values (2, 'b')");
  conn_->CommitTrans();
  EXPECT_EQ(Count(t), 1);

  // Closing inside a transaction rolls it back.
  conn_->BeginTrans();
  conn_->Execute("insert into " + t + " values (3, 'c')");
  conn_->Close();
  conn_->Open(connection_string_);
  EXPECT_EQ(Count(t), 1);

  EXPECT_THROW(conn_->CommitTrans(), DataError);
  EXPECT_THROW(conn_->RollbackTrans(), DataError);
}

TEST_P(EngineTest, AFailureInsideATransactionDoesNotReachTheNextBorrower) {
  const std::string t = ItemsTable(1);
  conn_->BeginTrans();
  EXPECT_THROW(conn_->Execute("insert into " + t + " values (1, 'duplicate')"), DataError);
  conn_->Close();
  EXPECT_EQ(pool_->IdleCount(connection_string_), 1u);
  conn_->Open(connection_string_);
  EXPECT_EQ(Count(t), 1);
}

TEST_P(EngineTest, AStatementThatWritesAndReturnsRowsRunsOnce) {
  const std::string t = ItemsTable(0);
  auto rs = conn_->Execute("insert into " + t + " (id, name) values (1, 'a'), (2, 'b') returning id");
  EXPECT_EQ(rs->RecordCount(), 2u);
  rs->SetPageSize(1);
  rs->SetAbsolutePage(2);
  rs->SetAbsolutePage(1);
  EXPECT_FALSE(rs->Eof());
  rs.reset();
  EXPECT_EQ(Count(t), 2);
}

TEST_P(EngineTest, EngineErrorsCarryTheEngineDescriptionWithoutTheStatement) {
  const std::string t = ItemsTable(1);
  const struct {
    std::string sql;
    const char* mentions;
  } cases[] = {
      {"select nosuchcolumn from " + t + " where id = 1", "nosuchcolumn"},
      {"selec * from " + t, "syntax error"},
      {"select * from nosuchtable" + suffix_ + " where id = 1", "nosuchtable"},
  };
  for (const auto& c : cases) {
    try {
      Recordset rs;
      rs.Open(c.sql, *conn_);
      rs.Eof();  // the statement runs when first read
      ADD_FAILURE() << "no error for " << c.sql;
    } catch (const DataError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(c.mentions), std::string::npos) << what;
      for (const char* leak : {"where id", "from ", "ERROR", "LINE 1", "\n"}) {
        EXPECT_EQ(what.find(leak), std::string::npos) << what;
      }
    }
  }
  EXPECT_THROW(conn_->Execute("select 1; select 2"), DataError);
  // The connection still serves after the failures.
  EXPECT_EQ(Count(t), 1);
}

// Statements are kept prepared; a table that changes shape between two runs of the same text must
// not make the second fail or show the old shape, in a transaction or not.
TEST_P(EngineTest, TheSameStatementAfterItsTableChangedShapeSeesTheNewShape) {
  const std::string t = ItemsTable(2);
  const std::string sql = "select * from " + t + " order by id";
  EXPECT_EQ(conn_->Execute(sql)->Field("name").ToText(), "r1");
  conn_->Execute("alter table " + t + " add column extra integer default 7");
  EXPECT_EQ(*conn_->Execute(sql)->Field("extra").ToInteger(), 7);
  conn_->Execute("drop table " + t);
  conn_->Execute("create table " + t + " (id integer, other text)");
  conn_->Execute("insert into " + t + " values (5, 'o')");
  conn_->BeginTrans();
  EXPECT_EQ(conn_->Execute(sql)->Field("other").ToText(), "o");
  conn_->CommitTrans();
  EXPECT_EQ(conn_->Execute(sql)->Field("other").ToText(), "o");
}

TEST_P(EngineTest, ThePoolReusesClosedConnectionsAndDropsDiscardedOnes) {
  conn_->Close();
  EXPECT_EQ(pool_->IdleCount(connection_string_), 1u);
  conn_->Open(connection_string_);
  EXPECT_EQ(pool_->IdleCount(connection_string_), 0u);
  Connection second(*pool_);
  second.Open(connection_string_);
  second.Close();
  conn_->Close();
  EXPECT_EQ(pool_->IdleCount(connection_string_), 2u);

  auto native = pool_->Borrow(ParseConnectionString(connection_string_));
  pool_->Return(ParseConnectionString(connection_string_), std::move(native), /*healthy=*/false);
  EXPECT_EQ(pool_->IdleCount(connection_string_), 1u);

  ConnectionPool small(dir_.path(), /*max_idle_per_key=*/1);
  Connection a(small), b(small);
  a.Open(connection_string_);
  b.Open(connection_string_);
  a.Close();
  b.Close();
  EXPECT_EQ(small.IdleCount(connection_string_), 1u);
  conn_->Open(connection_string_);
}

TEST_P(EngineTest, ARecordsetLeftOpenDoesNotDisturbTheConnectionsNextUser) {
  const std::string t = ItemsTable(5);
  auto rs = std::make_unique<Recordset>();
  rs->Open("select * from " + t + " order by id", *conn_);
  conn_->Close();
  conn_->Open(connection_string_);  // the same native connection, from the pool
  conn_->Execute("insert into " + t + " values (6, 'r6')");
  EXPECT_EQ(Count(t), 6);
  rs.reset();
  EXPECT_EQ(Count(t), 6);
}

// A page of a list is asked of the database: a count, then that page's rows (and the one after,
// where a page's loop ends); never every row of the list.
TEST_P(EngineTest, TheStatementLogShowsAPageAskedOfTheDatabase) {
  const std::string t = ItemsTable(9);
  std::vector<std::string> log;
  pool_->SetStatementLog([&log](std::string_view entry) { log.emplace_back(entry); });
  const std::string sql = "select * from " + t + " where id > ? order by id desc";
  const Params over{std::int64_t{1}};
  Recordset rs;
  rs.Open(sql, *conn_, over);
  rs.SetPageSize(3);
  EXPECT_EQ(rs.PageCount(), 3);
  rs.SetAbsolutePage(2);
  for (int id : {6, 5, 4, 3, 2}) {  // the last one past the window read
    EXPECT_EQ(rs.Field("id").ToInteger(), id);
    rs.MoveNext();
  }
  EXPECT_TRUE(rs.Eof());
  const Params values{std::int64_t{2}, std::string("a'b, c"), Param()};
  conn_->Execute("select ?, ?, ?", values);
  pool_->SetStatementLog(nullptr);
  conn_->Execute("select 3");
  // SQLite keeps the list's keys while the database is unchanged, and starts a page at its key;
  // PostgreSQL counts, and finds a page's key over the index of keys.
  const std::string keys = "select id from " + t + " where (id > ?) order by id desc";
  const std::string from_key =
      "select * from " + t + " where (id > ?) and id <= ? order by id desc\nLIMIT ?";
  const std::string from_position = "select * from " + t + " where (id > ?) and id <= (" + keys +
                                    " limit 1 offset ?) order by id desc\nLIMIT ?";
  std::vector<std::string> expected =
      IsPostgres() ? std::vector<std::string>{"select count(*) from (\nselect * from " + t +
                                                  " where id > ?\n) w\t1",
                                              from_position + "\t1, 1, 3, 4",
                                              from_position + "\t1, 1, 7, 8"}
                   : std::vector<std::string>{keys + "\t1", from_key + "\t1, 6, 4",
                                              from_key + "\t1, 2, 8"};
  expected.push_back("select ?, ?, ?\t2, 'a''b, c', NULL");
  EXPECT_EQ(log, expected);
}

TEST_P(EngineTest, ThreadsShareThePoolSafely) {
  const std::string t = ItemsTable(20);
  conn_->Close();
  constexpr int kThreads = 4;
  std::vector<std::int64_t> sums(kThreads, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([this, &t, &sums, i] {
      for (int round = 0; round < 25; ++round) {
        Connection c(*pool_);
        c.Open(connection_string_);
        Recordset rs;
        rs.Open("select id from " + t, c);
        for (; !rs.Eof(); rs.MoveNext()) sums[i] += *rs.Field(0).ToInteger();
      }
    });
  }
  for (auto& th : threads) th.join();
  for (const auto sum : sums) EXPECT_EQ(sum, 25 * 210);
  EXPECT_GE(pool_->IdleCount(connection_string_), 1u);
  EXPECT_LE(pool_->IdleCount(connection_string_), static_cast<std::size_t>(kThreads + 1));
  conn_->Open(connection_string_);
}

// Waits until the server has ended backend `pid`, by asking it (no sleeping).
void AwaitBackendGone(Connection& c, std::int64_t pid) {
  for (int i = 0; i < 100000; ++i) {
    auto rs = c.Execute("select count(*) from pg_stat_activity where pid = " + std::to_string(pid));
    if (rs->Field(0).ToInteger() == 0) return;
  }
  FAIL() << "backend " << pid << " still runs";
}

TEST_P(EngineTest, AConnectionTheServerEndedIsDroppedNotReused) {
  if (!IsPostgres()) GTEST_SKIP() << "needs a server that can end a session";
  Connection killer(*pool_);
  killer.Open(connection_string_);
  const std::string pid_sql = "select pg_backend_pid()";

  // Ended while in use: the next statement fails and the connection is not pooled again.
  const auto pid = *conn_->Execute(pid_sql)->Field(0).ToInteger();
  killer.Execute("select pg_terminate_backend(" + std::to_string(pid) + ")");
  AwaitBackendGone(killer, pid);
  EXPECT_THROW(conn_->Execute("select 1"), DataError);
  killer.Close();
  const std::size_t idle = pool_->IdleCount(connection_string_);
  conn_->Close();
  EXPECT_EQ(pool_->IdleCount(connection_string_), idle);

  // Ended while idle in the pool: the next borrower gets a new session.
  conn_->Open(connection_string_);
  killer.Open(connection_string_);
  const auto idle_pid = *conn_->Execute(pid_sql)->Field(0).ToInteger();
  conn_->Close();
  ASSERT_EQ(pool_->IdleCount(connection_string_), 1u);
  killer.Execute("select pg_terminate_backend(" + std::to_string(idle_pid) + ")");
  AwaitBackendGone(killer, idle_pid);
  conn_->Open(connection_string_);
  EXPECT_EQ(pool_->IdleCount(connection_string_), 0u);
  EXPECT_NE(*conn_->Execute(pid_sql)->Field(0).ToInteger(), idle_pid);
}

class ConnectionOpen : public ::testing::Test {
 protected:
  TempDir dir_;
  ConnectionPool pool_{dir_.path()};
};

TEST_F(ConnectionOpen, AMissingSqliteFileFailsAndCreatesNoFile) {
  Connection c(pool_);
  try {
    c.Open("Provider=SQLOLEDB.1;Data Source=sqlite:data/none.db;Initial Catalog=site");
    ADD_FAILURE() << "opened a missing file";
  } catch (const DataError& e) {
    EXPECT_NE(std::string(e.what()).find("data/none.db"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(c.IsOpen());
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(ConnectionOpen, ConnectionStringsThatCannotOpenFailWithADescription) {
  std::ofstream(dir_.path() / "not-a-db") << "this is not a database file, it is plain text\n";
  const struct {
    std::string connection_string;
    const char* mentions;
  } cases[] = {
      {"Provider=SQLOLEDB.1;Data Source=;Initial Catalog=site", "no database engine"},
      {"Provider=SQLOLEDB.1;Initial Catalog=site", "no database engine"},
      {"Data Source=sqlite:", "no database file"},
      {"Data Source=sqlite:not-a-db", "not a database"},
      {"Data Source=127.0.0.1,1;User ID=u;Password=p;Initial Catalog=d", "127.0.0.1"},
      {"Data Source=127.0.0.1,99999;Initial Catalog=d", "port"},
  };
  for (const auto& c : cases) {
    Connection conn(pool_);
    try {
      conn.Open(c.connection_string);
      ADD_FAILURE() << "opened " << c.connection_string;
    } catch (const DataError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
}

TEST_F(ConnectionOpen, AWrongPostgresPasswordIsRefusedWithTheServersWords) {
  if (PgConnectionString() == nullptr) GTEST_SKIP() << "WAPSITE_PG is not set";
  ConnectionSettings s = ParseConnectionString(PgConnectionString());
  s.password += "-wrong";
  Connection c(pool_);
  try {
    c.Open(BuildConnectionString(s));
    ADD_FAILURE() << "logged in with a wrong password";
  } catch (const DataError& e) {
    EXPECT_NE(std::string(e.what()).find("password authentication failed"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace data
