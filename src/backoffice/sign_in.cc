#include "backoffice/sign_in.h"

#include <string>

#include "platform/host/sessions/rate_limiter.h"
#include "platform/passwords/password_hash.h"

namespace backoffice {

using passwords::HashPassword;
using passwords::NeedsRehash;
using passwords::StandInHash;

using passwords::VerifyPassword;

SignInCheck CheckSignIn(data::Connection& connection, host::RateLimiters* limiters,
                        std::string_view username, std::string_view password,
                        std::string_view address) {
  host::SignInAttempt attempt(limiters != nullptr ? &limiters->owner_signins : nullptr,
                              limiters != nullptr ? limiters->signins_by_address.get() : nullptr,
                              "owner", username, address);
  if (const auto wait = attempt.Blocked()) {
    attempt.Throttled();
    return {SignInCheck::Outcome::kThrottled, std::nullopt, *wait};
  }
  std::optional<store::Owner> owner =
      username.empty() ? std::nullopt : store::FindOwner(connection, username);
  const bool matches = VerifyPassword(owner ? owner->password_hash : StandInHash(), password);
  if (!owner || !matches || owner->disabled) {
    attempt.Failed();
    if (owner && matches) return {SignInCheck::Outcome::kDisabled, std::nullopt, {}};
    return {};
  }
  attempt.Succeeded();
  if (NeedsRehash(owner->password_hash)) {
    owner->password_hash = HashPassword(password);
    store::SetPasswordHash(connection, owner->userid, owner->password_hash);
  }
  store::RecordSignIn(connection, owner->userid);
  return {SignInCheck::Outcome::kSignedIn, std::move(owner), std::chrono::seconds(0)};
}

}  // namespace backoffice
