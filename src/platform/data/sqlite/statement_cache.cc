#include "platform/data/sqlite/statement_cache.h"

#include <new>
#include <utility>

namespace data {

SqliteStmtPtr StatementCache::Take(std::string_view sql) {
  const auto found = index_.find(sql);
  if (found == index_.end()) return nullptr;
  const auto entry = found->second;
  index_.erase(found);
  SqliteStmtPtr stmt = std::move(entry->stmt);
  entries_.erase(entry);
  return stmt;
}

void StatementCache::Give(std::string_view sql, SqliteStmtPtr stmt) noexcept {
  if (stmt == nullptr) return;
  sqlite3_reset(stmt.get());  // its result repeats an error the caller has already seen
  sqlite3_clear_bindings(stmt.get());
  sqlite3_stmt_status(stmt.get(), SQLITE_STMTSTATUS_SORT, 1);      // counts from its next run
  if (capacity_ == 0 || index_.find(sql) != index_.end()) return;  // `stmt` is finalized
  try {
    entries_.push_front(Entry{std::string(sql), std::move(stmt)});
    try {
      index_.emplace(entries_.front().sql, entries_.begin());
    } catch (const std::bad_alloc&) {
      entries_.pop_front();
      return;
    }
  } catch (const std::bad_alloc&) {
    return;  // not kept: only costs a prepare the next time
  }
  if (index_.size() > capacity_) {
    index_.erase(entries_.back().sql);
    entries_.pop_back();
  }
}

void StatementCache::Clear() noexcept {
  index_.clear();
  entries_.clear();
}

}  // namespace data
