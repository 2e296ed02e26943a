#include "wap/pages/lyb.h"

#include <optional>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/whole_number.h"
#include "wap/pages/paging.h"

namespace wap {
void GuestbookPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  page.SetPageTitle(ToCharRefs("留言板"));
  const data::Param userid = RequireWholeNumber(page.Request().Item("userid"), "userid");
  data::Recordset& rs = page.Recordset();
  rs.Open("select * from wap_lyb where userid=? order by id desc", page.Connection(),
          data::Params{userid});
  const std::string navigation =
      NavigationBlock(PositionOnRequestedPage(rs, page.Request()), "lyb.asp", page.LinkSuffix(),
                      {"第一页", "上一页", "下一页", "最后页"});

  const std::string new_message_link =
      "<p align=\"left\"><a href=\"" +
      page.Attribute(page.Application().Get("domain").value_or("")) + "/wap/newly.asp" + "?" +
      page.LinkSuffix() + "&amp;\" title=\"\">" + ToCharRefs("填写留言") + "</a></p>\r\n";
  page.Buffer().append(new_message_link);
  page.Buffer().append(navigation);

  const std::optional<std::string> requested_page = page.Request().Item("Page");
  for (int shown = 0; shown < rs.PageSize() && !rs.Eof(); ++shown, rs.MoveNext()) {
    // Visitors' texts and the times are escaped; the owner's reply keeps its markup when it
    // passes the owner-markup check. The entry's paragraph closes after its last line.
    // The message and the reply continue over parts when over the limit.
    page.Buffer().append("<p>");
    page.BeginLongPart(LongPartKind::kText,
                       "lyb.asp?" + page.LinkSuffix() +
                           (requested_page ? "&amp;Page=" + page.Attribute(*requested_page) : ""));
    page.Buffer()
        .append(page.Text(rs.Field("lyr").ToText()))
        .append("：")
        .append(page.Text(rs.Field("title").ToText()))
        .append("<br />")
        .append(page.Text(rs.Field("lytime").ToText()))
        .append("<br /> ")
        .append(page.Text(rs.Field("content").ToText()));
    const std::string reply_time = rs.Field("hftime").ToText();
    if (!reply_time.empty()) {
      page.Buffer()
          .append("\r\n")
          .append("回复：<br />")
          .append(page.Owner(rs.Field("hf").ToText()))
          .append("(")
          .append(page.Text(reply_time))
          .append(")");
    }
    page.EndLongPart();
    page.Buffer().append("</p>\r\n");
  }
  rs.Close();
  page.Buffer().append(navigation);
  page.Buffer().append(new_message_link);
  page.AppendHomeLink();
}

}  // namespace wap
