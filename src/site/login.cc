#include "site/login.h"

#include <string>

#include "platform/host/objects/request.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/site_query.h"
#include "wap/framework/whole_number.h"

namespace site {

void LoginFormPage::StartPage(wap::Page& page) {
  if (!page.InitPage()) return;
  const std::string userid =
      std::to_string(wap::RequireWholeNumber(page.Request().Item("userid"), "userid"));
  page.SetPageTitle(wap::ToCharRefs("会员登录"));

  const std::string action = page.Attribute("checklogin.asp?" + wap::SiteQuery(page.Request()));
  const std::string name_label = wap::ToCharRefs("会员名：");
  const std::string password_label = wap::ToCharRefs("密码：");
  const std::string submit_label = wap::ToCharRefs("登录");
  if (page.IsWml()) {
    const std::string go = "<go href=\"" + action +
                           "\" method=\"post\" accept-charset=\"utf-8\">"
                           "<postfield name=\"username\" value=\"$(username)\"/>"
                           "<postfield name=\"password\" value=\"$(password)\"/>"
                           "<postfield name=\"Userid\" value=\"" +
                           userid + "\"/></go>";
    page.Buffer().append("<do type=\"accept\" label=\"" + submit_label + "\">" + go + "</do>\r\n");
    page.Buffer().append("<p>" + name_label +
                         "<input name=\"username\" type=\"text\" maxlength=\"50\"/><br/>\r\n");
    page.Buffer().append(password_label +
                         "<input name=\"password\" type=\"password\" "
                         "maxlength=\"50\"/><br/>\r\n");
    page.Buffer().append("<anchor>" + submit_label + go + "</anchor></p>\r\n");
  } else {
    page.Buffer().append("<form action=\"" + action +
                         "\" method=\"post\" accept-charset=\"utf-8\">\r\n");
    page.Buffer().append("<p>" + name_label +
                         "<input name=\"username\" type=\"text\" maxlength=\"50\" /><br />\r\n");
    page.Buffer().append(password_label +
                         "<input name=\"password\" type=\"password\" "
                         "maxlength=\"50\" /><br />\r\n");
    page.Buffer().append("<input name=\"Userid\" type=\"hidden\" value=\"" + userid + "\" />\r\n");
    page.Buffer().append("<input type=\"submit\" value=\"" + submit_label + "\" /></p>\r\n");
    page.Buffer().append("</form>\r\n");
  }
  page.AppendHomeLink();
}

}  // namespace site
