// One-row paging of the shared recordset, as the product list and the guestbook use it: the
// request's "Page" value chooses the row shown, and the same value decides which navigation links
// the page writes.
#pragma once

#include <cstdint>

namespace data {
class Recordset;
}
namespace host {
class Request;
}

namespace wap {

// What the navigation block shows, in page numbers.
struct Navigation {
  bool first_previous = false;  // "first" (Page=1) and "previous" (Page=previous)
  int previous = 0;
  bool next_last = false;  // "next" (Page=next) and "last" (Page=last)
  int next = 0;
  int last = 0;
};

// Sets PageSize to 1 and positions `rows` for the request's "Page" value p: absent or p <= 0 keeps
// the first row; p above PageCount takes the last page (nothing for an empty result); else page
// p. The navigation compares the value itself (absent counts as 0) with 1 and with PageCount.
// Throws host::RequestError when "Page" is present but not a small integer, or when the next page
// number would leave the small-integer range. Requires: rows open.
Navigation PositionOnRequestedPage(data::Recordset& rows, const host::Request& request);

}  // namespace wap
