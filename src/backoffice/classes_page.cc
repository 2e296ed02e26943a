// /admin/class.asp: the owner's classes, each with its kind and position, with forms to add one
// and to rename, move or delete one chosen from the list. The host page has run the class
// management (wap.adminmanage's AdminClass_DoAction) before this page: a changing request is
// recorded in the audit trail and answered with a redirect to the list.
#include <string>

#include "backoffice/editor_support.h"
#include "backoffice/office_request.h"
#include "backoffice/site_classes.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "wap/framework/page.h"

namespace backoffice {
namespace {

// Records what the class management did for this request, if anything.
void AuditChange(OfficeRequest& request) {
  const host::Request& http = request.page.Request();
  const std::string submit = request.FormValue("submit");
  if (submit == "新建") {
    request.Audit("新建栏目", "wap_classes " + request.FormValue("classname"));
  } else if (submit == "保存") {
    request.Audit("修改栏目", "wap_classes " + http.Item("id").value_or(""));
  }
  if (http.QueryString().Get("act") == "del") {
    request.Audit("删除栏目", "wap_classes " + http.QueryString().Get("id").value_or(""));
  }
}

}  // namespace

void ClassesPage(OfficeRequest& request) {
  if (request.IsPost()) {
    AuditChange(request);
    request.page.Response().Redirect("/admin/class.asp");
    return;
  }
  ViewList rows;
  for (const SiteClass& c : ListClasses(request.page.Connection(), request.owner->userid)) {
    View row;
    row.set("id", std::to_string(c.id));
    row.set("name", c.name);
    row.set("kind", KindLabel(c.type));
    row.set("sortid", std::to_string(c.sortid));
    if (const std::string editor = EditorAddress(c); !editor.empty()) row.set("editor", editor);
    rows.push_back(row);
  }
  View view;
  view.set("has_classes", !rows.empty());
  view.set("classes", rows);
  request.Show("classes", "栏目管理", view);
}

}  // namespace backoffice
