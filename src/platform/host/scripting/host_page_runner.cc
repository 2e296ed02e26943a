#include "platform/host/scripting/host_page_runner.h"

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host/objects/application.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/server.h"
#include "platform/host/objects/session.h"
#include "platform/text/ascii.h"

namespace host {
namespace {

namespace ps = page_statement;

struct CreatedObject {
  std::string variable;
  std::unique_ptr<HostObject> object;
};

std::string Where(const HostPage& page, const PageStatement& statement) {
  return page.file_name + ":" + std::to_string(statement.line) + ": ";
}

std::string Describe(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an exception that is not a std::exception";
  }
}

class Run {
 public:
  Run(const HostPage& page, ScriptingContext& context) : page_(page), context_(context) {}

  // Runs the statements; throws what they throw.
  void Statements() {
    for (const PageStatement& statement : page_.statements) {
      if (context_.response.Ended()) return;
      std::visit([&](const auto& action) { Do(action, statement); }, statement.action);
    }
  }

  // Calls every OnEndPage in creation order. The first failure goes to `first_failure` unless it
  // holds one already; the others are reported.
  void EndPages(std::exception_ptr& first_failure, const SecondaryFailureReport& report) {
    for (CreatedObject& created : objects_) {
      try {
        created.object->OnEndPage();
      } catch (...) {
        if (!first_failure) {
          first_failure = std::current_exception();
        } else if (report) {
          report(page_.file_name + ": OnEndPage of " + created.variable +
                 " failed after an earlier failure: " + Describe(std::current_exception()));
        }
      }
    }
  }

 private:
  void Do(const ps::Text& action, const PageStatement&) { context_.response.Write(action.text); }
  void Do(const ps::Write& action, const PageStatement&) { context_.response.Write(action.text); }
  void Do(const ps::Redirect& action, const PageStatement&) {
    context_.response.Redirect(action.url);
  }
  void Do(const ps::SetSession& action, const PageStatement&) {
    context_.session.Set(action.name, action.value);
  }
  void Do(const ps::SetApplication& action, const PageStatement&) {
    context_.application.Set(action.name, action.value);
  }
  void Do(const ps::CreateObject& action, const PageStatement& statement) {
    std::unique_ptr<HostObject> object;
    try {
      object = context_.server.CreateObject(action.prog_id);
    } catch (const std::exception& e) {
      throw std::runtime_error(Where(page_, statement) + e.what());
    }
    HostObject& created = *object;
    // Registered before OnStartPage, so its OnEndPage runs (and releases what OnStartPage took)
    // even when OnStartPage fails.
    objects_.push_back({action.variable, std::move(object)});
    created.OnStartPage(context_);
  }
  void Do(const ps::Call& action, const PageStatement& statement) {
    HostObject* target = nullptr;
    for (const CreatedObject& created : objects_) {
      if (text::EqualsIgnoreCase(created.variable, action.variable)) target = created.object.get();
    }
    if (target == nullptr) {
      throw std::runtime_error(Where(page_, statement) + "'" + action.variable +
                               "' is not an object");
    }
    if (!target->Call(action.method)) {
      throw std::runtime_error(Where(page_, statement) + "the object '" + action.variable +
                               "' has no operation '" + action.method + "'");
    }
  }

  const HostPage& page_;
  ScriptingContext& context_;
  std::vector<CreatedObject> objects_;  // creation order; a reassigned variable keeps both
};

}  // namespace

void RunHostPage(const HostPage& page, ScriptingContext& context,
                 const SecondaryFailureReport& report_secondary) {
  Run run(page, context);
  std::exception_ptr failure;
  try {
    run.Statements();
  } catch (...) {
    // Held, not handled: the objects' OnEndPage must still run; it is rethrown below.
    failure = std::current_exception();
  }
  run.EndPages(failure, report_secondary);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace host
