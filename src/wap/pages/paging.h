// One-row paging, as the product list and the guestbook use it: the request's "Page" value chooses
// the row shown, and the same value decides which navigation links the page writes. Pure; one
// thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// The page to show of a list of `page_count` one-row pages, and its navigation.
struct RequestedPage {
  int page = 0;  // 0: the first row as the list comes; else a page in 1..page_count
  Navigation navigation;
};

// The page for the request's "Page" value p: absent or p <= 0 keeps the first row; p above
// page_count takes the last page (nothing for an empty list); else page p. The navigation compares
// the value itself (absent counts as 0) with 1 and with page_count. Throws host::RequestError when
// "Page" is present but not a small integer, or when the next page number would leave the
// small-integer range.
RequestedPage ChooseRequestedPage(int page_count, const host::Request& request);

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
