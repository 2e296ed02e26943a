// OfficeRequest: one back-office request as its pages see it: the framework's Page (its request,
// response, session and open connection), the signed-in owner when there is one, the client
// address and the templates folder; and the rendering and auditing every page does the same way.
// One request, one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "backoffice/owner_session.h"
#include "backoffice/page_templates.h"
#include "store/audit.h"

namespace wap {
class Page;
}

namespace backoffice {

struct OfficeRequest {
  wap::Page& page;
  std::optional<SignedInOwner> owner;

  // The client's address, as the host saw it.
  std::string Address() const;
  bool IsPost() const;
  // The form value `name`; "" when missing.
  std::string FormValue(std::string_view name) const;
  // Writes `page` (a template of admin/templates) titled `title` with `view` to the response.
  // The view also gets title, message, error and, when signed in, owner (the name) and token.
  void Show(std::string_view page, std::string_view title, View view, std::string_view message = "",
            std::string_view error = "");
  // The signed-in owner at the client's address, for the audit rows of its changes. Requires:
  // owner.
  store::AuditActor Actor() const;
  // Records `action` on `target` by the signed-in owner. Requires: owner.
  void Audit(std::string_view action, std::string_view target);
};

// The pages; each writes its reply to the page's response. Requires: the page's connection is
// open; for all but Home, a signed-in owner whose changing request passed the guard.
void Home(OfficeRequest& request);          // sign-in form and sign-in, or the dashboard
void ClassesPage(OfficeRequest& request);   // the class list, after class management ran
void SettingsPage(OfficeRequest& request);  // call number, template, password
void SignOutPage(OfficeRequest& request);   // ends the sign-in on POST
// The editors of the site's rows (see each page's file).
void ContentsPage(OfficeRequest& request);   // a single-content or news class's texts
void ProductsPage(OfficeRequest& request);   // products, with their pictures
void GuestbookPage(OfficeRequest& request);  // guestbook messages and replies
void MembersPage(OfficeRequest& request);    // the visitors who may log in

}  // namespace backoffice
