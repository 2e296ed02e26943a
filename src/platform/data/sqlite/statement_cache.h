// StatementCache: the prepared statements of one SQLite connection that are idle, kept for reuse
// and keyed by their SQL text, so that a page that runs the same statement again does not parse
// and plan it again. The least recently used statement is finalized when the cache is full.
//
// A statement is either in the cache (idle, reset) or taken out by the one result that runs it;
// two results of the same text at once use two statements. Belongs to its connection and shares
// its rule: one thread at a time. Must be destroyed before the connection's handle is closed.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace data {

struct FinalizeSqliteStmt {
  void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using SqliteStmtPtr = std::unique_ptr<sqlite3_stmt, FinalizeSqliteStmt>;

class StatementCache {
 public:
  explicit StatementCache(std::size_t capacity) : capacity_(capacity) {}
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // Takes the idle statement prepared from `sql` out of the cache; null when there is none.
  SqliteStmtPtr Take(std::string_view sql);

  // Resets `stmt` (its bindings and its sort counter too) and keeps it for reuse under `sql`;
  // finalizes it instead when an idle statement of that text is already kept. Never throws (a
  // statement that cannot be kept is finalized).
  void Give(std::string_view sql, SqliteStmtPtr stmt) noexcept;

  // Finalizes every idle statement.
  void Clear() noexcept;

  std::size_t Size() const { return index_.size(); }

 private:
  struct Entry {
    std::string sql;
    SqliteStmtPtr stmt;
  };
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>{}(s);
    }
  };

  std::size_t capacity_;
  std::list<Entry> entries_;  // most recently given first
  // Keys view the `sql` of their entry, which a list node keeps in place.
  std::unordered_map<std::string_view, std::list<Entry>::iterator, Hash> index_;
};

}  // namespace data
