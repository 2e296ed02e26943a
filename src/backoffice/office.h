// backoffice.office: the object of the back office's host pages under /admin/. OnStartPage makes
// its Page and opens the database as the administration set-up does (no-cache headers); the host
// page then calls, in this order:
//   Guard        — on every page but the sign-in page: a browser without a signed-in owner is
//                  sent to the sign-in form (and back to this page after it); a changing request
//                  (POST, or a query string with "act") must carry the owner's form token and, when
//                  the browser sent Origin, an Origin naming this request's Host, else it gets 403
//                  and the host page runs nothing more;
//   GuardChange  — as Guard, for a page whose every request changes something (site creation):
//                  a GET, and the way back after signing in, lead to the settings page instead;
//   then one page: Home, ClassesPage, SettingsPage, SignOut, or an editor: ContentsPage,
//   ProductsPage, GuestbookPage, MembersPage; or PreviewPage (a live page in a handset's markup).
// A host page puts the guard before wap.adminmanage's AdminClass_DoAction or CreateSite, whose own
// behaviour stays as it is. OnEndPage closes the database. Called by one thread at a time.
#pragma once

#include <optional>
#include <string_view>

#include "backoffice/owner_session.h"
#include "platform/host/objects/host_object.h"
#include "wap/framework/page.h"

namespace backoffice {

class Office : public host::HostObject {
 public:
  void OnStartPage(host::ScriptingContext& context) override;
  void OnEndPage() override;
  bool Call(std::string_view method) override;

 private:
  // Runs the guard; false when it has answered the request itself (redirect or refusal).
  bool Guard(bool every_request_changes);

  host::ScriptingContext* context_ = nullptr;  // this page's, from OnStartPage to OnEndPage
  std::optional<wap::Page> page_;
  std::optional<SignedInOwner> owner_;
};

// The back office's objects by class name (any letter case): "office". nullptr for another name.
std::unique_ptr<host::HostObject> CreateObject(std::string_view class_name);

}  // namespace backoffice
