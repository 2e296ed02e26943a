// wap.productlist: the product showcase, one product per page with first/previous/next/last links.
// Created and called on one thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class ProductListPage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
