// PagedRows: a list read a page at a time, by count and key: the count of its rows first, then
// only the rows of the page asked for (see platform/data/recordset.h for how a keyed list finds a
// page's first row without reading the rows before it). The typed lists of the store (products,
// guestbook) are built on it. Not thread-safe; one request uses it on one thread, while its
// connection is open.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

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
  PagedRows(const PagedRows&) = delete;
  PagedRows& operator=(const PagedRows&) = delete;

  // The number of pages, 0 for an empty list; the number of rows. Throw DataError.
  int PageCount() const;
  std::int64_t RowCount() const;
  // Calls `visit` with each row of page `page` (1..PageCount), in order; with `page` 0, each row
  // of the first page. Throws DataError, also for a page outside those.
  void VisitPage(int page, const std::function<void(const data::Recordset&)>& visit);

 private:
  std::unique_ptr<data::Recordset> rows_;
};

}  // namespace store
