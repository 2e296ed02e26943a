#include "wap/pages/main.h"

#include <string>

#include "platform/data/recordset.h"
#include "platform/host/application.h"
#include "platform/host/request.h"
#include "platform/host/server.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/file_system.h"
#include "wap/framework/folder_name.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/whole_number.h"
#include "wap/framework/xml_escape.h"

namespace wap {
namespace {

// The call number of the site owner: the first dircall of its wap_setting rows, "" without one.
std::string CallNumber(PageContext& c, const std::string& userid) {
  const std::unique_ptr<data::Recordset> rows =
      c.connection->Execute("select dircall from wap_setting where userid=" + userid);
  return rows->Eof() ? std::string() : rows->Field(std::size_t{0}).ToText();
}

}  // namespace

void Main::StartPage(host::ScriptingContext& context) {
  if (!InitPage(context)) return;
  PageContext& c = PageContext::Current();
  SetPageTitle("首页");
  const std::string userid =
      std::to_string(RequireWholeNumber(c.request->Item("userid"), "userid"));
  const std::string domain = EscapeXmlAttribute(c.application->Get("domain").value_or(""));

  const std::string username = c.request->Item("username").value_or("");
  if (IsPlainFolderName(username)) {
    const std::string logo =
        c.server->MapPath("/") + "\\waphome\\" + username + "\\upfile\\logo.gif";
    if (CreateFileSystemObject("Scripting.FileSystemObject")->FileExists(logo)) {
      c.page.append("<p><img src=\"")
          .append(domain)
          .append("/waphome/")
          .append(EscapeXmlAttribute(username))
          .append("/upfile/logo.gif\" alt=\"Logo\"/></p>");
    }
  }

  data::Recordset& rs = *c.recordset;
  rs.Open("select * from wap_classes where userid=" + userid + " order by sortid,id",
          *c.connection);
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::optional<std::int64_t> type = rs.Field("type").ToInteger();
    if (!type || *type < 0 || *type > 4) continue;
    const std::string name = ToCharRefs(rs.Field("classname").ToText());
    std::string& p = c.page;
    p.append("<p align=\"left\"><a href=\"");
    switch (*type) {
      case 0:
      case 1:
        p.append(domain)
            .append(*type == 0 ? "/wap/showcontent.asp?" : "/wap/newslist.asp?")
            .append(c.link_suffix)
            .append("&amp;id=")
            .append(rs.Field("id").ToText())
            .append("&amp;classname=")
            .append(name)
            .append("\">");
        break;
      case 2:
      case 3:
        p.append(domain)
            .append(*type == 2 ? "/wap/productlist.asp?" : "/wap/lyb.asp?")
            .append(c.link_suffix)
            .append("&amp;\" title=\"\">");
        break;
      case 4:
        p.append("wtai://wp/mc;")
            .append(EscapeXmlAttribute(CallNumber(c, userid)))
            .append("\" title=\"\">");
        break;
    }
    p.append(name).append("</a></p>\r\n");
  }
  rs.Close();
  c.recordset.reset();
}

}  // namespace wap
