#include "site/login.h"

#include <string>

#include "platform/host/request.h"
#include "site/form_support.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/whole_number.h"

namespace site {

void Login::StartPage(host::ScriptingContext& context) {
  if (!wap::InitPage(context)) return;
  wap::PageContext& c = wap::PageContext::Current();
  const std::string userid =
      std::to_string(wap::RequireWholeNumber(c.request->Item("userid"), "userid"));
  wap::SetPageTitle(wap::ToCharRefs("会员登录"));

  const std::string action = MarkupText("checklogin.asp?" + SiteQuery());
  const std::string name_label = wap::ToCharRefs("会员名：");
  const std::string password_label = wap::ToCharRefs("密码：");
  const std::string submit_label = wap::ToCharRefs("登录");
  if (c.markup == wap::Markup::kWml) {
    const std::string go = "<go href=\"" + action +
                           "\" method=\"post\" accept-charset=\"utf-8\">"
                           "<postfield name=\"username\" value=\"$(username)\"/>"
                           "<postfield name=\"password\" value=\"$(password)\"/>"
                           "<postfield name=\"Userid\" value=\"" +
                           userid + "\"/></go>";
    c.page.append("<do type=\"accept\" label=\"" + submit_label + "\">" + go + "</do>\r\n");
    c.page.append("<p>" + name_label +
                  "<input name=\"username\" type=\"text\" maxlength=\"50\"/><br/>\r\n");
    c.page.append(password_label +
                  "<input name=\"password\" type=\"password\" "
                  "maxlength=\"50\"/><br/>\r\n");
    c.page.append("<anchor>" + submit_label + go + "</anchor></p>\r\n");
  } else {
    c.page.append("<form action=\"" + action + "\" method=\"post\" accept-charset=\"utf-8\">\r\n");
    c.page.append("<p>" + name_label +
                  "<input name=\"username\" type=\"text\" maxlength=\"50\" /><br />\r\n");
    c.page.append(password_label +
                  "<input name=\"password\" type=\"password\" "
                  "maxlength=\"50\" /><br />\r\n");
    c.page.append("<input name=\"Userid\" type=\"hidden\" value=\"" + userid + "\" />\r\n");
    c.page.append("<input type=\"submit\" value=\"" + submit_label + "\" /></p>\r\n");
    c.page.append("</form>\r\n");
  }
  wap::AppendHomeLink();
}

}  // namespace site
