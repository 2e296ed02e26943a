// Connection: one request's database connection. Created closed; Open borrows a native connection
// from the pool for its settings (see connection_settings.h for the engines; an SQLite file must
// exist), Close (or destruction) returns it. Not thread-safe; one request uses it on one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/connection_settings.h"
#include "platform/data/param.h"

namespace data {

class ConnectionPool;
class NativeConnection;
class Recordset;
class ResultRows;

class Connection {
 public:
  explicit Connection(ConnectionPool& pool);
  ~Connection();  // Close()
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens the connection. Throws DataError with a description (the engine's own text, or a clear
  // sentence for settings that name no engine). Throws DataError if already open.
  void Open(const ConnectionSettings& settings);
  // Opens the connection for the settings of `connection_string` (see connection_string.h).
  void Open(std::string_view connection_string);
  bool IsOpen() const { return native_ != nullptr; }
  // Closes the connection and returns the native connection to the pool; an open transaction is
  // rolled back first. Does nothing when closed. Never throws.
  void Close() noexcept;

  // Runs `sql` with `params` bound to its "?" placeholders, in order (their count must match).
  // For a statement that returns rows the result is an open Recordset on its first row (EOF when
  // none); for any other statement an open, empty Recordset. Throws DataError; a text of more than
  // one statement is refused. Requires: IsOpen().
  std::unique_ptr<Recordset> Execute(std::string_view sql, std::span<const Param> params = {});

  // Runs every statement of `script` in order (a schema or data file), discarding their rows.
  // Throws DataError at the first failure; the statements before it stay done unless a
  // transaction is rolled back. Requires: IsOpen().
  void ExecuteScript(std::string_view script);

  // Transactions. BeginTrans starts one; CommitTrans and RollbackTrans end it. Throws DataError
  // on failure, or when there is no transaction to end. Requires: IsOpen().
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  bool InTransaction() const { return in_transaction_; }

  // The driver connection, for Recordset. Requires: IsOpen().
  NativeConnection& Native();

 private:
  // Marks the native connection as unfit for reuse (after an engine failure that may leave it
  // unusable).
  friend class Recordset;
  void MarkBroken() { broken_ = true; }
  // Logs `sql` and `params` in the pool's statement log and runs them on the driver. Throws
  // DataError, also when the connection is closed.
  std::unique_ptr<ResultRows> Run(std::string_view sql, std::span<const Param> params = {});
  // Logs `sql` and `params` and asks the driver for its kept answer (NativeConnection::
  // KeptIntegers); null, without logging, when the driver keeps no answers.
  std::shared_ptr<const std::vector<std::int64_t>> KeptIntegers(std::string_view sql,
                                                                std::span<const Param> params);

  ConnectionPool& pool_;
  ConnectionSettings settings_;
  std::unique_ptr<NativeConnection> native_;
  bool in_transaction_ = false;
  bool broken_ = false;
};

}  // namespace data
