// One-row paging of the shared recordset, as the product list and the guestbook use it: the
// request's "Page" value chooses the row shown, and the same value decides which navigation links
// the page writes. Pure apart from moving the recordset; one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// The texts of the four navigation links, as they go into the markup.
struct NavigationLabels {
  std::string first, previous, next, last;
};

// The navigation block: a paragraph with the first and previous links when nav.first_previous, then
// one with the next and last links when nav.next_last (each group in a paragraph of its own, as a
// link may not stand directly in a WML card). Each link goes to `page_address` + "?" +
// `link_suffix` + "&amp;Page=N". Empty when neither group is shown.
std::string NavigationBlock(const Navigation& nav, std::string_view page_address,
                            std::string_view link_suffix, const NavigationLabels& labels);

}  // namespace wap
