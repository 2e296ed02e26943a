// Recordset: the rows of one query, read-only, positioned on one row at a time (a keyset cursor:
// the rows are fixed when it opens). Fields by name in any letter case or by position from 0.
// Rows are read from the engine as the recordset moves (see the drivers), so a recordset should
// be read while its connection is open; once that connection closes, reading it may throw
// DataError. Not thread-safe; one request uses it on one thread.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/param.h"
#include "platform/data/value.h"

namespace data {

class Connection;
class ResultRows;  // the driver's rows of one query

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Runs `sql` with `params` bound to its "?" placeholders on `connection` and positions on the
  // first row (EOF when none). Throws DataError with the engine's description. Requires:
  // connection.IsOpen(), !IsOpen().
  void Open(std::string_view sql, Connection& connection, std::span<const Param> params = {});
  // Wraps rows a driver already produced (Connection::Execute). Positions on the first row.
  explicit Recordset(std::unique_ptr<ResultRows> rows);

  bool IsOpen() const { return rows_ != nullptr; }
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
  std::unique_ptr<ResultRows> rows_;
  // Throws DataError unless open.
  void RequireOpen() const;
  // The current row, after checking that there is one. Throws DataError at EOF.
  void RequireRow() const;
  void MoveToPosition();

  std::size_t position_ = 0;  // the current row, from 0
  bool eof_ = true;
  int page_size_ = 10;
};

}  // namespace data
