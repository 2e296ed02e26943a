// Checking an owner's sign-in: name and password against the owners' table, with the failures
// limited per name and address, per name and per client address, and the successful sign-ins per
// address, through the server's rate limiters (none when the host keeps none; see
// host::SignInAttempt). An unknown name and a wrong password are one outcome, reached in about the
// same time: an unknown name is verified against a stand-in hash. A disabled account is told apart
// only after its password was right. A hash made
// with older limits is replaced on a successful sign-in. One connection, one thread; the limiters
// are shared by all threads.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "store/owners.h"

namespace data {
class Connection;
}
namespace host {
struct RateLimiters;
}

namespace backoffice {

struct SignInCheck {
  enum class Outcome { kSignedIn, kRefused, kThrottled, kDisabled };
  Outcome outcome = Outcome::kRefused;
  std::optional<store::Owner> owner;    // kSignedIn: who
  std::chrono::seconds retry_after{0};  // kThrottled: how long until the window passes
};

// Checks `username` and `password` from client `address`. A throttled attempt is not verified
// and not counted in the limits (only in the owners' failure count); a refused one, and one of a disabled account, is counted (and in the owners'
// failure count); a successful one clears the failures of the name at this address and records
// the sign-in time. Throws what the
// database throws, and passwords::HashingBusy when the hashing queue is full.
SignInCheck CheckSignIn(data::Connection& connection, host::RateLimiters* limiters,
                        std::string_view username, std::string_view password,
                        std::string_view address);

}  // namespace backoffice
