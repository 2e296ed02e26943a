// The data layer against real engines: an SQLite file always, PostgreSQL when WAPSITE_PG is set
// (else skipped). Tables carry the process id and a counter, so tests can share one server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <tuple>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/native_connection.h"
#include "platform/data/recordset.h"
#include "support/temp_dir.h"

namespace data {
namespace {

class Engine : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (OnPostgres()) {
      const char* pg = std::getenv("WAPSITE_PG");
      if (pg == nullptr || *pg == '\0') GTEST_SKIP() << "WAPSITE_PG is not set";
      cs_ = pg;
      static std::atomic<int> counter{0};
      suffix_ = "_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    } else {
      std::ofstream(dir_.path() / "test.db");  // an empty file is an empty SQLite database
      cs_ = "Provider=SQLOLEDB.1;Data Source=sqlite:test.db;User ID=;Password=;Initial Catalog=t";
    }
    conn_.Open(cs_);
  }
  void TearDown() override {
    conn_.Close();
    if (!OnPostgres() || tables_.empty()) return;
    conn_.Open(cs_);
    for (const auto& t : tables_) conn_.Execute("drop table if exists " + t);
  }
  bool OnPostgres() const { return GetParam() == "postgres"; }

  // A table of this test with `columns` as in CREATE TABLE, and rows id 1..rows, name "r<id>".
  std::string Table(const std::string& columns, int rows = 0) {
    const std::string name = "t" + std::to_string(tables_.size()) + suffix_;
    conn_.Execute("drop table if exists " + name);
    conn_.Execute("create table " + name + " (" + columns + ")");
    for (std::int64_t i = 1; i <= rows; ++i) {
      conn_.Execute("insert into " + name + " values (?, ?)", Params{i, "r" + std::to_string(i)});
    }
    tables_.push_back(name);
    return name;
  }
  std::int64_t Count(const std::string& table) {
    return *conn_.Execute("select count(*) from " + table)->Field(0).ToInteger();
  }

  testing_support::TempDir dir_;
  ConnectionPool pool_{dir_.path()};
  Connection conn_{pool_};
  std::string cs_, suffix_;
  std::vector<std::string> tables_;
};

INSTANTIATE_TEST_SUITE_P(Engines, Engine, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

TEST_P(Engine, BoundValuesArriveUnchangedAndOnlyBarePlaceholdersTakeThem) {
  const std::string t = Table("id bigint, txt text");
  const Param rows[][2] = {{std::int64_t{1}, "it's ? -- '' \"x\""},
                           {std::int64_t{2}, "新闻"},
                           {std::int64_t{3}, Param()},
                           {std::int64_t{-9000000000}, ""}};
  for (const auto& r : rows) conn_.Execute("insert into " + t + " values (?, ?)", r);
  for (const auto& r : rows) {
    auto rs = conn_.Execute("select txt, '?' as \"a?\" /* ? */ from " + t + " where id = ? -- ?",
                            std::span(r, 1));
    const auto* text = std::get_if<std::string>(&r[1]);
    EXPECT_EQ(rs->Field("TXT"), text ? Value(*text) : Value()) << DescribeParams(r);
    EXPECT_EQ(rs->Field("a?").ToText(), "?");
  }
  Recordset by_text;
  by_text.Open("select id from " + t + " where txt = ?", conn_, std::span(&rows[0][1], 1));
  EXPECT_EQ(by_text.Field(0).ToInteger(), 1);
  for (const Params& wrong : {Params{}, Params{std::int64_t{1}, std::int64_t{2}}}) {
    EXPECT_THROW(conn_.Execute("select txt from " + t + " where id = ?", wrong), DataError);
  }
  EXPECT_EQ(Count(t), 4);  // the connection still serves
}

TEST_P(Engine, EveryPageStartsOnItsRowAndWalkingCrossesPages) {
  const struct {
    int rows, page_size, pages;
  } cases[] = {{0, 10, 0}, {1, 10, 1}, {10, 10, 1}, {11, 10, 2}, {25, 7, 4}, {30, 1, 30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, " + std::to_string(c.page_size) + " a page");
    const std::string t = Table("id integer primary key, name text", c.rows);
    Recordset rs;
    rs.Open("select * from " + t + " order by id desc", conn_);
    rs.SetPageSize(c.page_size);
    EXPECT_EQ(rs.PageCount(), c.pages);
    EXPECT_EQ(rs.RecordCount(), static_cast<std::size_t>(c.rows));
    EXPECT_EQ(rs.AbsolutePage(), c.rows == 0 ? -3 : 1);
    EXPECT_THROW(rs.SetAbsolutePage(0), DataError);
    EXPECT_THROW(rs.SetAbsolutePage(c.pages + 1), DataError);
    EXPECT_THROW(rs.SetPageSize(0), DataError);
    for (int page : {c.pages, 1, c.pages / 2 + 1, c.pages - 1, 2}) {
      if (page < 1 || page > c.pages) continue;
      rs.SetAbsolutePage(page);
      EXPECT_EQ(rs.AbsolutePage(), page);
      EXPECT_EQ(rs.Field("id").ToInteger(), c.rows - (page - 1) * c.page_size) << page;
    }
    if (c.rows > 0) rs.SetAbsolutePage(1);
    for (int row = 0; row < c.rows; ++row, rs.MoveNext()) {
      ASSERT_FALSE(rs.Eof());
      EXPECT_EQ(rs.AbsolutePage(), row / c.page_size + 1);
      EXPECT_EQ(rs.Field("name").ToText(), "r" + std::to_string(c.rows - row));
    }
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.AbsolutePage(), -3);
    EXPECT_THROW(rs.MoveNext(), DataError);
    EXPECT_THROW(rs.Field("id"), DataError);
  }
}

// Paging reaches the row stepping reaches, whatever the statement looks like.
TEST_P(Engine, PagesOfAnyStatementHoldTheRowsSteppingReaches) {
  const std::string t = Table("id integer primary key, name text", 12);
  conn_.Execute("update " + t + " set name = 'same' where id > 6");
  for (const std::string& sql :
       {"select * from " + t + " order by name, id desc;", "select * from " + t + " -- all\n",
        "select id from " + t + " /* odd */ where id % 2 = 1 order by id desc -- newest first",
        "select * from " + t + " order by id limit 9 offset 2",
        "select id from " + t + " where id < 4 union all select id from " + t + " where id > 9",
        "select name, count(*) from " + t + " group by name order by name"}) {
    SCOPED_TRACE(sql);
    std::vector<Value> stepped;
    for (auto all = conn_.Execute(sql); !all->Eof(); all->MoveNext())
      stepped.push_back(all->Field(0));
    Recordset rs;
    rs.Open(sql, conn_);
    rs.SetPageSize(1);
    const int n = static_cast<int>(stepped.size());
    ASSERT_EQ(rs.PageCount(), n);
    for (int page : {n, 1, n / 2 + 1, n / 2, n}) {
      rs.SetAbsolutePage(page);
      EXPECT_EQ(rs.Field(0), stepped[page - 1]) << page;
    }
  }
}

// Pages of a list asked by key (an OR condition keeps its meaning; a deep page read first) hold the
// rows of the statement read whole; a count or page read again sees every committed change: another
// connection's insert, this connection's own delete, and not an insert rolled back.
TEST_P(Engine, KeyedPagesHoldTheRowsReadWholeAndFollowEveryCommittedChange) {
  const std::string t = Table("id integer primary key, name text", 40);
  const Params values{std::int64_t{30}, std::int64_t{5}};
  for (const std::string& sql :
       {"select * from " + t + " where id > ? or id < ? order by id desc",
        "select name, id from " + t + " where id > ? or id < ? order by id"}) {
    std::vector<std::int64_t> whole, paged;
    for (auto all = conn_.Execute(sql, values); !all->Eof(); all->MoveNext())
      whole.push_back(*all->Field("id").ToInteger());
    Recordset rs;
    rs.Open(sql, conn_, values);
    rs.SetPageSize(3);
    rs.SetAbsolutePage(4);
    for (int page = 1; page <= rs.PageCount(); ++page) {
      rs.SetAbsolutePage(page);
      for (int i = 0; i < 3 && !rs.Eof(); ++i, rs.MoveNext())
        paged.push_back(*rs.Field("id").ToInteger());
    }
    EXPECT_EQ(paged, whole) << sql;
  }
  const std::string sql = "select * from " + t + " where id > ? order by id desc";
  const auto pages_and_first = [&] {
    Recordset rs;
    rs.Open(sql, conn_, Params{std::int64_t{0}});
    rs.SetPageSize(1);
    const int pages = rs.PageCount();
    rs.SetAbsolutePage(1);
    return std::pair(pages, *rs.Field("id").ToInteger());
  };
  Connection other(pool_);
  other.Open(cs_);
  EXPECT_EQ(pages_and_first(), std::pair(40, std::int64_t{40}));
  other.Execute("insert into " + t + " values (99, 'r99')");
  EXPECT_EQ(pages_and_first(), std::pair(41, std::int64_t{99}));
  conn_.Execute("delete from " + t + " where id = 99");
  EXPECT_EQ(pages_and_first(), std::pair(40, std::int64_t{40}));
  conn_.BeginTrans();
  conn_.Execute("insert into " + t + " values (98, 'r98')");
  EXPECT_EQ(pages_and_first().first, 41);
  conn_.RollbackTrans();
  EXPECT_EQ(pages_and_first().first, 40);
}

TEST_P(Engine, ValuesKeepTheirKindNullIsNotEmptyAndTimesReadAsText) {
  const std::string t = Table("id integer primary key, name text", 2);
  conn_.Execute("update " + t + " set name = null where id = 1");
  const auto name = conn_.Execute("select name from " + t + " order by id");
  EXPECT_TRUE(name->Field("name").IsNull());
  EXPECT_THROW(name->Field("nam"), DataError);
  EXPECT_THROW(name->Field(1), DataError);
  std::vector<std::pair<std::string, Value>> cases = {
      {"''", Value(std::string())},
      {"0", Value(std::int64_t{0})},
      {"1.5", Value(1.5)},
      {"'text'", Value(std::string("text"))},
      {"count(*) from " + t, Value(std::int64_t{2})}};
  if (OnPostgres()) {
    conn_.Execute("set timezone = 'Asia/Shanghai'");
    cases.insert(
        cases.end(),
        {{"2::int2", Value(std::int64_t{2})},
         {"2.25::float4", Value(2.25)},
         {"12.5::numeric", Value(12.5)},
         {"'NaN'::numeric", Value(std::string("NaN"))},
         {"true", Value(std::int64_t{1})},
         {"false", Value(std::int64_t{0})},
         {"'2024-03-05 07:08:09.75'::timestamp", Value(std::string("2024-03-05 07:08:09"))},
         {"'2023-12-31 23:59:58'::timestamp(0)", Value(std::string("2023-12-31 23:59:58"))},
         {"'2024-03-05 07:08:09.5+08'::timestamptz", Value(std::string("2024-03-05 07:08:09"))},
         {"'2024-03-05'::date", Value(std::string("2024-03-05"))}});
  } else {
    cases.push_back({"x'414243'", Value(std::string("ABC"))});
  }
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(conn_.Execute("select " + expression)->Field(0), expected) << expression;
  }
}

TEST_P(Engine, TransactionsCommitOrLeaveNothingAndNoFailureReachesTheNextBorrower) {
  const std::string t = Table("id integer primary key, name text", 1);
  conn_.BeginTrans();
  EXPECT_TRUE(conn_.Execute("insert into " + t + " values (2, 'a')")->Eof());
  conn_.RollbackTrans();
  conn_.BeginTrans();
  conn_.Execute("insert into " + t + " values (3, 'b')");
  conn_.CommitTrans();
  EXPECT_EQ(Count(t), 2);
  for (const bool fail : {false, true}) {  // closing inside a transaction rolls it back
    conn_.BeginTrans();
    conn_.Execute("insert into " + t + " values (4, 'c')");
    if (fail) {
      EXPECT_THROW(conn_.Execute("insert into " + t + " values (1, 'dup')"), DataError);
    }
    conn_.Close();
    conn_.Open(cs_);
    EXPECT_EQ(Count(t), 2);
  }
  EXPECT_THROW(conn_.CommitTrans(), DataError);
  EXPECT_THROW(conn_.RollbackTrans(), DataError);
  // A statement that writes and returns rows runs once, however its rows are read.
  auto rs = conn_.Execute("insert into " + t + " values (5, 'd'), (6, 'e') returning id");
  rs->SetPageSize(1);
  rs->SetAbsolutePage(2);
  rs->SetAbsolutePage(1);
  EXPECT_EQ(rs->RecordCount(), 2u);
  EXPECT_EQ(Count(t), 4);
}

TEST_P(Engine, EngineErrorsDescribeTheFaultWithoutTheStatement) {
  const std::string t = Table("id integer primary key, name text", 1);
  const std::pair<std::string, const char*> cases[] = {
      {"select nosuchcolumn from " + t + " where id = 1", "nosuchcolumn"},
      {"selec * from " + t, "syntax error"},
      {"select * from nosuchtable" + suffix_ + " where id = 1", "nosuchtable"},
      {"select 1; select 2", ""}};
  for (const auto& [sql, mentions] : cases) {
    std::string what;
    try {
      Recordset rs;
      rs.Open(sql, conn_);
      rs.Eof();
    } catch (const DataError& e) {
      what = e.what();
    }
    EXPECT_TRUE(!what.empty() && what.find(mentions) != what.npos) << sql << ": " << what;
    for (const char* leak : {"where id", "from ", "ERROR", "LINE 1", "\n"})
      EXPECT_EQ(what.find(leak), what.npos) << what;
  }
  // Statements are kept prepared: a table that changed shape shows its new shape.
  const std::string sql = "select * from " + t + " order by id";
  EXPECT_EQ(conn_.Execute(sql)->Field("name").ToText(), "r1");
  conn_.Execute("alter table " + t + " add column extra integer default 7");
  EXPECT_EQ(conn_.Execute(sql)->Field("extra").ToInteger(), 7);
}

TEST_P(Engine, ThePoolHandsBackTheLastReturnedConnectionAndNeverADiscardedOne) {
  conn_.Execute("create temp table mark (x integer)");
  conn_.Close();
  conn_.Open(cs_);
  EXPECT_EQ(conn_.Execute("select count(*) from mark")->Field(0).ToInteger(), 0);  // the same one
  const ConnectionSettings settings = ParseConnectionString(cs_);
  auto native = pool_.Borrow(settings);
  native->Run("create temp table gone (x integer)", {});
  pool_.Return(settings, std::move(native), /*healthy=*/false);
  EXPECT_THROW(pool_.Borrow(settings)->Run("select * from gone", {}), DataError);
}

TEST(Settings, ConnectionStringsServerAddressesAndTheTextAndWholeNumberFormsOfValues) {
  EXPECT_EQ(
      ParseConnectionString(
          "Provider=SQLOLEDB.1;data source=db,6543;USER ID=;Password=p=w rd;Initial Catalog=site"),
      (ConnectionSettings{"db,6543", "", "p=w rd", "site"}));
  EXPECT_EQ(ParseServerAddress("db , 5433").port, 5433);
  EXPECT_EQ(ParseServerAddress("localhost").port, 5432);
  for (const char* bad : {"", ",5432", "db,", "db,0", "db,65536", "db,54x", "db,1,2"}) {
    EXPECT_THROW(ParseServerAddress(bad), DataError) << bad;
  }
  const std::tuple<Value, const char*, std::optional<std::int64_t>> cases[] = {
      {Value(), "", std::nullopt},
      {Value(std::int64_t{-42}), "-42", -42},
      {Value(0.1), "0.1", std::nullopt},
      {Value(15.0), "15", std::nullopt},
      {Value(std::string("9223372036854775807")), "9223372036854775807", INT64_MAX},
      {Value(std::string("9223372036854775808")), "9223372036854775808", std::nullopt}};
  for (const auto& [value, text, integer] : cases) {
    EXPECT_EQ(value.ToText(), text);
    EXPECT_EQ(value.ToInteger(), integer) << text;
  }
  for (const char* bad : {"", "-", "+1", " 1", "1 ", "12a", "1.0"}) {
    EXPECT_EQ(Value(std::string(bad)).ToInteger(), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace data
