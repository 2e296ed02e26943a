// The product list's data access, in process: open "select * from wap_product where userid=…
// order by id desc", count it, position on a page of one row and read the product's fields, for a
// member with 10,000 products, at page 1, the middle page and the last page, and for a member with
// six. What a page costs at its middle against its start, without HTTP around it. On SQLite; on
// PostgreSQL when WAPSITE_PG holds a connection string (its tables are dropped and made anew).
//
//   build/rel/bench/paging_bench [--benchmark_filter=…]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"

namespace {

constexpr int kProducts = 10'000;
constexpr const char* kSqlite = "Data Source=sqlite:bench.db;Initial Catalog=bench";

const char* PgConnection() {
  const char* pg = std::getenv("WAPSITE_PG");
  return pg != nullptr && *pg != '\0' ? pg : nullptr;
}
const std::string kConnection = PgConnection() != nullptr ? PgConnection() : kSqlite;

// A database in a temporary folder with the site schema and kProducts products of userid 2,
// removed at exit.
class ProductDatabase {
 public:
  ProductDatabase() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "wapsite-bench.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    std::ofstream(dir_ / "bench.db");  // an empty file is an empty SQLite database
    pool_ = std::make_unique<data::ConnectionPool>(dir_);
    data::Connection c(*pool_);
    c.Open(kConnection);
    const bool pg = PgConnection() != nullptr;
    if (pg) {
      c.ExecuteScript(
          "DROP TABLE IF EXISTS wap_product, wap_lyb, web_member, wap_setting CASCADE;"
          "DROP VIEW IF EXISTS v_wap_contents;"
          "DROP TABLE IF EXISTS wap_contents, wap_classes CASCADE");
    }
    std::ifstream schema(std::filesystem::path(WAPSITE_SOURCE_DIR) / "schema" /
                         (pg ? "postgres.sql" : "sqlite.sql"));
    c.ExecuteScript(std::string(std::istreambuf_iterator<char>(schema), {}));
    c.BeginTrans();
    c.Execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
              std::to_string(kProducts) +
              ") INSERT INTO wap_product (userid, pname, ppic, pcontent, addtime) "
              "SELECT 2, '产品' || i, 'p' || i || '.jpg', '第' || i || "
              "'号产品：明前特级，色绿香郁，味甘形美，每罐二百五十克，产地直供，欢迎选购。', " +
              std::string(pg ? "timestamp " : "") + "'2024-05-01 09:00:00' FROM n");
    c.Execute(
        "INSERT INTO wap_product (userid, pname, ppic, pcontent, addtime) "
        "SELECT 3, pname, ppic, pcontent, addtime FROM wap_product WHERE id <= 6");
    c.CommitTrans();
    if (pg) c.Execute("VACUUM ANALYZE wap_product");  // as autovacuum leaves a settled table
  }
  ~ProductDatabase() {
    pool_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  data::ConnectionPool& Pool() { return *pool_; }

 private:
  std::filesystem::path dir_;
  std::unique_ptr<data::ConnectionPool> pool_;
};

ProductDatabase& Database() {
  static ProductDatabase db;
  return db;
}

// One request's worth: borrow a connection, run the list, count, position, read, close. Member 2
// has kProducts products, member 3 six.
void ProductListPage(benchmark::State& state) {
  const int page = static_cast<int>(state.range(0));
  const std::int64_t userid = state.range(1);
  const int products = userid == 2 ? kProducts : 6;
  data::ConnectionPool& pool = Database().Pool();
  std::size_t bytes = 0;
  for (auto _ : state) {
    data::Connection c(pool);
    c.Open(kConnection);
    data::Recordset rs;
    const data::Params params{userid};
    rs.Open("select * from wap_product where userid=? order by id desc", c, params);
    rs.SetPageSize(1);
    if (rs.PageCount() != products) state.SkipWithError("wrong page count");
    rs.SetAbsolutePage(page);
    bytes += rs.Field("pname").ToText().size() + rs.Field("ppic").ToText().size() +
             rs.Field("pcontent").ToText().size();
    rs.Close();
    c.Close();
  }
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(ProductListPage)
    ->Args({1, 3})
    ->Args({1, 2})
    ->Args({kProducts / 2, 2})
    ->Args({kProducts, 2})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
