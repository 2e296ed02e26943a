// OwnerSession: the signed-in back-office owner of one request, kept in the visitor's session
// under the names the class management and site creation read (userid, UserName), beside the
// sign-in time, the time of the last back-office request and the form token.
//
// A sign-in lasts 30 minutes without a back-office request and 12 hours at most; a session past
// either is signed out when it is next looked at. The token is 128 random bits in hex, made at
// sign-in; every changing back-office request must carry it. Times are the system clock's seconds.
// The sign-in also records the account's session stamp (store/owners.h): a new password or
// disabling the account moves the stamp on, and CurrentAccount then ends the sign-in at its next
// request on whichever instance serves it. One request, one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace data {
class Connection;
}
namespace host {
class Session;
}

namespace backoffice {

inline constexpr std::chrono::seconds kOwnerIdleLimit = std::chrono::minutes(30);
inline constexpr std::chrono::seconds kOwnerSignInLimit = std::chrono::hours(12);

struct SignedInOwner {
  std::int64_t userid = 0;
  std::string username;
  std::string token;
};

class OwnerSession {
 public:
  using Clock = std::chrono::system_clock;
  explicit OwnerSession(host::Session& session) : session_(session) {}

  // The signed-in owner, marking the session active at `now`; std::nullopt when no owner is
  // signed in, or the sign-in has expired (it is then ended).
  std::optional<SignedInOwner> Current(Clock::time_point now);

  // Current, but only while the account in `accounts` is there, enabled, and at the session stamp
  // this sign-in recorded; a sign-in the account has outlived is ended (std::nullopt). Throws what
  // the database throws.
  std::optional<SignedInOwner> CurrentAccount(Clock::time_point now, data::Connection& accounts);

  // Signs owner `userid` named `username`, whose session stamp is `stamp`, in at `now`: a new
  // session id (so an id planted before it is worthless), the owner's values and a new token.
  // Returns the owner.
  SignedInOwner SignIn(std::int64_t userid, std::string_view username, std::int64_t stamp,
                       Clock::time_point now);

  // Keeps this session signed in after its own change moved the account's stamp on to `stamp`
  // (the owner who set a new password); every other sign-in of the account ends.
  void KeepAfterOwnChange(std::int64_t stamp);

  // Ends the sign-in: the values are cleared and the session gets a new id.
  void SignOut();

 private:
  host::Session& session_;
};

// True when `token` equals `expected` (compared in constant time); false for an empty one.
bool TokenMatches(std::string_view expected, std::string_view token);

}  // namespace backoffice
