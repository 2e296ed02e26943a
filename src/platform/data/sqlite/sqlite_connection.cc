#include "platform/data/sqlite/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "platform/data/data_error.h"
#include "platform/data/kept_answers.h"
#include "platform/data/sqlite/statement_cache.h"

namespace data {
namespace {

constexpr int kBusyTimeoutMs = 5000;
// Idle prepared statements kept per connection.
constexpr std::size_t kStatementCacheSize = 64;
// Integers of kept answers per connection (counts and lists of keys): at most 512 KiB.
constexpr std::size_t kKeptIntegers = 64 * 1024;
constexpr std::string_view kDataVersion = "PRAGMA data_version";

struct CloseDb {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using DbPtr = std::unique_ptr<sqlite3, CloseDb>;

using StmtPtr = SqliteStmtPtr;

// Settings of the library itself, made once before the first connection opens. The count of
// memory in use is not needed, and keeping it takes one process-wide mutex on every allocation.
void ConfigureLibrary() {
  static const int done = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  static_cast<void>(done);  // SQLITE_MISUSE when the library was already initialized: harmless
}

// Result codes after which the handle may not be trusted for another request.
bool LeavesConnectionUnusable(int rc) {
  switch (rc & 0xff) {
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_NOMEM:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
    case SQLITE_MISUSE:
      return true;
    default:
      return false;
  }
}

// The values of the current row of `stmt` into `values` (one per column).
void ReadRow(sqlite3_stmt* s, std::vector<Value>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int col = static_cast<int>(i);
    switch (sqlite3_column_type(s, col)) {
      case SQLITE_INTEGER:
        values[i] = Value(static_cast<std::int64_t>(sqlite3_column_int64(s, col)));
        break;
      case SQLITE_FLOAT:
        values[i] = Value(sqlite3_column_double(s, col));
        break;
      case SQLITE_NULL:
        values[i] = Value();
        break;
      case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, col));
        values[i] = Value(std::string(bytes != nullptr ? bytes : "",
                                      static_cast<std::size_t>(sqlite3_column_bytes(s, col))));
        break;
      }
      default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
        values[i] = Value(std::string(text != nullptr ? text : "",
                                      static_cast<std::size_t>(sqlite3_column_bytes(s, col))));
        break;
      }
    }
  }
}

// Binds `params` to the placeholders of `stmt`, in order, from 1. Returns the SQLite result code
// of the first failure, or SQLITE_RANGE when the counts differ.
int Bind(sqlite3_stmt* stmt, std::span<const Param> params) {
  if (sqlite3_bind_parameter_count(stmt) != static_cast<int>(params.size())) return SQLITE_RANGE;
  for (std::size_t i = 0; i < params.size(); ++i) {
    const int at = static_cast<int>(i) + 1;
    const Param& p = params[i];
    int rc = SQLITE_OK;
    if (const auto* n = std::get_if<std::int64_t>(&p)) {
      rc = sqlite3_bind_int64(stmt, at, static_cast<sqlite3_int64>(*n));
    } else if (const auto* text = std::get_if<std::string>(&p)) {
      rc = sqlite3_bind_text64(stmt, at, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else {
      rc = sqlite3_bind_null(stmt, at);
    }
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

// The description of a failed Bind.
std::string BindFailure(sqlite3_stmt* stmt, std::size_t given, int rc) {
  if (rc != SQLITE_RANGE) return sqlite3_errstr(rc);
  return "the statement has " + std::to_string(sqlite3_bind_parameter_count(stmt)) +
         " parameters, but " + std::to_string(given) + " values were given";
}

class SqliteRows;

class SqliteConnection final : public NativeConnection {
 public:
  explicit SqliteConnection(DbPtr db) : db_(std::move(db)) {}
  ~SqliteConnection() override { DetachAll(); }

  std::unique_ptr<ResultRows> Run(std::string_view sql, std::span<const Param> params) override;
  void RunScript(std::string_view script) override;
  // Answers are kept only outside a transaction (whose rows may include its own writes, which a
  // rollback takes back) and dropped as soon as the database may have changed: a commit by another
  // connection changes "PRAGMA data_version", and every statement that may write, run here, drops
  // them before it runs.
  bool KeepsAnswers() const override { return true; }
  std::shared_ptr<const std::vector<std::int64_t>> KeptIntegers(
      std::string_view sql, std::span<const Param> params) override;
  std::string_view BeginStatement() const override {
    // Takes the write lock at once: a deferred transaction that reads and then writes cannot wait
    // for another writer and would fail with "database is locked".
    return "BEGIN IMMEDIATE";
  }
  bool ResetForReuse() noexcept override;
  // False also when the database file has been removed or replaced since the connection opened:
  // it would go on reading (and writing) the file that is no longer there.
  bool StillUsable() noexcept override {
    int moved = 0;
    return !failed_ &&
           sqlite3_file_control(db_.get(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved == 0;
  }

  // For SqliteRows: records a failure and returns the DataError to throw.
  DataError Failure(int rc) {
    if (LeavesConnectionUnusable(rc)) failed_ = true;
    return DataError(sqlite3_errmsg(db_.get()));
  }
  void Register(SqliteRows* rows) { open_rows_.push_back(rows); }
  void Unregister(SqliteRows* rows) { std::erase(open_rows_, rows); }

  // Takes back a statement that Run or Acquire handed out, for reuse under `sql`.
  void Release(std::string_view sql, StmtPtr stmt) noexcept { cache_.Give(sql, std::move(stmt)); }
  // A statement of `sql` that no result is using: the cached one or a new one. Throws DataError.
  StmtPtr Acquire(std::string_view sql);

 private:
  void DetachAll() noexcept;
  // Prepares the one statement of `sql`; null for blanks and comments only. Throws DataError,
  // also when `sql` holds a second statement.
  StmtPtr Prepare(std::string_view sql);
  // The rows of a statement that writes (INSERT … RETURNING), read to the end at once.
  std::unique_ptr<ResultRows> ReadAll(std::string_view sql, StmtPtr stmt, bool has_row);

  // The database's version as this connection sees it: "PRAGMA data_version" (changed by other
  // connections' commits) and the changes made through this connection. Throws DataError.
  std::pair<std::int64_t, std::int64_t> DataVersion();

  DbPtr db_;
  StatementCache cache_{kStatementCacheSize};  // declared after db_: finalized before it closes
  KeptAnswers answers_{kKeptIntegers};
  std::pair<std::int64_t, std::int64_t> answers_version_{-1, -1};  // what answers_ hold true for
  bool failed_ = false;
  std::vector<SqliteRows*> open_rows_;
};

// The rows of a read-only statement, read lazily: moving forward steps the statement, a move back
// runs it again from its start. Counting steps a second statement of the same text to its end
// without reading a column. Paging does not come here: the recordset asks the database for the
// count and for the rows of one page.
class SqliteRows final : public ResultRows {
 public:
  // `stmt`, prepared from `sql` with `params` bound, has been stepped once; `has_row` is whether
  // that step gave a row.
  SqliteRows(SqliteConnection& conn, std::string sql, std::span<const Param> params, StmtPtr stmt,
             bool has_row)
      : conn_(&conn),
        sql_(std::move(sql)),
        params_(params.begin(), params.end()),
        main_(std::move(stmt)),
        stepped_(has_row ? 1 : 0),
        done_(!has_row) {
    const int n = sqlite3_column_count(main_.get());
    names_.reserve(n);
    for (int i = 0; i < n; ++i) {
      const char* name = sqlite3_column_name(main_.get(), i);
      names_.emplace_back(name != nullptr ? name : "");
    }
    values_.resize(names_.size());
    if (done_) count_ = 0;
    conn_->Register(this);
  }
  ~SqliteRows() override {
    if (conn_ != nullptr) {
      conn_->Unregister(this);
      ReturnStatement();
    }
  }
  SqliteRows(const SqliteRows&) = delete;
  SqliteRows& operator=(const SqliteRows&) = delete;

  std::size_t ColumnCount() const override { return names_.size(); }
  const std::string& ColumnName(std::size_t column) const override { return names_.at(column); }

  std::size_t RowCount() override {
    if (!count_) count_ = CountWithCopy();
    return *count_;
  }

  bool MoveTo(std::size_t row) override {
    RequireAttached();
    if (count_ && row >= *count_) return false;
    if (!done_ && stepped_ > 0 && row + 1 == stepped_) return true;
    if (done_ && row >= stepped_) return false;  // the statement ended before `row`
    if (done_ || row + 1 < stepped_) Restart();  // finished, or `row` is behind: start again
    while (stepped_ < row + 1) {
      if (!Step()) return false;
    }
    return true;
  }

  const Value& Get(std::size_t column) override {
    RequireAttached();
    if (!loaded_) {
      ReadRow(main_.get(), values_);
      loaded_ = true;
    }
    return values_.at(column);
  }

  // Called by the connection when it closes or is readied for reuse.
  void Detach() noexcept {
    ReturnStatement();
    conn_ = nullptr;
  }

 private:
  void RequireAttached() const {
    if (main_ == nullptr) throw DataError("the recordset's connection has been closed");
  }

  void ReturnStatement() noexcept { conn_->Release(sql_, std::move(main_)); }

  // Makes the statement start again, before its first row (its bindings stay).
  void Restart() {
    sqlite3_reset(main_.get());  // its result repeats a step error already reported
    stepped_ = 0;
    done_ = false;
    loaded_ = false;
  }

  bool Step() {
    loaded_ = false;
    const int rc = sqlite3_step(main_.get());
    if (rc == SQLITE_ROW) {
      ++stepped_;
      return true;
    }
    if (rc == SQLITE_DONE) {
      done_ = true;
      count_ = stepped_;
      return false;
    }
    throw conn_->Failure(rc);
  }

  // Steps a second statement of the same text to its end without reading a column.
  std::size_t CountWithCopy() {
    RequireAttached();
    StmtPtr copy = conn_->Acquire(sql_);
    if (const int rc = Bind(copy.get(), params_); rc != SQLITE_OK) {
      conn_->Release(sql_, std::move(copy));
      throw DataError(sqlite3_errstr(rc));
    }
    std::size_t n = 0;
    for (;;) {
      const int rc = sqlite3_step(copy.get());
      if (rc == SQLITE_ROW) {
        ++n;
      } else if (rc == SQLITE_DONE) {
        conn_->Release(sql_, std::move(copy));
        return n;
      } else {
        DataError error = conn_->Failure(rc);
        conn_->Release(sql_, std::move(copy));
        throw error;
      }
    }
  }

  SqliteConnection* conn_;
  std::string sql_;      // the text the statement was run with (its key in the cache)
  Params params_;        // the values bound to it
  StmtPtr main_;         // the statement; null once detached
  std::size_t stepped_;  // rows stepped since it last started; the current row is stepped_ - 1
  bool done_;            // the statement has run to its end
  std::vector<std::string> names_;
  std::vector<Value> values_;
  bool loaded_ = false;
  std::optional<std::size_t> count_;
};

void SqliteConnection::DetachAll() noexcept {
  for (SqliteRows* rows : open_rows_) rows->Detach();
  open_rows_.clear();
}

StmtPtr SqliteConnection::Prepare(std::string_view sql) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v3(db_.get(), sql.data(), static_cast<int>(sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &raw, &tail);
  StmtPtr stmt(raw);
  if (rc != SQLITE_OK) throw Failure(rc);
  // Whatever follows the first statement must be blanks or comments: a second statement would
  // otherwise be silently skipped.
  const char* end = sql.data() + sql.size();
  if (stmt != nullptr && tail != nullptr && tail < end) {
    sqlite3_stmt* next = nullptr;
    const int trc =
        sqlite3_prepare_v2(db_.get(), tail, static_cast<int>(end - tail), &next, nullptr);
    StmtPtr rest(next);
    if (trc != SQLITE_OK || rest != nullptr) {
      throw DataError("only one statement may be run at a time");
    }
  }
  return stmt;
}

StmtPtr SqliteConnection::Acquire(std::string_view sql) {
  StmtPtr stmt = cache_.Take(sql);
  return stmt != nullptr ? std::move(stmt) : Prepare(sql);
}

std::unique_ptr<ResultRows> SqliteConnection::Run(std::string_view sql,
                                                  std::span<const Param> params) {
  StmtPtr stmt = Acquire(sql);
  if (stmt == nullptr) {  // blanks or comments only
    if (!params.empty()) throw DataError("the statement has 0 parameters, but values were given");
    return MakeEmptyRows();
  }
  if (sqlite3_stmt_readonly(stmt.get()) == 0) answers_.Clear();
  if (const int brc = Bind(stmt.get(), params); brc != SQLITE_OK) {
    DataError error(BindFailure(stmt.get(), params.size(), brc));
    cache_.Give(sql, std::move(stmt));
    throw error;
  }
  const int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    DataError error = Failure(rc);
    cache_.Give(sql, std::move(stmt));
    throw error;
  }
  if (sqlite3_column_count(stmt.get()) == 0) {
    cache_.Give(sql, std::move(stmt));
    return MakeEmptyRows();
  }
  if (sqlite3_stmt_readonly(stmt.get()) == 0)
    return ReadAll(sql, std::move(stmt), rc == SQLITE_ROW);
  return std::make_unique<SqliteRows>(*this, std::string(sql), params, std::move(stmt),
                                      rc == SQLITE_ROW);
}

std::unique_ptr<ResultRows> SqliteConnection::ReadAll(std::string_view sql, StmtPtr stmt,
                                                      bool has_row) {
  // Lazy rows re-run their statement to count or to move back, which must never repeat a write.
  const int n = sqlite3_column_count(stmt.get());
  std::vector<std::string> names;
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt.get(), i);
    names.emplace_back(name != nullptr ? name : "");
  }
  std::vector<std::vector<Value>> rows;
  for (bool row = has_row; row;) {
    auto& values = rows.emplace_back(names.size());
    ReadRow(stmt.get(), values);
    const int rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      DataError error = Failure(rc);
      cache_.Give(sql, std::move(stmt));
      throw error;
    }
    row = rc == SQLITE_ROW;
  }
  cache_.Give(sql, std::move(stmt));
  return MakeMaterializedRows(std::move(names), std::move(rows));
}

std::pair<std::int64_t, std::int64_t> SqliteConnection::DataVersion() {
  StmtPtr stmt = Acquire(kDataVersion);
  const int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_ROW) {
    DataError error = Failure(rc);
    Release(kDataVersion, std::move(stmt));
    throw error;
  }
  const std::int64_t version = sqlite3_column_int64(stmt.get(), 0);
  Release(kDataVersion, std::move(stmt));
  return {version, sqlite3_total_changes64(db_.get())};
}

std::shared_ptr<const std::vector<std::int64_t>> SqliteConnection::KeptIntegers(
    std::string_view sql, std::span<const Param> params) {
  const bool keep = sqlite3_get_autocommit(db_.get()) != 0;
  if (keep) {
    // Read before the statement runs: a commit in between makes the answer newer than the
    // version it is kept under, so the next request only counts again.
    const auto version = DataVersion();
    if (version != answers_version_) {
      answers_.Clear();
      answers_version_ = version;
    }
    if (auto found = answers_.Find(sql, params)) return found;
  }
  auto answer =
      std::make_shared<const std::vector<std::int64_t>>(FirstColumnIntegers(*Run(sql, params)));
  if (keep && sqlite3_get_autocommit(db_.get()) != 0) answers_.Keep(sql, params, answer);
  return answer;
}

void SqliteConnection::RunScript(std::string_view script) {
  answers_.Clear();
  const std::string text(script);
  char* message = nullptr;
  const int rc = sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string description = message != nullptr ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    if (LeavesConnectionUnusable(rc)) failed_ = true;
    throw DataError(description);
  }
}

bool SqliteConnection::ResetForReuse() noexcept {
  DetachAll();
  if (failed_) return false;
  if (sqlite3_get_autocommit(db_.get()) == 0) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  return sqlite3_get_autocommit(db_.get()) != 0;
}

}  // namespace

std::unique_ptr<NativeConnection> OpenSqliteConnection(const std::filesystem::path& path,
                                                       const std::filesystem::path& base_folder) {
  const std::filesystem::path full = path.is_absolute() ? path : base_folder / path;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(full, ec)) {
    throw DataError("unable to open database file \"" + path.string() + "\": no such file");
  }
  ConfigureLibrary();
  sqlite3* raw = nullptr;
  // No mutex of SQLite's own: a connection is used by one thread at a time (the pool's rule).
  const int rc =
      sqlite3_open_v2(full.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  DbPtr db(raw);
  if (rc != SQLITE_OK) {
    throw DataError(db != nullptr ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc));
  }
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  // The write-ahead log is checkpointed every 1000 pages and cut back to 4 MiB after each
  // checkpoint, so that a flood of writes cannot grow it without bound.
  const int prc = sqlite3_exec(db.get(),
                               "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                               "PRAGMA foreign_keys=ON; PRAGMA wal_autocheckpoint=1000; "
                               "PRAGMA journal_size_limit=4194304",
                               nullptr, nullptr, nullptr);
  if (prc != SQLITE_OK) throw DataError(sqlite3_errmsg(db.get()));
  return std::make_unique<SqliteConnection>(std::move(db));
}

}  // namespace data
