// wap.showcontent: the single-content page: the text of a class's first content row.
// Created and called on one thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class ContentPage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
