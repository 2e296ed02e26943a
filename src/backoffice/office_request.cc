#include "backoffice/office_request.h"

#include <utility>

#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/server.h"
#include "platform/host/objects/session.h"
#include "store/audit.h"
#include "wap/framework/db_settings.h"

namespace backoffice {

OfficeRequest::OfficeRequest(host::ScriptingContext& context)
    : context_(context), connection_(context.connections) {
  const wap::DBSettings settings = wap::LoadDBSettings(context.application, context.server);
  connection_.Open(data::ConnectionSettings{settings.server, settings.user, settings.password,
                                            settings.database});
}

std::string OfficeRequest::Address() const { return Request().ServerVariable("REMOTE_ADDR"); }

bool OfficeRequest::IsPost() const { return Request().ServerVariable("REQUEST_METHOD") == "POST"; }

std::string OfficeRequest::FormValue(std::string_view name) const {
  return Request().Form().Get(name).value_or("");
}

void OfficeRequest::Show(std::string_view name, std::string_view title, View view,
                         std::string_view message, std::string_view error) {
  view.set("title", std::string(title));
  // What the change before the redirect did says more than the page's own message.
  const std::string notice = TakeNotice();
  if (!notice.empty()) message = notice;
  if (!message.empty()) view.set("message", std::string(message));
  if (!error.empty()) view.set("error", std::string(error));
  if (owner) {
    view.set("owner", owner->username);
    view.set("token", owner->token);
  }
  Response().Write(RenderPage(Server().MapPath("/admin/templates"), name, view));
}

namespace {
constexpr std::string_view kNoticeKey = "office_notice";
}  // namespace

void OfficeRequest::Tell(std::string notice) { Session().Set(kNoticeKey, std::move(notice)); }

std::string OfficeRequest::TakeNotice() {
  std::optional<std::string> notice = Session().Get(kNoticeKey);
  if (!notice || notice->empty()) return "";
  Session().Set(kNoticeKey, "");
  return std::move(*notice);
}

store::AuditActor OfficeRequest::Actor() const { return {owner->userid, Address()}; }

void OfficeRequest::Audit(std::string_view action, std::string_view target) {
  store::RecordAudit(connection_, Actor(), action, target);
}

}  // namespace backoffice
