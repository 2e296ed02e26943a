#include "store/paged_rows.h"

#include "platform/data/recordset.h"

namespace store {

PagedRows::PagedRows(data::Connection& connection, std::string_view sql, data::Params params,
                     int page_size)
    : rows_(std::make_unique<data::Recordset>()) {
  rows_->Open(sql, connection, params);
  rows_->SetPageSize(page_size);
}

PagedRows::~PagedRows() = default;
PagedRows::PagedRows(PagedRows&&) noexcept = default;
PagedRows& PagedRows::operator=(PagedRows&&) noexcept = default;

int PagedRows::PageCount() const { return rows_->PageCount(); }

std::int64_t PagedRows::RowCount() const { return static_cast<std::int64_t>(rows_->RecordCount()); }

void PagedRows::VisitPage(int page, const std::function<void(const data::Recordset&)>& visit) {
  if (page != 0) rows_->SetAbsolutePage(page);
  for (int shown = 0; shown < rows_->PageSize() && !rows_->Eof(); ++shown, rows_->MoveNext()) {
    visit(*rows_);
  }
}

}  // namespace store
