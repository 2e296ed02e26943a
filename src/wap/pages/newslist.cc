#include "wap/pages/newslist.h"

#include <string>

#include "platform/host/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/small_int.h"

namespace wap {

void Newslist::StartPage(host::ScriptingContext& context) {
  if (!InitPage(context)) return;
  PageContext& c = PageContext::Current();
  const int id = ToSmallInt(c.request->Item("id"), "id");
  data::Recordset& rs = *c.recordset;
  rs.Open("select * from v_wap_contents where cid=" + std::to_string(id), *c.connection);
  if (rs.Eof()) {
    SetPageTitle(ToCharRefs(c.request->Item("classname").value_or("")));
    c.page.append("<p><a href=\"/wap/index.asp?")
        .append(c.link_suffix)
        .append("&amp;\">")
        .append(ToCharRefs("没有相关内容"))
        .append("</a></p>\r\n");
  } else {
    SetPageTitle(ToCharRefs(rs.Field("classname").ToText()));
    const std::string open_title = ToCharRefs("打开");
    for (; !rs.Eof(); rs.MoveNext()) {
      c.page.append("<p align=\"left\"><a href=\"shownews.asp?")
          .append(c.link_suffix)
          .append("&amp;id=")
          .append(rs.Field("id").ToText())
          .append("\" title=\"")
          .append(open_title)
          .append("\">")
          .append(ToCharRefs(rs.Field("title").ToText()))
          .append("</a></p>\r\n");
    }
    rs.Close();
  }
  AppendHomeLink();
}

}  // namespace wap
