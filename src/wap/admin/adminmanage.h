// adminmanage: the back office's object. A back-office host page creates it as "wap.adminmanage";
// OnStartPage runs the administration set-up (host objects, no-cache headers, an open connection),
// the page then calls AdminClass_DoAction (class management) or CreateSite (site creation), and
// OnEndPage runs the administration end. It writes nothing to the response (apart from OpenDB's
// failure message). Created and called on one thread.
#pragma once

#include <string_view>

#include "platform/host/host_object.h"
#include "wap/framework/page_context.h"

namespace wap {

class AdminManage : public host::HostObject {
 public:
  void OnStartPage(host::ScriptingContext& context) override;
  void OnEndPage() override;
  // "AdminClass_DoAction" or "CreateSite" (any letter case); false for any other name. Throws what
  // the operation throws.
  bool Call(std::string_view method) override;

 private:
  PageContext context_;
};

}  // namespace wap
