// wap.main: the site home page: the member's logo and one line per class, in display order.
// Created and called on one thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class HomePage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
