// wap.lyb: the guestbook, one message per page with the owner's reply, navigation and the
// new-message link. Created and called on one thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class GuestbookPage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
