#include "wap/pages/paging.h"

#include <optional>
#include <string>

#include "platform/host/objects/request.h"
#include "platform/host/objects/request_error.h"
#include "wap/framework/small_int.h"

namespace wap {

RequestedPage ChooseRequestedPage(int page_count, const host::Request& request) {
  const std::optional<std::string> value = request.Item("Page");
  const int p = ToSmallInt(value, "Page");
  RequestedPage chosen;
  if (value) {
    if (p > page_count) {
      chosen.page = page_count;  // 0 for an empty list: nothing to position on
    } else if (p > 0) {
      chosen.page = p;
    }
  }

  // The requested value as given; it converted above, so it is in the grammar.
  const Decimal requested = value ? ParseDecimal(*value).value_or(Decimal{}) : Decimal{};
  Navigation& nav = chosen.navigation;
  nav.first_previous = Compare(requested, 1) > 0;
  nav.previous = p - 1;
  nav.next_last = Compare(requested, page_count) != 0;
  if (nav.next_last && p == 32767) {
    throw host::RequestError("the page after Page 32767 is out of range");
  }
  nav.next = p + 1;
  nav.last = page_count;
  return chosen;
}

namespace {

// "<a href=\"ADDRESS?SUFFIX&amp;Page=N\">LABEL</a>"
std::string PageLink(std::string_view page_address, std::string_view link_suffix, int page_number,
                     std::string_view label) {
  std::string link = "<a href=\"";
  link.append(page_address).append("?").append(link_suffix).append("&amp;Page=");
  link.append(std::to_string(page_number)).append("\">").append(label).append("</a>");
  return link;
}

}  // namespace

std::string NavigationBlock(const Navigation& nav, std::string_view page_address,
                            std::string_view link_suffix, const NavigationLabels& labels) {
  std::string block;
  if (nav.first_previous) {
    block.append("<p>")
        .append(PageLink(page_address, link_suffix, 1, labels.first))
        .append(" ")
        .append(PageLink(page_address, link_suffix, nav.previous, labels.previous))
        .append("</p>");
  }
  if (nav.next_last) {
    block.append("<p>")
        .append(PageLink(page_address, link_suffix, nav.next, labels.next))
        .append(" ")
        .append(PageLink(page_address, link_suffix, nav.last, labels.last))
        .append("</p>");
  }
  return block;
}

}  // namespace wap
