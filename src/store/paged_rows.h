// Lists read a page at a time, by count and key: the count of the rows first, then only the rows
// of the page asked for (see platform/data/recordset.h for how a keyed list finds a page's first
// row without reading the rows before it). PagedRows holds the statement; PagedList<Row> gives
// its pages as typed rows, and is what the store's lists (products, guestbook, a class's texts)
// return. Not thread-safe; one request uses a list on one thread, while its connection is open.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/data/param.h"

namespace data {
class Connection;
class Recordset;
}  // namespace data

namespace store {

class PagedRows {
 public:
  // The rows of `sql` with `params`, `page_size` (at least 1) to a page. Runs nothing yet.
  PagedRows(data::Connection& connection, std::string_view sql, data::Params params, int page_size);
  ~PagedRows();
  PagedRows(PagedRows&&) noexcept;
  PagedRows& operator=(PagedRows&&) noexcept;

  // The number of pages, 0 for an empty list; the number of rows. Throw DataError.
  int PageCount() const;
  std::int64_t RowCount() const;
  // Calls `visit` with each row of page `page` (1..PageCount), in order; with `page` 0, each row
  // of the first page. Throws DataError, also for a page outside those.
  void VisitPage(int page, const std::function<void(const data::Recordset&)>& visit);

 private:
  std::unique_ptr<data::Recordset> rows_;
};

template <typename Row>
class PagedList {
 public:
  using Reader = Row (*)(const data::Recordset&);
  PagedList(PagedRows rows, Reader read) : rows_(std::move(rows)), read_(read) {}

  int PageCount() const { return rows_.PageCount(); }
  std::int64_t RowCount() const { return rows_.RowCount(); }
  // The rows of page `page` (1..PageCount), or of the first page for 0; none for a page after
  // the last. Throws DataError.
  std::vector<Row> Page(int page) {
    std::vector<Row> rows;
    if (page > PageCount()) return rows;
    rows_.VisitPage(page, [&](const data::Recordset& row) { rows.push_back(read_(row)); });
    return rows;
  }

 private:
  PagedRows rows_;
  Reader read_;
};

}  // namespace store
