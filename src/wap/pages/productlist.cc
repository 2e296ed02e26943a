#include "wap/pages/productlist.h"

#include <optional>
#include <string>

#include "platform/host/objects/request.h"
#include "store/products.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/whole_number.h"
#include "wap/pages/paging.h"

namespace wap {
void ProductListPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  page.SetPageTitle(ToCharRefs("产品展示"));
  const std::int64_t userid = RequireWholeNumber(page.Request().Item("userid"), "userid");
  auto products = store::ProductPages(page.Connection(), userid, 1);
  const RequestedPage requested = ChooseRequestedPage(products.PageCount(), page.Request());
  const std::vector<store::Product> shown = products.Page(requested.page);
  const std::string navigation = NavigationBlock(
      requested.navigation, "productlist.asp", page.LinkSuffix(),
      {ToCharRefs("第一页"), ToCharRefs("上一页"), ToCharRefs("下一页"), ToCharRefs("最后页")});
  page.Buffer().append(navigation);

  const std::string username = page.Attribute(page.Request().Item("username").value_or(""));
  const std::optional<std::string> requested_page = page.Request().Item("Page");
  for (const store::Product& product : shown) {
    // The product's name, picture and description continue over parts when over the limit.
    page.Buffer().append("<p>");
    page.BeginLongPart(LongPartKind::kText,
                       "productlist.asp?" + page.LinkSuffix() +
                           (requested_page ? "&amp;Page=" + page.Attribute(*requested_page) : ""));
    page.Buffer()
        .append(page.Owner(product.name))
        .append("<br /><img alt=\"\" src=\"/waphome/")
        .append(username)
        .append("/upfile/")
        .append(page.Attribute(product.picture))
        .append("\" /><br /> ")
        .append(page.Owner(product.description));
    page.EndLongPart();
    page.Buffer().append("</p>\r\n");
  }
  page.Buffer().append(navigation);
  page.AppendHomeLink();
}

}  // namespace wap
