#include "wap/pages/newslist.h"

#include <string>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/objects/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/small_int.h"

namespace wap {

void NewsListPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const data::Param id = ToSmallInt(page.Request().Item("id"), "id");
  data::Recordset& rs = page.Recordset();
  rs.Open("select * from v_wap_contents where cid=?", page.Connection(), data::Params{id});
  if (rs.Eof()) {
    page.SetPageTitle(page.CharRefs(page.Request().Item("classname").value_or("")));
    page.Buffer()
        .append("<p><a href=\"/wap/index.asp?")
        .append(page.LinkSuffix())
        .append("&amp;\">")
        .append(ToCharRefs("没有相关内容"))
        .append("</a></p>\r\n");
  } else {
    page.SetPageTitle(page.CharRefs(rs.Field("classname").ToText()));
    const std::string open_title = ToCharRefs("打开");
    // The article lines continue over parts when over the limit.
    page.BeginLongPart(
        LongPartKind::kList,
        "/wap/newslist.asp?" + page.LinkSuffix() +
            "&amp;id=" + page.Attribute(page.Request().Item("id").value_or("")) +
            "&amp;classname=" + page.CharRefs(page.Request().Item("classname").value_or("")));
    for (; !rs.Eof(); rs.MoveNext()) {
      page.Buffer()
          .append("<p align=\"left\"><a href=\"shownews.asp?")
          .append(page.LinkSuffix())
          .append("&amp;id=")
          .append(rs.Field("id").ToText())
          .append("\" title=\"")
          .append(open_title)
          .append("\">")
          .append(page.CharRefs(rs.Field("title").ToText()))
          .append("</a></p>\r\n");
    }
    page.EndLongPart();
    rs.Close();
  }
  page.AppendHomeLink();
}

}  // namespace wap
