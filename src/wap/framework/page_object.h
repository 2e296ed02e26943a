// PageObject: the base of the component's page classes (main, newslist, …, checklogin, logout).
// It owns the page's PageContext and installs it around each entry point the host calls:
// OnStartPage runs the page's StartPage, OnEndPage runs EndPage and nothing else. Created and
// called on one thread.
#pragma once

#include "platform/host/host_object.h"
#include "wap/framework/page_context.h"

namespace wap {

class PageObject : public host::HostObject {
 public:
  void OnStartPage(host::ScriptingContext& context) final;
  void OnEndPage() final;

 protected:
  // Renders the page. The first call is InitPage(context); when InitPage returns false the page
  // does nothing more. Runs with this object's context installed; throws what the page throws.
  virtual void StartPage(host::ScriptingContext& context) = 0;

 private:
  PageContext context_;
};

}  // namespace wap
