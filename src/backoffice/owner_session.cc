#include "backoffice/owner_session.h"

#include <sodium.h>

#include "platform/host/objects/session.h"
#include "platform/text/random_id.h"
#include "store/owners.h"
#include "wap/framework/whole_number.h"

namespace backoffice {
namespace {

constexpr const char* kSince = "office_since";
constexpr const char* kSeen = "office_seen";
constexpr const char* kToken = "office_token";
constexpr const char* kStamp = "office_stamp";

std::int64_t Seconds(OwnerSession::Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

std::optional<std::int64_t> Number(const host::Session& session, const char* name) {
  const auto text = session.Get(name);
  return text ? wap::ParseWholeNumber(*text) : std::nullopt;
}

}  // namespace

std::optional<SignedInOwner> OwnerSession::Current(Clock::time_point now) {
  const auto userid = Number(session_, "userid");
  const auto since = Number(session_, kSince);
  const auto seen = Number(session_, kSeen);
  const auto token = session_.Get(kToken);
  if (!userid || !since || !seen || !token || token->empty()) return std::nullopt;
  const std::int64_t t = Seconds(now);
  if (t - *seen >= kOwnerIdleLimit.count() || t - *since >= kOwnerSignInLimit.count()) {
    SignOut();
    return std::nullopt;
  }
  session_.Set(kSeen, std::to_string(t));
  return SignedInOwner{*userid, session_.Get("UserName").value_or(""), *token};
}

std::optional<SignedInOwner> OwnerSession::CurrentAccount(Clock::time_point now,
                                                          data::Connection& accounts) {
  std::optional<SignedInOwner> owner = Current(now);
  if (!owner) return std::nullopt;
  const auto account = store::FindOwnerById(accounts, owner->userid);
  const auto stamp = Number(session_, kStamp);
  if (!account || account->disabled || !stamp || *stamp != account->session_stamp) {
    SignOut();
    return std::nullopt;
  }
  return owner;
}

SignedInOwner OwnerSession::SignIn(std::int64_t userid, std::string_view username,
                                   std::int64_t stamp, Clock::time_point now) {
  SignedInOwner owner{userid, std::string(username), text::RandomHex(16)};
  session_.RenewId();
  session_.Set("userid", std::to_string(userid));
  session_.Set("UserName", owner.username);
  session_.Set(kSince, std::to_string(Seconds(now)));
  session_.Set(kSeen, std::to_string(Seconds(now)));
  session_.Set(kToken, owner.token);
  session_.Set(kStamp, std::to_string(stamp));
  return owner;
}

void OwnerSession::KeepAfterOwnChange(std::int64_t stamp) {
  session_.Set(kStamp, std::to_string(stamp));
}

void OwnerSession::SignOut() {
  for (const char* name : {"userid", "UserName", kSince, kSeen, kToken, kStamp}) {
    if (session_.Get(name)) session_.Set(name, "");
  }
  session_.RenewId();
}

bool TokenMatches(std::string_view expected, std::string_view token) {
  return !expected.empty() && expected.size() == token.size() &&
         sodium_memcmp(expected.data(), token.data(), expected.size()) == 0;
}

}  // namespace backoffice
