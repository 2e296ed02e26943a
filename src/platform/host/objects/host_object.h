// HostObject: an object that host pages create by name (Server.CreateObject("LIB.CLASS")). The host
// calls OnStartPage when a host page creates it, the page's own NAME.METHOD statements through
// Call, and OnEndPage when the page ends, in creation order. Created and used on one thread.
#pragma once

#include <string_view>

namespace host {

struct ScriptingContext;

class HostObject {
 public:
  virtual ~HostObject() = default;

  // Called once, right after a host page created the object. `context` outlives OnEndPage.
  virtual void OnStartPage(ScriptingContext& context) { (void)context; }
  // Called once when the page ends, also when the response was ended or redirected.
  virtual void OnEndPage() {}
  // Runs the public operation `method` (any letter case) without arguments. Returns false when the
  // object has no such operation; throws what the operation throws.
  virtual bool Call(std::string_view method) {
    (void)method;
    return false;
  }
};

}  // namespace host
