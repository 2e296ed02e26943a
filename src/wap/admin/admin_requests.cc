#include "wap/admin/admin_requests.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/fs/file_system_object.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/request_error.h"
#include "platform/host/objects/server.h"
#include "platform/host/objects/session.h"
#include "store/audit.h"
#include "store/classes.h"
#include "wap/admin/admin_context.h"
#include "wap/admin/site_creation.h"
#include "wap/framework/page.h"
#include "wap/framework/small_int.h"

namespace wap {
namespace {

// The form value `name` as posted; a NUL that its cleaned name would hold is the request's own
// fault: a 400, not a server error.
std::string FormClassName(const host::Request& request, std::string_view name) {
  std::string posted = request.Form().Get(name).value_or("");
  if (store::CleanClassName(posted).find('\0') != std::string::npos) {
    throw host::RequestError("the class name holds a NUL character");
  }
  return posted;
}

// The member at the client's address, for the audit row of a change made for it.
store::AuditActor Actor(const Page& page, std::int64_t userid) {
  return {userid, page.Request().ServerVariable("REMOTE_ADDR")};
}

}  // namespace

void AdminClassDoAction(Page& page) {
  data::Connection& connection = AdminConnection(page);
  const host::Request& request = page.Request();
  const std::optional<std::string> submit = request.Form().Get("submit");
  if (submit == "新建") {
    const std::string name = FormClassName(request, "classname");
    if (!store::CleanClassName(name).empty()) {
      const std::int64_t userid = SessionUserId(page.Session());
      const int type = ToSmallInt(request.Form().Get("type"), "type");
      const int sortid = ToSmallInt(request.Form().Get("sortid"), "sortid");
      const store::AuditActor actor = Actor(page, userid);
      store::AddClass(connection, userid, name, type, sortid, &actor);
    }
  }
  if (submit == "保存") {
    const std::string name = FormClassName(request, "edtclassname");
    if (!store::CleanClassName(name).empty()) {
      const std::int64_t userid = SessionUserId(page.Session());
      const int sortid = ToSmallInt(request.Form().Get("edtsortid"), "edtsortid");
      const int id = ToSmallInt(request.Item("id"), "id");
      const store::AuditActor actor = Actor(page, userid);
      store::RenameClass(connection, userid, id, name, sortid, &actor);
    }
  }
  if (request.QueryString().Get("act") == "del") {
    const std::int64_t userid = SessionUserId(page.Session());
    const int id = ToSmallInt(request.QueryString().Get("id"), "id");
    const store::AuditActor actor = Actor(page, userid);
    store::DeleteClass(connection, userid, id, &actor);
  }
}

void CreateSite(Page& page) {
  data::Connection& connection = AdminConnection(page);
  const std::int64_t userid = SessionUserId(page.Session());
  const std::string name = page.Session().Get("UserName").value_or("");
  fso::FileSystemObject files;
  CreateMemberSite(connection, files, page.Server().MapPath("/"), page.Server().MapPath("waphome"),
                   userid, name);
}

}  // namespace wap
