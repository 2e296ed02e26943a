#include "wap/pages/showcontent.h"

#include <string>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/objects/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/small_int.h"

namespace wap {

void ContentPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const data::Param id = ToSmallInt(page.Request().Item("id"), "id");
  data::Recordset& rs = page.Recordset();
  rs.Open("select * from v_wap_contents where cid=?", page.Connection(), data::Params{id});
  std::string text;
  if (rs.Eof()) {
    page.SetPageTitle(page.CharRefs(page.Request().Item("classname").value_or("")));
    text = ToCharRefs("没有相关内容");
  } else {
    page.SetPageTitle(page.CharRefs(rs.Field("classname").ToText()));
    text = page.CharRefs(rs.Field("content").ToText());
  }
  page.Buffer().append("<p align=\"left\">");
  page.BeginLongPart(
      LongPartKind::kText,
      "/wap/showcontent.asp?" + page.LinkSuffix() +
          "&amp;id=" + page.Attribute(page.Request().Item("id").value_or("")) +
          "&amp;classname=" + page.CharRefs(page.Request().Item("classname").value_or("")));
  page.Buffer().append(text);
  page.EndLongPart();
  page.Buffer().append("</p>\r\n");
  page.AppendHomeLink();
}

}  // namespace wap
