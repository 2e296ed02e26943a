// PageObject: the base of the page classes of the component (HomePage, NewsListPage, …) and of the
// surrounding site. OnStartPage makes the object's Page over the request's host objects and runs
// the page's StartPage; OnEndPage runs EndPage and releases the Page. Called by one thread at a
// time.
#pragma once

#include <optional>

#include "platform/host/objects/host_object.h"
#include "wap/framework/page.h"

namespace wap {

class PageObject : public host::HostObject {
 public:
  void OnStartPage(host::ScriptingContext& context) final {
    page_.emplace(context);
    StartPage(*page_);
  }
  void OnEndPage() final {
    if (!page_) return;
    page_->EndPage();
    page_.reset();
  }

 protected:
  // Renders the page. The first call is page.InitPage(); when it returns false the page does
  // nothing more. Throws what the page throws.
  virtual void StartPage(Page& page) = 0;

 private:
  std::optional<Page> page_;
};

}  // namespace wap
