#include "wap/pages/newslist.h"

#include <string>

#include "platform/host/objects/request.h"
#include "store/contents.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/small_int.h"

namespace wap {

void NewsListPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const std::int64_t id = ToSmallInt(page.Request().Item("id"), "id");
  const std::vector<store::Content> articles = store::ContentsOfClass(page.Connection(), id);
  if (articles.empty()) {
    page.SetPageTitle(page.CharRefs(page.Request().Item("classname").value_or("")));
    page.Buffer()
        .append("<p><a href=\"/wap/index.asp?")
        .append(page.LinkSuffix())
        .append("&amp;\">")
        .append(ToCharRefs("没有相关内容"))
        .append("</a></p>\r\n");
  } else {
    page.SetPageTitle(page.CharRefs(articles.front().classname));
    const std::string open_title = ToCharRefs("打开");
    // The article lines continue over parts when over the limit.
    page.BeginLongPart(
        LongPartKind::kList,
        "/wap/newslist.asp?" + page.LinkSuffix() +
            "&amp;id=" + page.Attribute(page.Request().Item("id").value_or("")) +
            "&amp;classname=" + page.CharRefs(page.Request().Item("classname").value_or("")));
    for (const store::Content& article : articles) {
      page.Buffer()
          .append("<p align=\"left\"><a href=\"shownews.asp?")
          .append(page.LinkSuffix())
          .append("&amp;id=")
          .append(std::to_string(article.id))
          .append("\" title=\"")
          .append(open_title)
          .append("\">")
          .append(page.CharRefs(article.title))
          .append("</a></p>\r\n");
    }
    page.EndLongPart();
  }
  page.AppendHomeLink();
}

}  // namespace wap
