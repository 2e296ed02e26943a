// ConnectionPool: native database connections kept open for reuse, one idle list per
// ConnectionSettings. A Connection borrows on Open and returns on Close; a native connection that failed (or
// was left inside a transaction that cannot be rolled back) is discarded, never handed out again.
// Thread-safe. The pool owns idle connections and closes them when it is destroyed; it must
// outlive every Connection that borrows from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/data/connection_settings.h"
#include "platform/data/param.h"

namespace data {

class NativeConnection;  // one engine's open connection (drivers implement it)

class ConnectionPool {
 public:
  // The operator's record of what the database is asked: called with one entry per statement run
  // through the pool's connections, before it runs. An entry is the statement text as it was
  // prepared; when values are bound, a tab and the values follow (see DescribeParams: NULL,
  // decimal numbers, quoted text). Off (empty) by default; `wapsite serve --statement-log FILE`
  // writes one entry a line.
  using StatementLog = std::function<void(std::string_view entry)>;

  // A relative SQLite path in the settings is taken from `base_folder` (the web root).
  explicit ConnectionPool(std::filesystem::path base_folder, std::size_t max_idle_per_key = 16);
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // An open native connection for `settings`: the idle one returned last (after checking that the
  // engine has not closed it meanwhile), or a new one. Throws DataError with the engine's
  // description when a new one cannot be opened.
  std::unique_ptr<NativeConnection> Borrow(const ConnectionSettings& settings);

  // Takes back a connection borrowed for `settings`, which the caller has readied with
  // NativeConnection::ResetForReuse. `healthy` false discards it, as does a full idle list.
  // Never throws.
  void Return(const ConnectionSettings& settings, std::unique_ptr<NativeConnection> conn,
              bool healthy);

  // Closes every idle connection, so that none opened before is handed out again (after the
  // web root's database settings changed). Connections borrowed now are returned as usual.
  // Never throws.
  void CloseIdle() noexcept;

  // What the pool has seen, for the operator's monitoring: connections borrowed and not yet
  // returned; borrows that found no idle connection and waited for a new one to open; statements
  // that failed (counted by Connection). Thread-safe; relaxed counters.
  struct Counts {
    std::size_t in_use = 0;
    std::uint64_t waits = 0;
    std::uint64_t statement_errors = 0;
  };
  Counts Observe() const;
  void CountStatementError();

  // Replaces the statement log (also while statements run; a call in progress finishes first).
  void SetStatementLog(StatementLog log);
  // Logs `sql` and its `params` when a statement log is set. Calls of the log are serialised.
  void LogStatement(std::string_view sql, std::span<const Param> params = {}) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace data
