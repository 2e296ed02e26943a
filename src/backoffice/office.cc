#include "backoffice/office.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "backoffice/handset_preview.h"
#include "backoffice/office_request.h"
#include "backoffice/same_origin.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/text/ascii.h"
#include "platform/text/percent.h"
#include "wap/admin/admin_context.h"

namespace backoffice {
namespace {

// What every back-office reply tells the browser, whatever the page writes next: never shown in
// a frame of any site (no clickjacking of the owner's forms), no guessing of the content type,
// and nothing loaded but this site's own pictures and style sheets, no script and no plug-in,
// forms posted only here. Inline styles stay allowed: the layout template, which operators
// restyle, carries its style sheet inline, and a hash of it would break at their first edit.
constexpr std::pair<std::string_view, std::string_view> kOfficeHeaders[] = {
    {"X-Frame-Options", "DENY"},
    {"X-Content-Type-Options", "nosniff"},
    {"Content-Security-Policy",
     "default-src 'self'; script-src 'none'; object-src 'none'; style-src 'self' "
     "'unsafe-inline'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'"},
};

}  // namespace

void Office::OnStartPage(host::ScriptingContext& context) {
  context_ = &context;
  page_.emplace(context);
  for (const auto& [name, value] : kOfficeHeaders) page_->Response().AddHeader(name, value);
  // A failed open has written its message and ended the response; the host page runs nothing
  // more.
  (void)wap::AdminSetUp(*page_);
}

void Office::OnEndPage() {
  page_.reset();
  context_ = nullptr;
}

bool Office::Guard(bool every_request_changes) {
  const host::Request& request = page_->Request();
  host::Response& response = page_->Response();
  owner_ = OwnerSession(page_->Session()).Current(OwnerSession::Clock::now());
  if (!owner_) {
    // Back to this page after the sign-in; for site creation, to the settings page that offers it.
    const std::string back =
        every_request_changes ? "/admin/settings.asp" : request.ServerVariable("SCRIPT_NAME");
    response.Redirect("/admin/?back=" + text::PercentEncode(back));
    return false;
  }
  const bool post = request.ServerVariable("REQUEST_METHOD") == "POST";
  if (every_request_changes && !post) {
    response.Redirect("/admin/settings.asp");
    return false;
  }
  if (!post && !request.QueryString().Get("act")) return true;
  const std::string origin = request.ServerVariable("HTTP_ORIGIN");
  if (!origin.empty() && !OriginMatchesHost(origin, request.ServerVariable("HTTP_HOST"))) {
    response.Refuse(403, "refused: the request comes from another site");
    return false;
  }
  if (!TokenMatches(owner_->token, request.Form().Get("token").value_or(""))) {
    response.Refuse(403, "refused: the form is stale or not from this site; reload the page");
    return false;
  }
  return true;
}

bool Office::Call(std::string_view method) {
  using PageFunction = void (*)(OfficeRequest&);
  constexpr std::pair<std::string_view, PageFunction> kPages[] = {
      {"Home", &Home},
      {"ClassesPage", &ClassesPage},
      {"SettingsPage", &SettingsPage},
      {"SignOut", &SignOutPage},
      {"ContentsPage", &ContentsPage},
      {"ProductsPage", &ProductsPage},
      {"GuestbookPage", &GuestbookPage},
      {"MembersPage", &MembersPage},
  };
  const bool guard = text::EqualsIgnoreCase(method, "Guard");
  const bool guard_change = text::EqualsIgnoreCase(method, "GuardChange");
  const bool preview = text::EqualsIgnoreCase(method, "PreviewPage");
  PageFunction page = nullptr;
  for (const auto& [name, run] : kPages) {
    if (text::EqualsIgnoreCase(name, method)) page = run;
  }
  if (!guard && !guard_change && !preview && page == nullptr) return false;
  if (!page_) throw std::runtime_error("backoffice.office: the page did not start");
  if (page_->Response().Ended()) return true;
  if (guard || guard_change) {
    (void)Guard(guard_change);
    return true;
  }
  if (page != &Home && !owner_) {  // every page but Home, the preview included
    throw std::runtime_error("backoffice.office: " + std::string(method) +
                             " runs only after Guard");
  }
  OfficeRequest request{*page_, owner_};
  preview ? PreviewPage(request, *context_) : page(request);
  return true;
}

std::unique_ptr<host::HostObject> CreateObject(std::string_view class_name) {
  if (text::EqualsIgnoreCase(class_name, "office")) return std::make_unique<Office>();
  return nullptr;
}

}  // namespace backoffice
