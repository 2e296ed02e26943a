#include "wap/member/checklogin.h"

#include <string>

#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/session.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/sql_text.h"
#include "wap/framework/whole_number.h"
#include "wap/member/home_address.h"

namespace wap {

void Checklogin::StartPage(host::ScriptingContext& context) {
  if (!InitPage(context)) return;
  PageContext& c = PageContext::Current();
  const std::string name = c.request->Form().Get("username").value_or("");
  const std::string password = c.request->Form().Get("password").value_or("");
  const std::string owner = std::to_string(RequireWholeNumber(c.request->Item("Userid"), "Userid"));

  data::Recordset& rs = *c.recordset;
  // A NUL cannot stand in a text literal; such a name or password matches no member.
  const bool comparable =
      name.find('\0') == std::string::npos && password.find('\0') == std::string::npos;
  if (comparable) {
    rs.Open("select * from web_member where m_Name=" + SqlQuote(name) + " And m_id=" + owner +
                " and m_password=" + SqlQuote(password),
            *c.connection);
  }
  if (!comparable || rs.Eof()) {
    SetPageTitle("蓝杉工坊");
    c.page.append("<p>").append(ToCharRefs("登录失败，请重新登录。")).append("</p>");
    AppendHomeLink();
  } else {
    // A new session id before the login is recorded, so that an id planted earlier is worthless.
    c.session->RenewId();
    c.session->Set("memberid", rs.Field("id").ToText());
    c.session->Set("membername", rs.Field("m_name").ToText());
    c.response->Redirect(SiteHomeAddress());
  }
  if (rs.IsOpen()) rs.Close();
}

}  // namespace wap
