// wap.logout: empties the session values memberid and membername and sends the visitor to the
// site's home page. Created and called on one thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class MemberLogoutPage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
