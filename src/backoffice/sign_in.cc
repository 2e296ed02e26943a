#include "backoffice/sign_in.h"

#include <algorithm>
#include <string>

#include "backoffice/password_hash.h"
#include "platform/host/rate_limiter.h"

namespace backoffice {

SignInCheck CheckSignIn(data::Connection& connection, host::RateLimiters* limiters,
                        std::string_view username, std::string_view password,
                        std::string_view address) {
  const std::string name_key(username);
  if (limiters != nullptr) {
    const auto by_name = limiters->owner_by_name->Blocked(name_key);
    const auto by_address = limiters->owner_by_address->Blocked(address);
    if (by_name || by_address) {
      return {SignInCheck::Outcome::kThrottled, std::nullopt,
              std::max(by_name.value_or(std::chrono::seconds(0)),
                       by_address.value_or(std::chrono::seconds(0)))};
    }
  }
  std::optional<Owner> owner = username.empty() ? std::nullopt : FindOwner(connection, username);
  const bool matches = VerifyPassword(owner ? owner->password_hash : DummyHash(), password);
  if (!owner || !matches || owner->disabled) {
    if (limiters != nullptr) {
      limiters->owner_by_name->Record(name_key);
      limiters->owner_by_address->Record(address);
    }
    return {};
  }
  if (limiters != nullptr) limiters->owner_by_name->Reset(name_key);
  if (NeedsRehash(owner->password_hash)) {
    owner->password_hash = HashPassword(password);
    SetPasswordHash(connection, owner->userid, owner->password_hash);
  }
  RecordSignIn(connection, owner->userid);
  return {SignInCheck::Outcome::kSignedIn, std::move(owner), std::chrono::seconds(0)};
}

}  // namespace backoffice
