#include "wap/member/checklogin.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "backoffice/password_hash.h"
#include "backoffice/stored_password.h"
#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/application.h"
#include "platform/host/rate_limiter.h"
#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/scripting_context.h"
#include "platform/host/session.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/whole_number.h"
#include "wap/member/home_address.h"

namespace wap {
namespace {

// The failed-login limits of one attempt: its member name on its site, and its client address.
class LoginLimits {
 public:
  LoginLimits(host::RateLimiters* limiters, std::int64_t owner, std::string_view name,
              std::string address)
      : limiters_(limiters), name_key_(std::to_string(owner) + ":"), address_(std::move(address)) {
    name_key_.append(name);
  }

  // Seconds until this attempt may be checked; std::nullopt when it may be now.
  std::optional<std::chrono::seconds> Blocked() const {
    if (limiters_ == nullptr) return std::nullopt;
    const auto by_name = limiters_->login_by_name->Blocked(name_key_);
    const auto by_address = limiters_->login_by_address->Blocked(address_);
    if (by_name && by_address) return std::max(*by_name, *by_address);
    return by_name ? by_name : by_address;
  }
  void Failed() {
    if (limiters_ == nullptr) return;
    limiters_->visitor_login_failures.fetch_add(1, std::memory_order_relaxed);
    limiters_->login_by_name->Record(name_key_);
    limiters_->login_by_address->Record(address_);
  }
  void Succeeded() {
    if (limiters_ != nullptr) limiters_->login_by_name->Reset(name_key_);
  }

 private:
  host::RateLimiters* limiters_;
  std::string name_key_;
  std::string address_;
};

}  // namespace

void MemberLoginPage::StartPage(Page& page) {
  if (!page.InitPage()) return;
  const std::string name = page.Request().Form().Get("username").value_or("");
  const std::string password = page.Request().Form().Get("password").value_or("");
  const std::int64_t owner = RequireWholeNumber(page.Request().Item("Userid"), "Userid");
  LoginLimits limits(page.Limiters(), owner, name, page.Request().ServerVariable("REMOTE_ADDR"));
  if (const auto wait = limits.Blocked()) {
    page.Response().AddHeader("Retry-After", std::to_string(wait->count()));
    page.Response().Refuse(429, "too many failed logins; try again later");
    return;
  }

  // The member is the first row (by id) of the name on the site whose stored password matches:
  // a hash is verified, a plain password from an older installation compared as it always was.
  data::Recordset& rs = page.Recordset();
  // A NUL cannot travel as text to every engine; such a name or password matches no member.
  const bool comparable =
      name.find('\0') == std::string::npos && password.find('\0') == std::string::npos;
  std::optional<std::pair<std::string, std::string>> member;  // id, m_name
  std::string stored;
  if (comparable) {
    rs.Open("select * from web_member where m_Name=? And m_id=? order by id", page.Connection(),
            data::Params{name, owner});
    for (; !rs.Eof() && !member; rs.MoveNext()) {
      stored = rs.Field("m_password").ToText();
      if (backoffice::MatchesStoredPassword(stored, password)) {
        member.emplace(rs.Field("id").ToText(), rs.Field("m_name").ToText());
      }
    }
    rs.Close();
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
  if (backoffice::ShouldStoreNewHash(stored)) {
    page.Connection().Execute("update web_member set m_password=? where id=? and m_password=?",
                              data::Params{backoffice::HashPassword(password),
                                           ParseWholeNumber(member->first).value_or(0), stored});
  }
  // A new session id before the login is recorded, so that an id planted earlier is worthless.
  limits.Succeeded();
  page.Session().RenewId();
  page.Session().Set("memberid", member->first);
  page.Session().Set("membername", member->second);
  page.Response().Redirect(SiteHomeAddress(page.Application(), page.Request()));
}

}  // namespace wap
