// Running adminmanage as a back-office host page does: create it (OnStartPage), call its operations
// while the response is not ended, end it (OnEndPage). Used with PageHarness::Run.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/host/response.h"
#include "platform/host/scripting_context.h"
#include "wap/admin/adminmanage.h"

namespace wap::admin_test {

class BackOfficePage : public host::HostObject {
 public:
  explicit BackOfficePage(std::vector<std::string> operations)
      : operations_(std::move(operations)) {}

  void OnStartPage(host::ScriptingContext& context) override {
    admin_.OnStartPage(context);
    for (const auto& operation : operations_) {
      if (context.response.Ended()) break;  // the host page runs no further statement
      if (!admin_.Call(operation)) ADD_FAILURE() << "no operation " << operation;
    }
  }
  void OnEndPage() override { admin_.OnEndPage(); }

 private:
  AdminManage admin_;
  std::vector<std::string> operations_;
};

// The statements with the engine's own way of starting a transaction shown as "BEGIN".
inline std::vector<std::string> Normalized(std::vector<std::string> statements) {
  for (auto& s : statements) {
    if (s.rfind("BEGIN", 0) == 0) s = "BEGIN";
  }
  return statements;
}

}  // namespace wap::admin_test
