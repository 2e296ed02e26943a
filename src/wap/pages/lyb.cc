#include "wap/pages/lyb.h"

#include <string>

#include "platform/host/application.h"
#include "platform/host/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/owner_markup.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/whole_number.h"
#include "wap/framework/xml_escape.h"
#include "wap/pages/paging.h"

namespace wap {
namespace {

// The navigation groups, each in a paragraph of its own (a link may not stand directly in a WML
// card), labels as plain characters.
std::string NavigationBlock(const Navigation& nav, const std::string& suffix) {
  std::string block;
  if (nav.first_previous) {
    block.append("<p><a href=\"lyb.asp?")
        .append(suffix)
        .append("&amp;Page=1\">第一页</a> <a href=\"lyb.asp?")
        .append(suffix)
        .append("&amp;Page=")
        .append(std::to_string(nav.previous))
        .append("\">上一页</a></p>");
  }
  if (nav.next_last) {
    block.append("<p><a href=\"lyb.asp?")
        .append(suffix)
        .append("&amp;Page=")
        .append(std::to_string(nav.next))
        .append("\">下一页</a> <a href=\"lyb.asp?")
        .append(suffix)
        .append("&amp;Page=")
        .append(std::to_string(nav.last))
        .append("\">最后页</a></p>");
  }
  return block;
}

}  // namespace

void Lyb::StartPage(host::ScriptingContext& context) {
  if (!InitPage(context)) return;
  PageContext& c = PageContext::Current();
  SetPageTitle(ToCharRefs("留言板"));
  const std::string userid =
      std::to_string(RequireWholeNumber(c.request->Item("userid"), "userid"));
  data::Recordset& rs = *c.recordset;
  rs.Open("select * from wap_lyb where userid=" + userid + " order by id desc", *c.connection);
  const std::string navigation =
      NavigationBlock(PositionOnRequestedPage(rs, *c.request), c.link_suffix);

  const std::string new_message_link =
      "<p align=\"left\"><a href=\"" +
      EscapeXmlAttribute(c.application->Get("domain").value_or("")) + "/wap/newly.asp" + "?" +
      c.link_suffix + "&amp;\" title=\"\">" + ToCharRefs("填写留言") + "</a></p>\r\n";
  c.page.append(new_message_link);
  c.page.append(navigation);

  for (int shown = 0; shown < rs.PageSize() && !rs.Eof(); ++shown, rs.MoveNext()) {
    // Visitors' texts and the times are escaped; the owner's reply keeps its markup when it
    // passes the owner-markup check. The entry's paragraph closes after its last line.
    c.page.append("<p>")
        .append(EscapeXmlText(rs.Field("lyr").ToText()))
        .append("：")
        .append(EscapeXmlText(rs.Field("title").ToText()))
        .append("<br />")
        .append(EscapeXmlText(rs.Field("lytime").ToText()))
        .append("<br /> ")
        .append(EscapeXmlText(rs.Field("content").ToText()));
    const std::string reply_time = rs.Field("hftime").ToText();
    if (!reply_time.empty()) {
      c.page.append("\r\n")
          .append("回复：<br />")
          .append(OwnerText(rs.Field("hf").ToText()))
          .append("(")
          .append(EscapeXmlText(reply_time))
          .append(")");
    }
    c.page.append("</p>\r\n");
  }
  rs.Close();
  c.recordset.reset();
  c.page.append(navigation);
  c.page.append(new_message_link);
  AppendHomeLink();
}

}  // namespace wap
