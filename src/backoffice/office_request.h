// OfficeRequest: one back-office request as its pages see it: the host's request, response,
// session and server, the site's database opened for this request, the signed-in owner when there
// is one, and the rendering and auditing every page does the same way. One request, one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "backoffice/owner_session.h"
#include "backoffice/page_templates.h"
#include "platform/data/connection.h"
#include "platform/host/objects/scripting_context.h"
#include "store/audit.h"

namespace backoffice {

class OfficeRequest {
 public:
  // The request of `context`, with the site's database opened with the web root's connection
  // settings. Throws what loading the settings or opening the database throws.
  explicit OfficeRequest(host::ScriptingContext& context);
  OfficeRequest(const OfficeRequest&) = delete;
  OfficeRequest& operator=(const OfficeRequest&) = delete;

  host::ScriptingContext& Context() const { return context_; }
  const host::Request& Request() const { return context_.request; }
  host::Response& Response() const { return context_.response; }
  host::Session& Session() const { return context_.session; }
  host::Server& Server() const { return context_.server; }
  host::RateLimiters* Limiters() const { return context_.limiters; }
  data::Connection& Connection() { return connection_; }

  // The client's address, as the host saw it.
  std::string Address() const;
  bool IsPost() const;
  // The form value `name`; "" when missing.
  std::string FormValue(std::string_view name) const;
  // Writes `page` (a template of admin/templates) titled `title` with `view` to the response.
  // The view also gets title, message (a notice kept by Tell in its place), error and, when
  // signed in, owner (the name) and token.
  void Show(std::string_view page, std::string_view title, View view, std::string_view message = "",
            std::string_view error = "");
  // Keeps `notice` (what a change did) for the next page this browser is shown, after the
  // redirect that follows the change.
  void Tell(std::string notice);
  // The notice kept by Tell, forgotten once taken; "" when there is none.
  std::string TakeNotice();
  // The signed-in owner at the client's address, for the audit rows of its changes. Requires:
  // owner.
  store::AuditActor Actor() const;
  // Records `action` on `target` by the signed-in owner. Requires: owner.
  void Audit(std::string_view action, std::string_view target);

  // Set by the guard before a page runs; empty on the front page for a browser not signed in.
  std::optional<SignedInOwner> owner;

 private:
  host::ScriptingContext& context_;
  data::Connection connection_;
};

// The pages; each writes its reply to the response. Requires: for all but Home, a signed-in owner
// whose changing request passed the guard (office.h).
void Home(OfficeRequest& request);            // sign-in form and sign-in, or the dashboard
void ClassesPage(OfficeRequest& request);     // the classes: add, rename, move, delete
void SettingsPage(OfficeRequest& request);    // call number, template, password
void SignOutPage(OfficeRequest& request);     // ends the sign-in on POST
void CreateSitePage(OfficeRequest& request);  // the owner's site folders and entry page, on POST
// The editors of the site's rows (see each page's file).
void ContentsPage(OfficeRequest& request);   // a single-content or news class's texts
void ProductsPage(OfficeRequest& request);   // products, with their pictures
void GuestbookPage(OfficeRequest& request);  // guestbook messages and replies
void MembersPage(OfficeRequest& request);    // the visitors who may log in

}  // namespace backoffice
