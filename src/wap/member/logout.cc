#include "wap/member/logout.h"

#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/session.h"
#include "wap/framework/member_login.h"
#include "wap/member/home_address.h"

namespace wap {

void MemberLogoutPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  EndMemberLogin(page.Session());
  page.Response().Redirect(SiteHomeAddress(page.Application(), page.Request()));
}

}  // namespace wap
