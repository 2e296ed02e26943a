// Recordset: the rows of one query, read-only, positioned on one row at a time. Fields by name in
// any letter case or by position from 0.
//
// A recordset opened on a statement keeps its text and values and asks the database for what it
// needs, when it needs it: the first read runs the statement; once paging is used (PageCount,
// RecordCount, SetAbsolutePage), the count comes from "select count(*)" over the statement and
// the rows of a page from the statement limited to that page, so a page of a long list never
// reads the rows before or after it. A list of one table ordered by its key is paged by key
// instead (paged_statement.h): on a driver that keeps answers while the database is unchanged
// (SQLite), its keys are read once and any page then starts at its key; elsewhere the page's key
// is found over the index of keys alone. Either way the rows and their order are those of the
// statement. (A statement that is not a plain SELECT, or has its own LIMIT, is run as it stands.)
// Each read sees the rows committed when it runs; a count or keys kept by the connection are
// those of the database as it is when they are asked for. A recordset must be
// read while its connection is open; once that connection closes, reading it throws DataError.
// Not thread-safe; one request uses it on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/param.h"
#include "platform/data/value.h"

namespace data {

class Connection;
class ResultRows;  // the driver's rows of one query
struct KeyedSelect;  // a list of one table ordered by its key

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Opens the recordset on `sql` with `params` bound to its "?" placeholders, positioned on the
  // first row. The statement runs when the recordset is first read (Eof, Field, a move or a
  // count), which then throws DataError with the engine's description. Requires:
  // connection.IsOpen() while the recordset is read, !IsOpen().
  void Open(std::string_view sql, Connection& connection, std::span<const Param> params = {});
  // Wraps rows a driver already produced (Connection::Execute). Positions on the first row.
  explicit Recordset(std::unique_ptr<ResultRows> rows);

  bool IsOpen() const { return open_; }
  // Closes; a closed recordset may be opened again. Does nothing when closed. Never throws.
  void Close() noexcept;

  // True after the last row, and at once for an empty result. Requires: IsOpen().
  bool Eof() const;
  // Moves to the next row. Throws DataError at EOF. Requires: IsOpen().
  void MoveNext();

  // The field `name` (any letter case; the first of equal names) of the current row. Throws
  // DataError when the query has no such column or the recordset is at EOF. The reference stays
  // valid until the recordset moves or closes. Requires: IsOpen().
  const Value& Field(std::string_view name) const;
  // The field at `index` (from 0). Throws DataError when out of range or at EOF.
  const Value& Field(std::size_t index) const;
  std::size_t FieldCount() const;
  // The number of rows. Requires: IsOpen().
  std::size_t RecordCount() const;

  // Paging. PageSize defaults to 10 and must be at least 1 (else DataError). PageCount is the
  // number of pages of PageSize rows, 0 for an empty result. SetAbsolutePage(n) moves to the first
  // row of page n, counted from 1; n below 1 or above PageCount throws DataError. AbsolutePage is
  // the page of the current row, or -3 at EOF (as the classic data objects report it).
  void SetPageSize(int size);
  int PageSize() const { return page_size_; }
  int PageCount() const;
  void SetAbsolutePage(int page);
  int AbsolutePage() const;

 private:
  // Throws DataError unless open.
  void RequireOpen() const;
  // The current row, after checking that there is one. Throws DataError at EOF.
  void RequireRow() const;
  // Makes rows_ hold position_ (running the statement, or reading the window from position_),
  // and sets eof_. Throws DataError with the engine's description.
  void Locate() const;

  Connection* connection_ = nullptr;  // set while a statement opened by Open is kept
  std::string sql_;
  Params params_;
  bool open_ = false;
  bool windowed_ = false;        // a SELECT without a LIMIT of its own: may be read in windows
  std::unique_ptr<const KeyedSelect> keyed_;  // set when the statement is a keyed list
  mutable bool paging_ = false;  // the count was asked for: rows are read a window at a time
  // A keyed list's keys in its order, when the connection keeps them (then also its count).
  mutable std::shared_ptr<const std::vector<std::int64_t>> keys_;
  // The rows read so far: every row of the statement from row 0 (window_rows_ empty), or the
  // window of at most *window_rows_ rows from row window_first_.
  mutable std::unique_ptr<ResultRows> rows_;
  mutable std::size_t window_first_ = 0;
  mutable std::optional<std::size_t> window_rows_;
  mutable std::optional<std::size_t> count_;
  mutable bool located_ = false;  // eof_ and rows_ reflect position_
  mutable bool eof_ = true;
  std::size_t position_ = 0;  // the current row, from 0
  int page_size_ = 10;
};

}  // namespace data
