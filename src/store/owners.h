// Site owners: the accounts that sign in to the back office, one per member site. An owner's
// userid is the number every row of the site carries; the username is the member folder's name.
// Plain functions of a connection, so the back office and the command line run the same
// statements. One connection, one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/audit.h"

namespace data {
class Connection;
}

namespace store {

struct Owner {
  std::int64_t userid = 0;
  std::string username;
  std::string password_hash;
  std::string created;       // YYYY-MM-DD HH:MM:SS
  std::string last_sign_in;  // empty: never
  bool disabled = false;
  // Moves on whenever a sign-in made before must end (a new password, disabling, enabling).
  std::int64_t session_stamp = 0;
};

// The owner whose username is exactly `username`; std::nullopt when there is none. Throws what
// the database throws.
std::optional<Owner> FindOwner(data::Connection& connection, std::string_view username);

// The owner `userid`; std::nullopt when there is none.
std::optional<Owner> FindOwnerById(data::Connection& connection, std::int64_t userid);

// Every owner, by userid.
std::vector<Owner> ListOwners(data::Connection& connection);

// Adds owner `username` with `password_hash` and returns its userid: `userid` when given (the
// owner of an existing site), else one past the largest userid that an owner or any row of a
// member site carries, so that a new owner never inherits rows. Throws what the database throws
// (a username or userid that is taken breaks its uniqueness). Run it inside a transaction so that
// the number stays free until the commit.
std::int64_t AddOwner(data::Connection& connection, std::string_view username,
                      std::string_view password_hash,
                      std::optional<std::int64_t> userid = std::nullopt);

// Replaces the password hash of owner `userid` by a new hash of the same password (its sign-ins
// stay). Returns false when there is no such owner.
bool SetPasswordHash(data::Connection& connection, std::int64_t userid,
                     std::string_view password_hash);

// Gives owner `userid` a new password (its hash), ending every sign-in of the owner: the session
// stamp moves on in the same statement. Returns the new stamp; std::nullopt, changing nothing,
// when there is no such owner. Inside a transaction, the stamp returned is the one it wrote.
std::optional<std::int64_t> SetNewPassword(data::Connection& connection, std::int64_t userid,
                                           std::string_view password_hash);

// SetNewPassword of owner `actor.userid` at its own request, with its audit row, in one
// transaction. Returns the new stamp (the requesting session keeps its sign-in by recording it);
// std::nullopt, changing nothing, when there is no such owner.
std::optional<std::int64_t> ChangeOwnPassword(data::Connection& connection, const AuditActor& actor,
                                              std::string_view password_hash);

// Disables or enables owner `username`, ending every sign-in of the owner (the session stamp moves
// on). Returns false when there is no such owner.
bool SetDisabled(data::Connection& connection, std::string_view username, bool disabled);

// Records a successful sign-in of owner `userid` now.
void RecordSignIn(data::Connection& connection, std::int64_t userid);

}  // namespace store
