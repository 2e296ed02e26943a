#include "wap/pages/main.h"

#include <string>

#include "platform/fs/file_system_object.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/server.h"
#include "store/class_kind.h"
#include "store/classes.h"
#include "store/settings.h"
#include "wap/framework/folder_name.h"
#include "wap/framework/whole_number.h"

namespace wap {

void HomePage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  page.SetPageTitle("首页");
  const std::int64_t userid = RequireWholeNumber(page.Request().Item("userid"), "userid");
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
  // The call number is read once, when a call entry needs it.
  std::optional<std::string> call_number;
  for (const store::SiteClass& c : store::ClassesOf(page.Connection(), userid)) {
    if (!c.kind) continue;
    const std::string name = page.CharRefs(c.name);
    std::string& p = page.Buffer();
    p.append("<p align=\"left\"><a href=\"");
    switch (*c.kind) {
      case store::ClassKind::kSingleContent:
      case store::ClassKind::kNews:
        p.append(domain)
            .append(c.kind == store::ClassKind::kSingleContent ? "/wap/showcontent.asp?"
                                                               : "/wap/newslist.asp?")
            .append(page.LinkSuffix())
            .append("&amp;id=")
            .append(std::to_string(c.id))
            .append("&amp;classname=")
            .append(name)
            .append("\">");
        break;
      case store::ClassKind::kProducts:
      case store::ClassKind::kGuestbook:
        p.append(domain)
            .append(c.kind == store::ClassKind::kProducts ? "/wap/productlist.asp?"
                                                          : "/wap/lyb.asp?")
            .append(page.LinkSuffix())
            .append("&amp;\" title=\"\">");
        break;
      case store::ClassKind::kCallNumber:
        if (!call_number) {
          const auto setting = store::SettingOf(page.Connection(), userid);
          call_number = setting ? setting->dircall : "";
        }
        p.append("wtai://wp/mc;").append(page.Attribute(*call_number)).append("\" title=\"\">");
        break;
    }
    p.append(name).append("</a></p>\r\n");
  }
  page.EndLongPart();
}

}  // namespace wap
