#include "platform/data/recordset.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/data_error.h"
#include "platform/data/native_connection.h"
#include "platform/data/paged_statement.h"
#include "platform/text/ascii.h"

namespace data {

Recordset::Recordset() = default;

Recordset::Recordset(std::unique_ptr<ResultRows> rows) : open_(true), rows_(std::move(rows)) {
  if (!rows_) rows_ = MakeEmptyRows();
}

Recordset::~Recordset() = default;

void Recordset::Open(std::string_view sql, Connection& connection,
                     std::span<const Param> params) {
  if (IsOpen()) throw DataError("the recordset is already open");
  connection_ = &connection;
  sql_ = std::string(TrimStatement(sql));
  params_.assign(params.begin(), params.end());
  windowed_ = IsWindowable(sql_);
  if (auto keyed = ParseKeyedSelect(sql_)) {
    keyed_ = std::make_unique<const KeyedSelect>(std::move(*keyed));
  }
  open_ = true;
}

void Recordset::Close() noexcept {
  rows_.reset();
  connection_ = nullptr;
  sql_.clear();
  params_.clear();
  open_ = false;
  windowed_ = false;
  keyed_.reset();
  keys_.reset();
  paging_ = false;
  window_first_ = 0;
  window_rows_.reset();
  count_.reset();
  located_ = false;
  position_ = 0;
  eof_ = true;
}

void Recordset::RequireOpen() const {
  if (!open_) throw DataError("the recordset is closed");
}

void Recordset::RequireRow() const {
  RequireOpen();
  Locate();
  if (eof_) throw DataError("the recordset has no current row (it is at its end)");
}

void Recordset::Locate() const {
  if (located_) return;
  if (rows_ != nullptr) {
    if (count_ && position_ >= *count_) {
      eof_ = true;
      located_ = true;
      return;
    }
    if (!window_rows_ || (position_ >= window_first_ && position_ < window_first_ + *window_rows_)) {
      eof_ = !rows_->MoveTo(position_ - window_first_);
      located_ = true;
      return;
    }
  }
  if (!windowed_ || !paging_) {
    // The statement as it stands: every row, read as the recordset moves.
    rows_ = connection_->Run(sql_, params_);
    window_first_ = 0;
    window_rows_.reset();
    eof_ = !rows_->MoveTo(position_);
    located_ = true;
    return;
  }
  if (keys_ != nullptr && position_ >= keys_->size()) {
    // Past the last kept key: no row, and nothing to ask the database.
    eof_ = true;
    located_ = true;
    return;
  }
  // A window from position_: a page and the row after it (where a page's loop ends), or, moving
  // on past a window, twice as many rows as the last.
  const std::size_t page = static_cast<std::size_t>(page_size_) + 1;
  const std::size_t rows = window_rows_ && position_ == window_first_ + *window_rows_
                               ? std::max(page, 2 * *window_rows_)
                               : page;
  Params params = params_;
  if (keys_ != nullptr && position_ < keys_->size()) {
    // A keyed list whose keys the connection keeps: the window starts at the key of position_.
    params.emplace_back((*keys_)[position_]);
    params.emplace_back(static_cast<std::int64_t>(rows));
    rows_ = connection_->Run(WindowFromKeyStatement(*keyed_), params);
  } else if (keyed_ != nullptr && keys_ == nullptr) {
    // The key of position_ is found by stepping over an index of keys, not over rows.
    params.insert(params.end(), params_.begin(), params_.end());
    params.emplace_back(static_cast<std::int64_t>(position_));
    params.emplace_back(static_cast<std::int64_t>(rows));
    rows_ = connection_->Run(WindowFromPositionStatement(*keyed_), params);
  } else {
    params.emplace_back(static_cast<std::int64_t>(rows));
    params.emplace_back(static_cast<std::int64_t>(position_));
    rows_ = connection_->Run(WindowStatement(sql_), params);
  }
  window_first_ = position_;
  window_rows_ = rows;
  eof_ = !rows_->MoveTo(0);
  located_ = true;
}

bool Recordset::Eof() const {
  RequireOpen();
  Locate();
  return eof_;
}

void Recordset::MoveNext() {
  RequireRow();
  ++position_;
  located_ = false;
}

const Value& Recordset::Field(std::string_view name) const {
  RequireOpen();
  Locate();
  if (rows_ == nullptr) RequireRow();
  const std::size_t count = rows_->ColumnCount();
  for (std::size_t i = 0; i < count; ++i) {
    if (text::EqualsIgnoreCase(rows_->ColumnName(i), name)) {
      RequireRow();
      return rows_->Get(i);
    }
  }
  throw DataError("the recordset has no field named \"" + std::string(name) + "\"");
}

const Value& Recordset::Field(std::size_t index) const {
  if (index >= FieldCount()) {
    throw DataError("the recordset has no field at position " + std::to_string(index));
  }
  RequireRow();
  return rows_->Get(index);
}

std::size_t Recordset::FieldCount() const {
  RequireOpen();
  Locate();
  return rows_ != nullptr ? rows_->ColumnCount() : 0;
}

std::size_t Recordset::RecordCount() const {
  RequireOpen();
  if (count_) return *count_;
  if (!windowed_) Locate();
  if (rows_ != nullptr && !window_rows_) {
    count_ = rows_->RowCount();  // every row is here already
  } else {
    paging_ = true;
    if (keyed_ != nullptr) keys_ = connection_->KeptIntegers(KeysStatement(*keyed_), params_);
    if (keys_ != nullptr) {
      count_ = keys_->size();
      return *count_;
    }
    const std::string count = CountStatement(sql_);
    std::optional<std::int64_t> n;
    if (const auto kept = connection_->KeptIntegers(count, params_)) {
      if (!kept->empty()) n = kept->front();
    } else {
      auto rows = connection_->Run(count, params_);
      if (rows->MoveTo(0)) n = rows->Get(0).ToInteger();
    }
    if (!n || *n < 0) throw DataError("the row count of the statement is not a number");
    count_ = static_cast<std::size_t>(*n);
  }
  return *count_;
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
  located_ = false;
  Locate();
}

int Recordset::AbsolutePage() const {
  RequireOpen();
  Locate();
  if (eof_) return -3;
  return static_cast<int>(position_ / static_cast<std::size_t>(page_size_)) + 1;
}

}  // namespace data
