// wap.checklogin: a visitor's login as a member of the site given by the request's Userid. On a
// match the session gets a new id and holds memberid and membername, and the visitor is sent to
// the site's home page; otherwise the page says the login failed. A stored password is a hash
// (verified) or, in rows of older installations, the password itself (compared byte for byte); a
// plain one is replaced by its hash at the member's next successful login.
//
// Failed logins are limited, through the server's rate limiters (none under a host that keeps
// none): a member name of a site after 5 failures within 5 minutes, a client address (REMOTE_ADDR)
// after 10 failures within a minute. A login over either limit gets 429 with Retry-After (the
// seconds until the window lets it in) and a one-line body, and its password is not checked. A
// successful login forgets its name's failures. (No metric counts the refusals yet.) Created and
// called on one thread by the host; the limiters are shared by all threads.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class MemberLoginPage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
