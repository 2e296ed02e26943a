#include "wap/pages/main.h"

#include <string>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/fs/file_system_object.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/server.h"
#include "wap/framework/folder_name.h"
#include "wap/framework/whole_number.h"

namespace wap {
namespace {

// The call number of the site owner: the first dircall of its wap_setting rows, "" without one.
std::string CallNumber(data::Connection& connection, const data::Param& userid) {
  const std::unique_ptr<data::Recordset> rows =
      connection.Execute("select dircall from wap_setting where userid=?", data::Params{userid});
  return rows->Eof() ? std::string() : rows->Field(std::size_t{0}).ToText();
}

}  // namespace

void HomePage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  page.SetPageTitle("首页");
  const data::Param userid = RequireWholeNumber(page.Request().Item("userid"), "userid");
  const std::string domain = page.Attribute(page.Application().Get("domain").value_or(""));

  const std::string username = page.Request().Item("username").value_or("");
  if (IsPlainFolderName(username)) {
    const std::string logo =
        page.Server().MapPath("/") + "\\waphome\\" + username + "\\upfile\\logo.gif";
    if (fso::FileSystemObject{}.FileExists(logo)) {
      page.Buffer()
          .append("<p><img src=\"")
          .append(domain)
          .append("/waphome/")
          .append(page.Attribute(username))
          .append("/upfile/logo.gif\" alt=\"Logo\"/></p>");
    }
  }

  // The class lines continue over parts when over the limit.
  page.BeginLongPart(LongPartKind::kList, "/wap/index.asp?" + page.LinkSuffix());
  data::Recordset& rs = page.Recordset();
  rs.Open("select * from wap_classes where userid=? order by sortid,id", page.Connection(),
          data::Params{userid});
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::optional<std::int64_t> type = rs.Field("type").ToInteger();
    if (!type || *type < 0 || *type > 4) continue;
    const std::string name = page.CharRefs(rs.Field("classname").ToText());
    std::string& p = page.Buffer();
    p.append("<p align=\"left\"><a href=\"");
    switch (*type) {
      case 0:
      case 1:
        p.append(domain)
            .append(*type == 0 ? "/wap/showcontent.asp?" : "/wap/newslist.asp?")
            .append(page.LinkSuffix())
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
            .append(page.LinkSuffix())
            .append("&amp;\" title=\"\">");
        break;
      case 4:
        p.append("wtai://wp/mc;")
            .append(page.Attribute(CallNumber(page.Connection(), userid)))
            .append("\" title=\"\">");
        break;
    }
    p.append(name).append("</a></p>\r\n");
  }
  rs.Close();
  page.EndLongPart();
}

}  // namespace wap
