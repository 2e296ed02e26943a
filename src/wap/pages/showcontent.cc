#include "wap/pages/showcontent.h"

#include <string>

#include "platform/host/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/small_int.h"

namespace wap {

void Showcontent::StartPage(host::ScriptingContext& context) {
  if (!InitPage(context)) return;
  PageContext& c = PageContext::Current();
  const int id = ToSmallInt(c.request->Item("id"), "id");
  data::Recordset& rs = *c.recordset;
  rs.Open("select * from v_wap_contents where cid=" + std::to_string(id), *c.connection);
  std::string text;
  if (rs.Eof()) {
    SetPageTitle(ToCharRefs(c.request->Item("classname").value_or("")));
    text = ToCharRefs("没有相关内容");
  } else {
    SetPageTitle(ToCharRefs(rs.Field("classname").ToText()));
    text = ToCharRefs(rs.Field("content").ToText());
  }
  c.page.append("<p align=\"left\">").append(text).append("</p>\r\n");
  AppendHomeLink();
}

}  // namespace wap
