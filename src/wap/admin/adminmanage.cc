#include "wap/admin/adminmanage.h"

#include "platform/text/ascii.h"
#include "wap/admin/admin_context.h"
#include "wap/admin/admin_requests.h"

namespace wap {

void AdminManage::OnStartPage(host::ScriptingContext& context) {
  PageContextScope scope(context_);
  // A failed open has written its message and ended the response; the host page runs nothing more,
  // and an operation called anyway refuses to run without the connection.
  (void)AdminSetUp(context);
}

void AdminManage::OnEndPage() {
  PageContextScope scope(context_);
  AdminEnd();
}

bool AdminManage::Call(std::string_view method) {
  PageContextScope scope(context_);
  if (text::EqualsIgnoreCase(method, "AdminClass_DoAction")) {
    AdminClassDoAction();
    return true;
  }
  if (text::EqualsIgnoreCase(method, "CreateSite")) {
    CreateSite();
    return true;
  }
  return false;
}

}  // namespace wap
