#include "wap/pages/showcontent.h"

#include <string>

#include "platform/host/objects/request.h"
#include "store/contents.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/small_int.h"

namespace wap {

void ContentPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const std::int64_t id = ToSmallInt(page.Request().Item("id"), "id");
  const std::optional<store::Content> content = store::FirstContentOfClass(page.Connection(), id);
  std::string text;
  if (!content) {
    page.SetPageTitle(page.CharRefs(page.Request().Item("classname").value_or("")));
    text = ToCharRefs("没有相关内容");
  } else {
    page.SetPageTitle(page.CharRefs(content->classname));
    text = page.CharRefs(content->content);
  }
  page.Buffer().append("<p align=\"left\">");
  page.BeginLongPart(
      LongPartKind::kText,
      "/wap/showcontent.asp?" + page.LinkSuffix() +
          "&amp;id=" + page.Attribute(page.Request().Item("id").value_or("")) +
          "&amp;classname=" + page.CharRefs(page.Request().Item("classname").value_or("")));
  page.Buffer().append(text);
  page.EndLongPart();
  page.Buffer().append("</p>\r\n");
  page.AppendHomeLink();
}

}  // namespace wap
