#include "platform/data/recordset.h"

#include <limits>
#include <string>

#include "platform/data/ascii_case.h"
#include "platform/data/connection.h"
#include "platform/data/data_error.h"
#include "platform/data/native_connection.h"

namespace data {

Recordset::Recordset() = default;

Recordset::Recordset(std::unique_ptr<ResultRows> rows) : rows_(std::move(rows)) {
  if (!rows_) rows_ = MakeEmptyRows();
  MoveToPosition();
}

Recordset::~Recordset() = default;

void Recordset::Open(std::string_view sql, Connection& connection,
                     std::span<const Param> params) {
  if (IsOpen()) throw DataError("the recordset is already open");
  auto rows = connection.Run(sql, params);
  rows_ = std::move(rows);
  position_ = 0;
  MoveToPosition();
}

void Recordset::Close() noexcept {
  rows_.reset();
  position_ = 0;
  eof_ = true;
}

void Recordset::RequireOpen() const {
  if (!rows_) throw DataError("the recordset is closed");
}

void Recordset::RequireRow() const {
  RequireOpen();
  if (eof_) throw DataError("the recordset has no current row (it is at its end)");
}

void Recordset::MoveToPosition() { eof_ = !rows_->MoveTo(position_); }

bool Recordset::Eof() const {
  RequireOpen();
  return eof_;
}

void Recordset::MoveNext() {
  RequireRow();
  ++position_;
  MoveToPosition();
}

const Value& Recordset::Field(std::string_view name) const {
  RequireOpen();
  const std::size_t count = rows_->ColumnCount();
  for (std::size_t i = 0; i < count; ++i) {
    if (EqualsIgnoreAsciiCase(rows_->ColumnName(i), name)) {
      RequireRow();
      return rows_->Get(i);
    }
  }
  throw DataError("the recordset has no field named \"" + std::string(name) + "\"");
}

const Value& Recordset::Field(std::size_t index) const {
  RequireOpen();
  if (index >= rows_->ColumnCount()) {
    throw DataError("the recordset has no field at position " + std::to_string(index));
  }
  RequireRow();
  return rows_->Get(index);
}

std::size_t Recordset::FieldCount() const {
  RequireOpen();
  return rows_->ColumnCount();
}

std::size_t Recordset::RecordCount() const {
  RequireOpen();
  return rows_->RowCount();
}

void Recordset::SetPageSize(int size) {
  if (size < 1) throw DataError("PageSize must be at least 1, not " + std::to_string(size));
  page_size_ = size;
}

int Recordset::PageCount() const {
  const std::size_t rows = RecordCount();
  const std::size_t size = static_cast<std::size_t>(page_size_);
  const std::size_t pages = rows / size + (rows % size != 0 ? 1 : 0);
  return pages > static_cast<std::size_t>(std::numeric_limits<int>::max())
             ? std::numeric_limits<int>::max()
             : static_cast<int>(pages);
}

void Recordset::SetAbsolutePage(int page) {
  const int pages = PageCount();
  if (page < 1 || page > pages) {
    throw DataError("AbsolutePage " + std::to_string(page) + " is outside the pages 1 to " +
                    std::to_string(pages));
  }
  position_ = static_cast<std::size_t>(page - 1) * static_cast<std::size_t>(page_size_);
  MoveToPosition();
}

int Recordset::AbsolutePage() const {
  RequireOpen();
  if (eof_) return -3;
  return static_cast<int>(position_ / static_cast<std::size_t>(page_size_)) + 1;
}

}  // namespace data
