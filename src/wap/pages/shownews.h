// wap.shownews: the news article page: an article's time and text under its class name.
// Created and called on one thread by the host.
#pragma once

#include "wap/framework/page_object.h"

namespace wap {

class ArticlePage : public PageObject {
 protected:
  void StartPage(Page& page) override;
};

}  // namespace wap
