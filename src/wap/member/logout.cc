#include "wap/member/logout.h"

#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/session.h"
#include "wap/member/home_address.h"

namespace wap {

void MemberLogoutPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  page.Session().Set("memberid", "");
  page.Session().Set("membername", "");
  page.Response().Redirect(SiteHomeAddress(page.Application(), page.Request()));
}

}  // namespace wap
