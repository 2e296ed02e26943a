#include "wap/pages/shownews.h"

#include <string>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/objects/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/small_int.h"

namespace wap {

void ArticlePage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const data::Param id = ToSmallInt(page.Request().Item("id"), "id");
  data::Recordset& rs = page.Recordset();
  rs.Open("select * from v_wap_contents where id=?", page.Connection(), data::Params{id});
  if (rs.Eof()) {
    page.SetPageTitle("蓝杉工坊");
    page.Buffer()
        .append("<p align=\"left\">")
        .append(ToCharRefs("没有相关内容"))
        .append("</p>\r\n");
  } else {
    page.SetPageTitle(page.CharRefs(rs.Field("classname").ToText()));
    const data::Value& added = rs.Field("addtime");
    if (!added.IsNull()) {
      page.Buffer()
          .append("<p align=\"left\">")
          .append(page.CharRefs(added.ToText()))
          .append("</p>\r\n");
    }
    page.Buffer().append("<p align=\"left\">");
    page.BeginLongPart(LongPartKind::kText,
                       "shownews.asp?" + page.LinkSuffix() +
                           "&amp;id=" + page.Attribute(page.Request().Item("id").value_or("")));
    page.Buffer().append(page.CharRefs(rs.Field("content").ToText()));
    page.EndLongPart();
    page.Buffer().append("</p>\r\n");
  }
  page.AppendHomeLink();
}

}  // namespace wap
