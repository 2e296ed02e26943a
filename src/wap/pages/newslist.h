// wap.newslist: the content list: every article of one news class, each linked to its article page.
// Created and called on one thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class NewsListPage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
