// adminmanage: the back office's object. A back-office host page creates it as "wap.adminmanage";
// OnStartPage makes its Page and runs the administration set-up (no-cache headers, an open
// connection), the page then calls AdminClass_DoAction (class management) or CreateSite (site
// creation), and OnEndPage closes the database and releases the Page. It writes nothing to the
// response (apart from OpenDB's failure message). Called by one thread at a time.
#pragma once

#include <optional>
#include <string_view>

#include "platform/host/objects/host_object.h"
#include "wap/framework/page.h"

namespace wap {

class AdminManage : public host::HostObject {
 public:
  void OnStartPage(host::ScriptingContext& context) override;
  void OnEndPage() override;
  // "AdminClass_DoAction" or "CreateSite" (any letter case); false for any other name. Throws what
  // the operation throws, and std::runtime_error when OnStartPage did not run.
  bool Call(std::string_view method) override;

 private:
  std::optional<Page> page_;
};

}  // namespace wap
