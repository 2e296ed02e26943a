#include "platform/data/sqlite/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/data/data_error.h"

namespace data {
namespace {

constexpr int kBusyTimeoutMs = 5000;

struct CloseDb {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using DbPtr = std::unique_ptr<sqlite3, CloseDb>;

struct FinalizeStmt {
  void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

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

class SqliteRows;

class SqliteConnection final : public NativeConnection {
 public:
  explicit SqliteConnection(DbPtr db) : db_(std::move(db)) {}
  ~SqliteConnection() override { DetachAll(); }

  std::unique_ptr<ResultRows> Run(std::string_view sql) override;
  void RunScript(std::string_view script) override;
  std::string_view BeginStatement() const override {
    // Takes the write lock at once: a deferred transaction that reads and then writes cannot wait
    // for another writer and would fail with "database is locked".
    return "BEGIN IMMEDIATE";
  }
  bool ResetForReuse() noexcept override;
  bool StillUsable() noexcept override { return !failed_; }

  // For SqliteRows: records a failure and returns the DataError to throw.
  DataError Failure(int rc) {
    if (LeavesConnectionUnusable(rc)) failed_ = true;
    return DataError(sqlite3_errmsg(db_.get()));
  }
  sqlite3* Db() const { return db_.get(); }
  void Register(SqliteRows* rows) { open_rows_.push_back(rows); }
  void Unregister(SqliteRows* rows) { std::erase(open_rows_, rows); }

 private:
  void DetachAll() noexcept;
  StmtPtr Prepare(std::string_view sql);
  // The rows of a statement that writes (INSERT … RETURNING), read to the end at once.
  std::unique_ptr<ResultRows> ReadAll(StmtPtr stmt, bool has_row);

  DbPtr db_;
  bool failed_ = false;
  std::vector<SqliteRows*> open_rows_;
};

class SqliteRows final : public ResultRows {
 public:
  // `stmt` has been stepped once; `has_row` is whether that step gave a row.
  SqliteRows(SqliteConnection& conn, StmtPtr stmt, bool has_row)
      : conn_(&conn), stmt_(std::move(stmt)), stepped_(has_row ? 1 : 0), done_(!has_row) {
    const int n = sqlite3_column_count(stmt_.get());
    names_.reserve(n);
    for (int i = 0; i < n; ++i) {
      const char* name = sqlite3_column_name(stmt_.get(), i);
      names_.emplace_back(name != nullptr ? name : "");
    }
    values_.resize(names_.size());
    if (done_) count_ = 0;
    conn_->Register(this);
  }
  ~SqliteRows() override {
    if (conn_ != nullptr) conn_->Unregister(this);
  }
  SqliteRows(const SqliteRows&) = delete;
  SqliteRows& operator=(const SqliteRows&) = delete;

  std::size_t ColumnCount() const override { return names_.size(); }
  const std::string& ColumnName(std::size_t column) const override { return names_.at(column); }

  std::size_t RowCount() override {
    if (!count_) count_ = done_ ? stepped_ : CountWithCopy();
    return *count_;
  }

  bool MoveTo(std::size_t row) override {
    RequireAttached();
    if (!done_ && stepped_ == row + 1) return true;
    if (done_ && row >= stepped_) return false;
    if (row + 1 < stepped_ || done_) {
      sqlite3_reset(stmt_.get());  // its result repeats a step error already reported
      stepped_ = 0;
      done_ = false;
    }
    while (stepped_ < row + 1) {
      if (!Step()) return false;
    }
    return true;
  }

  const Value& Get(std::size_t column) override {
    RequireAttached();
    if (!loaded_) Load();
    return values_.at(column);
  }

  // Called by the connection when it closes or is readied for reuse.
  void Detach() noexcept {
    stmt_.reset();
    conn_ = nullptr;
  }

 private:
  void RequireAttached() const {
    if (stmt_ == nullptr) throw DataError("the recordset's connection has been closed");
  }

  bool Step() {
    loaded_ = false;
    const int rc = sqlite3_step(stmt_.get());
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

  // Steps a fresh copy of the statement to its end without reading a column. While this
  // statement is still active the copy reads the same snapshot of the database.
  std::size_t CountWithCopy() {
    RequireAttached();
    sqlite3_stmt* raw = nullptr;
    const int prc = sqlite3_prepare_v2(conn_->Db(), sqlite3_sql(stmt_.get()), -1, &raw, nullptr);
    StmtPtr copy(raw);
    if (prc != SQLITE_OK) throw conn_->Failure(prc);
    std::size_t n = 0;
    for (;;) {
      const int rc = sqlite3_step(copy.get());
      if (rc == SQLITE_ROW) {
        ++n;
      } else if (rc == SQLITE_DONE) {
        return n;
      } else {
        throw conn_->Failure(rc);
      }
    }
  }

  void Load() {
    sqlite3_stmt* s = stmt_.get();
    for (std::size_t i = 0; i < values_.size(); ++i) {
      const int col = static_cast<int>(i);
      switch (sqlite3_column_type(s, col)) {
        case SQLITE_INTEGER:
          values_[i] = Value(static_cast<std::int64_t>(sqlite3_column_int64(s, col)));
          break;
        case SQLITE_FLOAT:
          values_[i] = Value(sqlite3_column_double(s, col));
          break;
        case SQLITE_NULL:
          values_[i] = Value();
          break;
        case SQLITE_BLOB: {
          const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, col));
          values_[i] = Value(std::string(bytes != nullptr ? bytes : "",
                                         static_cast<std::size_t>(sqlite3_column_bytes(s, col))));
          break;
        }
        default: {
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
          values_[i] = Value(std::string(text != nullptr ? text : "",
                                         static_cast<std::size_t>(sqlite3_column_bytes(s, col))));
          break;
        }
      }
    }
    loaded_ = true;
  }

  SqliteConnection* conn_;
  StmtPtr stmt_;
  std::vector<std::string> names_;
  std::vector<Value> values_;
  bool loaded_ = false;
  std::size_t stepped_;  // rows stepped since the statement last started
  bool done_;            // the statement has run to its end
  std::optional<std::size_t> count_;
};

void SqliteConnection::DetachAll() noexcept {
  for (SqliteRows* rows : open_rows_) rows->Detach();
  open_rows_.clear();
}

StmtPtr SqliteConnection::Prepare(std::string_view sql) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc =
      sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &raw, &tail);
  StmtPtr stmt(raw);
  if (rc != SQLITE_OK) throw Failure(rc);
  // Whatever follows the first statement must be blanks or comments: a second statement would
  // otherwise be silently skipped.
  const char* end = sql.data() + sql.size();
  if (stmt != nullptr && tail != nullptr && tail < end) {
    sqlite3_stmt* next = nullptr;
    const int trc = sqlite3_prepare_v2(db_.get(), tail, static_cast<int>(end - tail), &next, nullptr);
    StmtPtr rest(next);
    if (trc != SQLITE_OK || rest != nullptr) {
      throw DataError("only one statement may be run at a time");
    }
  }
  return stmt;
}

std::unique_ptr<ResultRows> SqliteConnection::Run(std::string_view sql) {
  StmtPtr stmt = Prepare(sql);
  if (stmt == nullptr) return MakeEmptyRows();  // blanks or comments only
  const int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw Failure(rc);
  if (sqlite3_column_count(stmt.get()) == 0) return MakeEmptyRows();
  if (sqlite3_stmt_readonly(stmt.get()) == 0) return ReadAll(std::move(stmt), rc == SQLITE_ROW);
  return std::make_unique<SqliteRows>(*this, std::move(stmt), rc == SQLITE_ROW);
}

std::unique_ptr<ResultRows> SqliteConnection::ReadAll(StmtPtr stmt, bool has_row) {
  // Lazy rows re-run their statement to count or to move back, which must never repeat a write.
  SqliteRows lazy(*this, std::move(stmt), has_row);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < lazy.ColumnCount(); ++i) names.push_back(lazy.ColumnName(i));
  std::vector<std::vector<Value>> rows;
  for (std::size_t row = 0; lazy.MoveTo(row); ++row) {
    auto& values = rows.emplace_back();
    for (std::size_t i = 0; i < names.size(); ++i) values.push_back(lazy.Get(i));
  }
  return MakeMaterializedRows(std::move(names), std::move(rows));
}

void SqliteConnection::RunScript(std::string_view script) {
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
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(full.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  DbPtr db(raw);
  if (rc != SQLITE_OK) {
    throw DataError(db != nullptr ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc));
  }
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  const int prc = sqlite3_exec(db.get(),
                               "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                               "PRAGMA foreign_keys=ON",
                               nullptr, nullptr, nullptr);
  if (prc != SQLITE_OK) throw DataError(sqlite3_errmsg(db.get()));
  return std::make_unique<SqliteConnection>(std::move(db));
}

}  // namespace data
