// /admin/: the sign-in form and the sign-in itself for a browser without a signed-in owner, the
// owner's dashboard otherwise.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "backoffice/editor_support.h"
#include "backoffice/office_request.h"
#include "backoffice/owner_session.h"
#include "backoffice/same_origin.h"
#include "backoffice/sign_in.h"
#include "backoffice/site_classes.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/sessions/rate_limiter.h"
#include "platform/text/percent.h"
#include "store/audit.h"
#include "store/local_time.h"

namespace backoffice {
namespace {

constexpr int kAuditShown = 20;

void ShowSignIn(OfficeRequest& request, const std::string& back, std::string_view error) {
  View view;
  view.set("back", back);
  view.set("username", request.FormValue("username"));
  request.Show("signin", "站点管理登录", view, "", error);
}

void SignIn(OfficeRequest& request, const std::string& back) {
  const host::Request& http = request.Request();
  const std::string origin = http.ServerVariable("HTTP_ORIGIN");
  if (!origin.empty() && !OriginMatchesHost(origin, http.ServerVariable("HTTP_HOST"))) {
    return RefuseForeignOrigin(request);
  }
  const SignInCheck check =
      CheckSignIn(request.Connection(), request.Limiters(), request.FormValue("username"),
                  request.FormValue("password"), request.Address());
  if (check.outcome == SignInCheck::Outcome::kThrottled) {
    const auto minutes = std::max<std::int64_t>(1, (check.retry_after.count() + 59) / 60);
    request.Response().AddHeader("Retry-After", std::to_string(check.retry_after.count()));
    request.Response().SetStatus(429);
    return ShowSignIn(request, back,
                      "登录失败的次数太多，暂时不能登录。请 " + std::to_string(minutes) +
                          " 分钟后再试；如果忘了密码，请联系网站管理员。");
  }
  if (check.outcome == SignInCheck::Outcome::kRefused) {
    ShowSignIn(request, back, "用户名或密码不正确。");
    return;
  }
  if (check.outcome == SignInCheck::Outcome::kDisabled) {
    ShowSignIn(request, back, "此账号已被停用，请与网站管理员联系。");
    return;
  }
  request.owner = OwnerSession(request.Session())
                      .SignIn(check.owner->userid, check.owner->username,
                              check.owner->session_stamp, OwnerSession::Clock::now());
  request.Audit("登录", "");
  request.Response().Redirect(OfficePathOr(back, "/admin/"));
}

std::string SiteAddress(const SignedInOwner& owner) {
  const std::string id = std::to_string(owner.userid);
  return "/wap/index.asp?userid=" + id + "&username=" + text::PercentEncode(owner.username) +
         "&siteid=" + id;
}

void ShowDashboard(OfficeRequest& request) {
  const SignedInOwner& owner = *request.owner;
  View view;
  view.set("site", SiteAddress(owner));
  view.set("entry", "/waphome/" + text::PercentEncode(owner.username) + "/");
  ViewList classes;
  for (const store::SiteClass& c : store::ClassesOf(request.Connection(), owner.userid)) {
    View row;
    row.set("name", c.name);
    row.set("kind", KindLabel(c.kind));
    row.set("sortid", std::to_string(c.sortid));
    const std::string link = LivePageAddress(owner, c);
    if (!link.empty()) row.set("link", link);
    classes.push_back(row);
  }
  view.set("classes", classes);
  view.set("has_classes", !classes.empty());
  ViewList changes;
  for (const store::AuditEntry& e :
       store::LatestAudit(request.Connection(), owner.userid, kAuditShown)) {
    changes.push_back(kainjow::mustache::object{
        {"time", e.time}, {"address", e.address}, {"action", e.action}, {"target", e.target}});
  }
  view.set("changes", changes);
  if (host::RateLimiters* limiters = request.Limiters()) {
    if (const auto reached =
            host::LastReached(*limiters->guestbook_ceiling_reached, std::to_string(owner.userid),
                              host::RateLimiters::kCeilingRemembered)) {
      view.set("guestbook_ceiling", store::LocalTime(*reached));
    }
  }
  view.set("has_changes", !changes.empty());
  request.Show("dashboard", "站点概览", view);
}

}  // namespace

void Home(OfficeRequest& request) {
  const std::string back = request.Request().Item("back").value_or("");
  if (request.IsPost() && request.Request().Form().Get("username")) {
    SignIn(request, back);
  } else if (request.owner) {
    ShowDashboard(request);
  } else {
    ShowSignIn(request, back, "");
  }
}

void SignOutPage(OfficeRequest& request) {
  if (request.IsPost()) {
    request.Audit("退出", "");
    OwnerSession(request.Session()).SignOut();
  }
  request.Response().Redirect("/admin/");
}

}  // namespace backoffice
