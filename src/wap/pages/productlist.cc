#include "wap/pages/productlist.h"

#include <optional>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/objects/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/whole_number.h"
#include "wap/pages/paging.h"

namespace wap {
void ProductListPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  page.SetPageTitle(ToCharRefs("产品展示"));
  const data::Param userid = RequireWholeNumber(page.Request().Item("userid"), "userid");
  data::Recordset& rs = page.Recordset();
  rs.Open("select * from wap_product where userid=? order by id desc", page.Connection(),
          data::Params{userid});
  const std::string navigation = NavigationBlock(
      PositionOnRequestedPage(rs, page.Request()), "productlist.asp", page.LinkSuffix(),
      {ToCharRefs("第一页"), ToCharRefs("上一页"), ToCharRefs("下一页"), ToCharRefs("最后页")});
  page.Buffer().append(navigation);

  const std::string username = page.Attribute(page.Request().Item("username").value_or(""));
  const std::optional<std::string> requested_page = page.Request().Item("Page");
  for (int shown = 0; shown < rs.PageSize() && !rs.Eof(); ++shown, rs.MoveNext()) {
    // The product's name, picture and description continue over parts when over the limit.
    page.Buffer().append("<p>");
    page.BeginLongPart(LongPartKind::kText,
                       "productlist.asp?" + page.LinkSuffix() +
                           (requested_page ? "&amp;Page=" + page.Attribute(*requested_page) : ""));
    page.Buffer()
        .append(page.Owner(rs.Field("pname").ToText()))
        .append("<br /><img alt=\"\" src=\"/waphome/")
        .append(username)
        .append("/upfile/")
        .append(page.Attribute(rs.Field("ppic").ToText()))
        .append("\" /><br /> ")
        .append(page.Owner(rs.Field("pcontent").ToText()));
    page.EndLongPart();
    page.Buffer().append("</p>\r\n");
  }
  rs.Close();
  page.Buffer().append(navigation);
  page.AppendHomeLink();
}

}  // namespace wap
