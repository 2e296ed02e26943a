#include "wap/member/logout.h"

#include "platform/host/application.h"
#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/session.h"
#include "wap/member/home_address.h"

namespace wap {

void MemberLogoutPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  page.Session().Set("memberid", "");
  page.Session().Set("membername", "");
  page.Response().Redirect(SiteHomeAddress(page.Application(), page.Request()));
}

}  // namespace wap
