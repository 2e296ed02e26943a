// /admin/class.asp: the owner's classes, each with its kind and position, with forms to add one
// and to rename, move or delete one chosen from the list. The host page has run the class
// management (wap.adminmanage's AdminClass_DoAction) before this page, which recorded each change
// that happened in the audit trail with the change itself: a changing request is answered here
// with a redirect to the list.
#include <string>

#include "backoffice/editor_support.h"
#include "backoffice/office_request.h"
#include "backoffice/site_classes.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "wap/framework/page.h"

namespace backoffice {

void ClassesPage(OfficeRequest& request) {
  if (request.IsPost()) {
    request.page.Response().Redirect("/admin/class.asp");
    return;
  }
  ViewList rows;
  for (const store::SiteClass& c :
       store::ClassesOf(request.page.Connection(), request.owner->userid)) {
    View row;
    row.set("id", std::to_string(c.id));
    row.set("name", c.name);
    row.set("kind", KindLabel(c.kind));
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
