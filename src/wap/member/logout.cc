#include "wap/member/logout.h"

#include "platform/host/response.h"
#include "platform/host/session.h"
#include "wap/framework/page_frame.h"
#include "wap/member/home_address.h"

namespace wap {

void Logout::StartPage(host::ScriptingContext& context) {
  if (!InitPage(context)) return;
  PageContext& c = PageContext::Current();
  c.session->Set("memberid", "");
  c.session->Set("membername", "");
  c.response->Redirect(SiteHomeAddress());
}

}  // namespace wap
