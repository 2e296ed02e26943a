#include "wap/pages/lyb.h"

#include <optional>
#include <string>

#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "store/guestbook.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/whole_number.h"
#include "wap/pages/paging.h"

namespace wap {
void GuestbookPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  page.SetPageTitle(ToCharRefs("留言板"));
  const std::int64_t userid = RequireWholeNumber(page.Request().Item("userid"), "userid");
  auto messages = store::GuestbookPages(page.Connection(), userid, 1);
  const RequestedPage requested = ChooseRequestedPage(messages.PageCount(), page.Request());
  const std::vector<store::GuestbookEntry> shown = messages.Page(requested.page);
  const std::string navigation = NavigationBlock(requested.navigation, "lyb.asp", page.LinkSuffix(),
                                                 {"第一页", "上一页", "下一页", "最后页"});

  const std::string new_message_link =
      "<p align=\"left\"><a href=\"" +
      page.Attribute(page.Application().Get("domain").value_or("")) + "/wap/newly.asp" + "?" +
      page.LinkSuffix() + "&amp;\" title=\"\">" + ToCharRefs("填写留言") + "</a></p>\r\n";
  page.Buffer().append(new_message_link);
  page.Buffer().append(navigation);

  const std::optional<std::string> requested_page = page.Request().Item("Page");
  for (const store::GuestbookEntry& entry : shown) {
    // Visitors' texts and the times are escaped; the owner's reply keeps its markup when it
    // passes the owner-markup check. The entry's paragraph closes after its last line.
    // The message and the reply continue over parts when over the limit.
    page.Buffer().append("<p>");
    page.BeginLongPart(LongPartKind::kText,
                       "lyb.asp?" + page.LinkSuffix() +
                           (requested_page ? "&amp;Page=" + page.Attribute(*requested_page) : ""));
    page.Buffer()
        .append(page.Text(entry.author))
        .append("：")
        .append(page.Text(entry.title))
        .append("<br />")
        .append(page.Text(entry.time))
        .append("<br /> ")
        .append(page.Text(entry.content));
    const std::string& reply_time = entry.reply_time;
    if (!reply_time.empty()) {
      page.Buffer()
          .append("\r\n")
          .append("回复：<br />")
          .append(page.Owner(entry.reply))
          .append("(")
          .append(page.Text(reply_time))
          .append(")");
    }
    page.EndLongPart();
    page.Buffer().append("</p>\r\n");
  }
  page.Buffer().append(navigation);
  page.Buffer().append(new_message_link);
  page.AppendHomeLink();
}

}  // namespace wap
