// The driver interface: what an engine (SQLite, PostgreSQL) offers the data layer. Connection and
// Recordset are written against it; each driver implements it in its own folder and is the only
// code that includes the engine's client header.
//
// A NativeConnection is used by one thread at a time (the pool hands it to one Connection); its
// ResultRows are used on that same thread. Not thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/connection_settings.h"
#include "platform/data/param.h"
#include "platform/data/value.h"

namespace data {

// The rows of one query, as a driver produces them. Rows are counted from 0. A driver may read
// lazily: RowCount and MoveTo may run the query further (or again), so both may throw DataError
// with the engine's description.
class ResultRows {
 public:
  virtual ~ResultRows() = default;

  virtual std::size_t ColumnCount() const = 0;
  // The name of `column` as the engine reports it. Requires: column < ColumnCount().
  virtual const std::string& ColumnName(std::size_t column) const = 0;

  // The number of rows.
  virtual std::size_t RowCount() = 0;
  // Makes row `row` the current row and returns true, or returns false when there is no such row
  // (the current row is then undefined).
  virtual bool MoveTo(std::size_t row) = 0;
  // The value of `column` in the current row. The reference stays valid until the next MoveTo.
  // Requires: the last MoveTo returned true, column < ColumnCount().
  virtual const Value& Get(std::size_t column) = 0;
};

// Rows of a statement that returns none (an insert, an update, a DDL statement).
std::unique_ptr<ResultRows> MakeEmptyRows();

// The first column of every row of `rows`, as integers (0 where a value is not one). Throws
// DataError when there is no column. For the engines' KeptIntegers.
std::vector<std::int64_t> FirstColumnIntegers(ResultRows& rows);

// Rows already read in full: `rows` holds one vector of ColumnCount values per row.
std::unique_ptr<ResultRows> MakeMaterializedRows(std::vector<std::string> names,
                                                 std::vector<std::vector<Value>> rows);

// One open connection of an engine.
class NativeConnection {
 public:
  virtual ~NativeConnection() = default;

  // Runs one statement with `params` bound to its "?" placeholders in order, and returns its rows
  // (empty rows for a statement that returns none). Throws DataError with the engine's
  // description, never with the statement text; also when the number of values differs from the
  // number of placeholders. A text holding more than one statement is refused.
  virtual std::unique_ptr<ResultRows> Run(std::string_view sql, std::span<const Param> params) = 0;
  // Runs every statement of `script` in order, discarding rows (schema and data files). Throws
  // DataError at the first failure; earlier statements stay done.
  virtual void RunScript(std::string_view script) = 0;

  // Whether KeptIntegers answers on this engine.
  virtual bool KeepsAnswers() const { return false; }
  // The first column of every row of `sql`, a read-only statement, as integers (a NULL or a
  // non-integer reads as 0): from an earlier run of the same text with the same values, or run now
  // and kept. An answer is kept only while no change has been committed to the database since (by
  // any connection). Throws DataError. Requires: KeepsAnswers().
  virtual std::shared_ptr<const std::vector<std::int64_t>> KeptIntegers(
      std::string_view /*sql*/, std::span<const Param> /*params*/) {
    return nullptr;
  }

  // Whether AwaitNotifications answers on this engine (PostgreSQL's LISTEN/NOTIFY).
  virtual bool Notifies() const { return false; }
  // Waits up to `timeout` for notifications on the channels this connection listens to (a
  // "LISTEN channel" run with RunScript) and returns their payloads in the order sent; empty when
  // none came. Throws DataError when the connection is lost. Requires: Notifies().
  virtual std::vector<std::string> AwaitNotifications(std::chrono::milliseconds /*timeout*/) {
    return {};
  }

  // The statement that starts a transaction on this engine.
  virtual std::string_view BeginStatement() const { return "BEGIN"; }

  // Readies the connection for its next borrower: ends every result of it that is still open
  // (they then fail when read) and rolls back a transaction left open. Returns false when the
  // connection failed or cannot be brought back to a clean state; it must then be discarded.
  virtual bool ResetForReuse() noexcept = 0;
  // A cheap check, before an idle connection is handed out again, that the engine has not closed
  // it meanwhile. False means discard it.
  virtual bool StillUsable() noexcept = 0;
};

// Opens a new native connection for `settings` (see connection_settings.h for the engines).
// A relative SQLite path is taken from `base_folder`. Throws DataError with the engine's
// description, or a plain sentence when the server names no engine.
std::unique_ptr<NativeConnection> OpenNativeConnection(const ConnectionSettings& settings,
                                                       const std::filesystem::path& base_folder);

}  // namespace data
