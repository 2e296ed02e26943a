#include "wap/framework/page_object.h"

#include "wap/framework/page_frame.h"

namespace wap {

void PageObject::OnStartPage(host::ScriptingContext& context) {
  PageContextScope scope(context_);
  StartPage(context);
}

void PageObject::OnEndPage() {
  PageContextScope scope(context_);
  EndPage();
}

}  // namespace wap
