#include "backoffice/office_request.h"

#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/server.h"
#include "store/audit.h"
#include "wap/framework/page.h"

namespace backoffice {

std::string OfficeRequest::Address() const { return page.Request().ServerVariable("REMOTE_ADDR"); }

bool OfficeRequest::IsPost() const {
  return page.Request().ServerVariable("REQUEST_METHOD") == "POST";
}

std::string OfficeRequest::FormValue(std::string_view name) const {
  return page.Request().Form().Get(name).value_or("");
}

void OfficeRequest::Show(std::string_view name, std::string_view title, View view,
                         std::string_view message, std::string_view error) {
  view.set("title", std::string(title));
  if (!message.empty()) view.set("message", std::string(message));
  if (!error.empty()) view.set("error", std::string(error));
  if (owner) {
    view.set("owner", owner->username);
    view.set("token", owner->token);
  }
  page.Response().Write(RenderPage(page.Server().MapPath("/admin/templates"), name, view));
}

store::AuditActor OfficeRequest::Actor() const { return {owner->userid, Address()}; }

void OfficeRequest::Audit(std::string_view action, std::string_view target) {
  store::RecordAudit(page.Connection(), Actor(), action, target);
}

}  // namespace backoffice
