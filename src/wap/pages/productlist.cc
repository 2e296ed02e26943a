#include "wap/pages/productlist.h"

#include <string>

#include "platform/host/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/owner_markup.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/whole_number.h"
#include "wap/framework/xml_escape.h"
#include "wap/pages/paging.h"

namespace wap {
namespace {

std::string NavigationBlock(const Navigation& nav, const std::string& suffix) {
  std::string block;
  if (nav.first_previous) {
    block.append("<p><a href=\"productlist.asp?")
        .append(suffix)
        .append("&amp;Page=1\">")
        .append(ToCharRefs("第一页"))
        .append("</a> <a href=\"productlist.asp?")
        .append(suffix)
        .append("&amp;Page=")
        .append(std::to_string(nav.previous))
        .append("\">")
        .append(ToCharRefs("上一页"))
        .append("</a></p>");
  }
  if (nav.next_last) {
    block.append("<p><a href=\"productlist.asp?")
        .append(suffix)
        .append("&amp;Page=")
        .append(std::to_string(nav.next))
        .append("\">")
        .append(ToCharRefs("下一页"))
        .append("</a> <a href=\"productlist.asp?")
        .append(suffix)
        .append("&amp;Page=")
        .append(std::to_string(nav.last))
        .append("\">")
        .append(ToCharRefs("最后页"))
        .append("</a></p>");
  }
  return block;
}

}  // namespace

void Productlist::StartPage(host::ScriptingContext& context) {
  if (!InitPage(context)) return;
  PageContext& c = PageContext::Current();
  SetPageTitle(ToCharRefs("产品展示"));
  const std::string userid =
      std::to_string(RequireWholeNumber(c.request->Item("userid"), "userid"));
  data::Recordset& rs = *c.recordset;
  rs.Open("select * from wap_product where userid=" + userid + " order by id desc", *c.connection);
  const std::string navigation =
      NavigationBlock(PositionOnRequestedPage(rs, *c.request), c.link_suffix);
  c.page.append(navigation);

  const std::string username = EscapeXmlAttribute(c.request->Item("username").value_or(""));
  for (int shown = 0; shown < rs.PageSize() && !rs.Eof(); ++shown, rs.MoveNext()) {
    c.page.append("<p>")
        .append(OwnerText(rs.Field("pname").ToText()))
        .append("<br /><img alt=\"\" src=\"/waphome/")
        .append(username)
        .append("/upfile/")
        .append(EscapeXmlAttribute(rs.Field("ppic").ToText()))
        .append("\" /><br /> ")
        .append(OwnerText(rs.Field("pcontent").ToText()))
        .append("</p>\r\n");
  }
  rs.Close();
  c.recordset.reset();
  c.page.append(navigation);
  AppendHomeLink();
}

}  // namespace wap
