#include "wap/admin/adminmanage.h"

#include <stdexcept>

#include "platform/text/ascii.h"
#include "wap/admin/admin_context.h"
#include "wap/admin/admin_requests.h"

namespace wap {

void AdminManage::OnStartPage(host::ScriptingContext& context) {
  page_.emplace(context);
  // A failed open has written its message and ended the response; the host page runs nothing more,
  // and an operation called anyway refuses to run without the connection.
  (void)AdminSetUp(*page_);
}

void AdminManage::OnEndPage() { page_.reset(); }

bool AdminManage::Call(std::string_view method) {
  const bool class_action = text::EqualsIgnoreCase(method, "AdminClass_DoAction");
  if (!class_action && !text::EqualsIgnoreCase(method, "CreateSite")) return false;
  if (!page_) throw std::runtime_error("adminmanage: the database connection is not open");
  if (class_action) {
    AdminClassDoAction(*page_);
  } else {
    CreateSite(*page_);
  }
  return true;
}

}  // namespace wap
