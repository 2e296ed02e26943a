#include "wap/pages/shownews.h"

#include <string>

#include "platform/host/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/small_int.h"

namespace wap {

void Shownews::StartPage(host::ScriptingContext& context) {
  if (!InitPage(context)) return;
  PageContext& c = PageContext::Current();
  const int id = ToSmallInt(c.request->Item("id"), "id");
  data::Recordset& rs = *c.recordset;
  rs.Open("select * from v_wap_contents where id=" + std::to_string(id), *c.connection);
  if (rs.Eof()) {
    SetPageTitle("蓝杉工坊");
    c.page.append("<p align=\"left\">").append(ToCharRefs("没有相关内容")).append("</p>\r\n");
  } else {
    SetPageTitle(ToCharRefs(rs.Field("classname").ToText()));
    const data::Value& added = rs.Field("addtime");
    if (!added.IsNull()) {
      c.page.append("<p align=\"left\">").append(ToCharRefs(added.ToText())).append("</p>\r\n");
    }
    c.page.append("<p align=\"left\">")
        .append(ToCharRefs(rs.Field("content").ToText()))
        .append("</p>\r\n");
  }
  AppendHomeLink();
}

}  // namespace wap
