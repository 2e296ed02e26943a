#include "wap/pages/shownews.h"

#include <string>

#include "platform/host/objects/request.h"
#include "store/contents.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/small_int.h"

namespace wap {

void ArticlePage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const std::int64_t id = ToSmallInt(page.Request().Item("id"), "id");
  const std::optional<store::Content> article = store::ContentById(page.Connection(), id);
  if (!article) {
    page.SetPageTitle("蓝杉工坊");
    page.Buffer()
        .append("<p align=\"left\">")
        .append(ToCharRefs("没有相关内容"))
        .append("</p>\r\n");
  } else {
    page.SetPageTitle(page.CharRefs(article->classname));
    if (article->addtime) {
      page.Buffer()
          .append("<p align=\"left\">")
          .append(page.CharRefs(*article->addtime))
          .append("</p>\r\n");
    }
    page.Buffer().append("<p align=\"left\">");
    page.BeginLongPart(LongPartKind::kText,
                       "shownews.asp?" + page.LinkSuffix() +
                           "&amp;id=" + page.Attribute(page.Request().Item("id").value_or("")));
    page.Buffer().append(page.CharRefs(article->content));
    page.EndLongPart();
    page.Buffer().append("</p>\r\n");
  }
  page.AppendHomeLink();
}

}  // namespace wap
