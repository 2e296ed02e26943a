// site.login: the member-login form of a member site (/wap/login.asp), in the page's markup. It
// posts the visitor's username and password, with the site's Userid, to checklogin.asp, whose
// address carries the site's userid, username and siteid so that the answer page stays in the
// member's site. Created and called on one thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace site {

class LoginFormPage : public wap::PageObject {
 protected:
  // The site's userid must be a whole number, else host::RequestError (status 400).
  void StartPage(wap::Page& page) override;
};

}  // namespace site
