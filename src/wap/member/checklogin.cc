#include "wap/member/checklogin.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/scripting_context.h"
#include "platform/host/objects/session.h"
#include "platform/host/sessions/rate_limiter.h"
#include "platform/passwords/password_hash.h"
#include "platform/passwords/stored_password.h"
#include "store/members.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/member_login.h"
#include "wap/framework/whole_number.h"
#include "wap/member/home_address.h"

namespace wap {

void MemberLoginPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const std::string name = page.Request().Form().Get("username").value_or("");
  const std::string password = page.Request().Form().Get("password").value_or("");
  const std::int64_t owner = RequireWholeNumber(page.Request().Item("Userid"), "Userid");
  // A member name counts on its own site only.
  host::RateLimiters* limiters = page.Limiters();
  host::SignInAttempt limits(limiters != nullptr ? &limiters->visitor_logins : nullptr,
                             limiters != nullptr ? limiters->signins_by_address.get() : nullptr,
                             "visitor", std::to_string(owner) + ":" + name,
                             page.Request().ServerVariable("REMOTE_ADDR"));
  if (const auto wait = limits.Blocked()) {
    limits.Throttled();
    page.Response().AddHeader("Retry-After", std::to_string(wait->count()));
    page.Response().Refuse(429, "too many logins; try again later");
    return;
  }

  // The member is the first row (by id) of the name on the site whose stored password matches:
  // a hash is verified, a plain password from an older installation compared as it always was.
  // A NUL cannot travel as text to every engine; such a name or password matches no member.
  const bool comparable =
      name.find('\0') == std::string::npos && password.find('\0') == std::string::npos;
  std::optional<store::Member> member;
  std::string stored;
  if (comparable) {
    bool checked = false;
    for (const store::Member& candidate : store::MembersNamed(page.Connection(), owner, name)) {
      stored = candidate.password;
      checked = checked || passwords::IsPasswordHash(stored);
      if (passwords::MatchesStoredPassword(stored, password)) {
        member = candidate;
        break;
      }
    }
    // A name with no hashed password costs what a known one does, so that the time of the
    // answer does not tell which names exist.
    if (!checked) (void)passwords::VerifyPassword(passwords::StandInHash(), password);
  } else {
    (void)passwords::VerifyPassword(passwords::StandInHash(), password);
  }
  if (!member) {
    limits.Failed();
    page.SetPageTitle("蓝杉工坊");
    page.Buffer().append("<p>").append(ToCharRefs("登录失败，请重新登录。")).append("</p>");
    page.AppendHomeLink();
    return;
  }
  // A plain password (or a hash with older limits) is replaced by a fresh hash, unless the row
  // has changed meanwhile.
  if (passwords::ShouldStoreNewHash(stored)) {
    store::ReplaceStoredPassword(page.Connection(), member->id, stored,
                                 passwords::HashPassword(password));
  }
  // A new session id before the login is recorded, so that an id planted earlier is worthless.
  limits.Succeeded();
  page.Session().RenewId();
  RecordMemberLogin(page.Session(), member->id, member->name, member->session_stamp);
  page.Response().Redirect(SiteHomeAddress(page.Application(), page.Request()));
}

}  // namespace wap
