#include "backoffice/office.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "backoffice/editor_support.h"
#include "backoffice/handset_preview.h"
#include "backoffice/office_request.h"
#include "backoffice/same_origin.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/request_error.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/service_unavailable.h"
#include "platform/text/ascii.h"
#include "platform/text/percent.h"
#include "wap/framework/whole_number.h"

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

// Who may reach a page.
enum class Guard {
  kNone,          // the front page: anyone
  kSignedIn,      // a signed-in owner; a changing request with the token, from this site
  kEveryRequest,  // as kSignedIn, and only by POST: every request changes something
};

// Sends the browser no caching and the headers above.
void SetOfficeHeaders(host::Response& response) {
  response.SetExpires(0);
  response.SetExpiresAbsolute(std::chrono::system_clock::now() - std::chrono::hours(24));
  response.AddHeader("pragma", "no-cache");
  response.AddHeader("cache-control", "private");
  response.SetCacheControl("no-cache");
  for (const auto& [name, value] : kOfficeHeaders) response.AddHeader(name, value);
}

// Runs the guard; false when it has answered the request itself (redirect or refusal).
bool PassesGuard(OfficeRequest& request, Guard guard) {
  const host::Request& asked = request.Request();
  host::Response& response = request.Response();
  request.owner = OwnerSession(request.Session())
                      .CurrentAccount(OwnerSession::Clock::now(), request.Connection());
  if (guard == Guard::kNone) return true;
  const bool every_request_changes = guard == Guard::kEveryRequest;
  if (!request.owner) {
    const std::string back =
        every_request_changes ? "/admin/settings.asp" : asked.ServerVariable("SCRIPT_NAME");
    response.Redirect("/admin/?back=" + text::PercentEncode(back));
    return false;
  }
  if (every_request_changes && !request.IsPost()) {
    response.Redirect("/admin/settings.asp");
    return false;
  }
  if (!request.IsPost() && !asked.QueryString().Get("act")) return true;
  const std::string origin = asked.ServerVariable("HTTP_ORIGIN");
  if (!origin.empty() && !OriginMatchesHost(origin, asked.ServerVariable("HTTP_HOST"))) {
    RefuseForeignOrigin(request);
    return false;
  }
  if (!TokenMatches(request.owner->token, asked.Form().Get("token").value_or(""))) {
    Refusal(request, 403,
            "这个表单已经过期，或者不是从本站的页面提交的，所以没有保存。请重新打开页面再试。",
            asked.ServerVariable("SCRIPT_NAME"), "重新打开这一页");
    return false;
  }
  return true;
}

host::NativePage OfficePage(Guard guard, void (*page)(OfficeRequest&)) {
  return [guard, page](host::ScriptingContext& context) {
    SetOfficeHeaders(context.response);
    OfficeRequest request(context);
    try {
      if (PassesGuard(request, guard)) page(request);
    } catch (const host::RequestError&) {
      // A value the page could not take; what was shown so far is no answer.
      (void)context.response.TakeBody();
      Refusal(request, 400, "提交的内容无法处理，没有保存。请返回上一页检查后再试。",
              context.request.ServerVariable("SCRIPT_NAME"), "重新打开这一页");
    } catch (const host::ServiceUnavailable& busy) {
      // The password hashing queue is full: nothing was done; the owner may simply try again.
      const auto seconds = std::max<long long>(busy.RetryAfter().count(), 1);
      (void)context.response.TakeBody();
      context.response.AddHeader("Retry-After", std::to_string(seconds));
      Refusal(request, 503,
              "服务器正忙，这次没有处理。请 " + std::to_string(seconds) + " 秒后再试。",
              context.request.ServerVariable("SCRIPT_NAME"), "重新打开这一页");
    }
  };
}


// /admin/toolarge.asp: what an owner sees when a form was too large to be taken (query: limit,
// the bytes allowed; back, the page the form was on).
void TooLargePage(OfficeRequest& request) {
  const auto& query = request.Request().QueryString();
  const auto limit = wap::ParseWholeNumber(query.Get("limit").value_or(""));
  const std::int64_t megabytes = std::max<std::int64_t>(1, limit.value_or(0) / (1024 * 1024));
  Refusal(request, 413,
          "提交的内容太大，没有保存：每次最多 " + std::to_string(megabytes) +
              " MB。手机拍的照片一般不会这么大；请换一张图片，或者先把它缩小，再重新提交。",
          OfficePathOr(query.Get("back").value_or(""), "/admin/"), "回到刚才的页面");
}

}  // namespace

std::optional<host::HttpReply> AnswerTooLarge(host::RequestDispatcher& dispatcher,
                                              const host::HttpRequestData& head,
                                              const host::HttpRefusal& refusal) {
  const std::string path(host::PathOf(head.target));
  if (!path.starts_with("/admin/") && path != "/createsite.asp") return std::nullopt;
  try {
    host::HttpRequestData shown = head;
    shown.method = "GET";
    shown.target = "/admin/toolarge.asp?limit=" + std::to_string(refusal.limit) + "&back=" +
                   text::PercentEncode(path == "/createsite.asp" ? "/admin/settings.asp" : path);
    std::erase_if(shown.headers, [](const auto& header) {
      return text::EqualsIgnoreCase(header.first, "Content-Type") ||
             text::EqualsIgnoreCase(header.first, "Content-Length") ||
             text::EqualsIgnoreCase(header.first, "Transfer-Encoding");
    });
    host::HttpReply reply = dispatcher.Handle(shown);
    if (reply.status == 200) reply.status = refusal.status;
    return reply;
  } catch (...) {
    return std::nullopt;  // the server sends its one line instead
  }
}

host::NativePages Pages() {
  return {
      {"/admin/index.asp", OfficePage(Guard::kNone, &Home)},
      {"/admin/class.asp", OfficePage(Guard::kSignedIn, &ClassesPage)},
      {"/admin/settings.asp", OfficePage(Guard::kSignedIn, &SettingsPage)},
      {"/admin/signout.asp", OfficePage(Guard::kSignedIn, &SignOutPage)},
      {"/admin/contents.asp", OfficePage(Guard::kSignedIn, &ContentsPage)},
      {"/admin/products.asp", OfficePage(Guard::kSignedIn, &ProductsPage)},
      {"/admin/guestbook.asp", OfficePage(Guard::kSignedIn, &GuestbookPage)},
      {"/admin/members.asp", OfficePage(Guard::kSignedIn, &MembersPage)},
      {"/admin/preview.asp", OfficePage(Guard::kSignedIn, &PreviewPage)},
      {"/createsite.asp", OfficePage(Guard::kEveryRequest, &CreateSitePage)},
      {"/admin/toolarge.asp", OfficePage(Guard::kSignedIn, &TooLargePage)},
  };
}

}  // namespace backoffice
