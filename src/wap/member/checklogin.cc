#include "wap/member/checklogin.h"

#include <string>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/application.h"
#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/session.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/whole_number.h"
#include "wap/member/home_address.h"

namespace wap {

void MemberLoginPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const std::string name = page.Request().Form().Get("username").value_or("");
  const std::string password = page.Request().Form().Get("password").value_or("");
  const std::int64_t owner = RequireWholeNumber(page.Request().Item("Userid"), "Userid");

  data::Recordset& rs = page.Recordset();
  // A NUL cannot travel as text to every engine; such a name or password matches no member.
  const bool comparable =
      name.find('\0') == std::string::npos && password.find('\0') == std::string::npos;
  if (comparable) {
    rs.Open("select * from web_member where m_Name=? And m_id=? and m_password=?",
            page.Connection(), data::Params{name, owner, password});
  }
  if (!comparable || rs.Eof()) {
    page.SetPageTitle("蓝杉工坊");
    page.Buffer().append("<p>").append(ToCharRefs("登录失败，请重新登录。")).append("</p>");
    page.AppendHomeLink();
  } else {
    // A new session id before the login is recorded, so that an id planted earlier is worthless.
    page.Session().RenewId();
    page.Session().Set("memberid", rs.Field("id").ToText());
    page.Session().Set("membername", rs.Field("m_name").ToText());
    page.Response().Redirect(SiteHomeAddress(page.Application(), page.Request()));
  }
  if (rs.IsOpen()) rs.Close();
}

}  // namespace wap
