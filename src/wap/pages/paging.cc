#include "wap/pages/paging.h"

#include <optional>
#include <string>

#include "platform/data/recordset.h"
#include "platform/host/request.h"
#include "platform/host/request_error.h"
#include "wap/framework/small_int.h"

namespace wap {

Navigation PositionOnRequestedPage(data::Recordset& rows, const host::Request& request) {
  rows.SetPageSize(1);
  const int page_count = rows.PageCount();
  const std::optional<std::string> value = request.Item("Page");
  const int p = ToSmallInt(value, "Page");
  if (value) {
    if (p > page_count) {
      if (page_count > 0) rows.SetAbsolutePage(page_count);
    } else if (p > 0) {
      rows.SetAbsolutePage(p);
    }
  }

  // The requested value as given; it converted above, so it is in the grammar.
  const Decimal requested = value ? ParseDecimal(*value).value_or(Decimal{}) : Decimal{};
  Navigation nav;
  nav.first_previous = Compare(requested, 1) > 0;
  nav.previous = p - 1;
  nav.next_last = Compare(requested, page_count) != 0;
  if (nav.next_last && p == 32767) {
    throw host::RequestError("the page after Page 32767 is out of range");
  }
  nav.next = p + 1;
  nav.last = page_count;
  return nav;
}

}  // namespace wap
