// wap.checklogin: a visitor's login as a member of the site given by the request's Userid. On a
// match the session gets a new id and holds memberid and membername, and the visitor is sent to
// the site's home page; otherwise the page says the login failed. Created and called on one
// thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class MemberLoginPage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
