// The members of a site: the visitors who may log in on its pages, each with a stored password
// (a hash, or a plain password from an older installation). Names count per site. The back
// office's changes write their audit row in the change's own transaction. One connection, one
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/audit.h"

namespace data {
class Connection;
}

namespace store {

struct Member {
  std::int64_t id = 0;
  std::string name;
  std::string password;  // as stored
  // Moves on when the password is set anew: a login made before it has ended.
  std::int64_t session_stamp = 0;
};

// Site `owner`'s members, by id.
std::vector<Member> MembersOf(data::Connection& connection, std::int64_t owner);

// Site `owner`'s members named `name` (letter case as the database compares it), by id.
// Requires: `name` holds no NUL.
std::vector<Member> MembersNamed(data::Connection& connection, std::int64_t owner,
                                 const std::string& name);

// Replaces member `id`'s stored password `stored` with `password`; does nothing when the stored
// password has changed meanwhile. Throws what the database throws.
void ReplaceStoredPassword(data::Connection& connection, std::int64_t id, const std::string& stored,
                           const std::string& password);

// Adds member `name` to site `actor.userid` with `password` (as it is to be stored), and its audit
// row. Returns false, adding nothing, when the site already has a member of that name.
bool AddMember(data::Connection& connection, const AuditActor& actor, const std::string& name,
               const std::string& password);

// Sets member `id`'s stored password (SetMemberPassword, moving its session stamp on) or deletes
// it (DeleteMember), if it belongs to site `actor.userid`, with its audit row; either ends the
// member's logins. Returns false, changing nothing, when it does
// not.
bool SetMemberPassword(data::Connection& connection, const AuditActor& actor, std::int64_t id,
                       const std::string& password);
bool DeleteMember(data::Connection& connection, const AuditActor& actor, std::int64_t id);

// The session stamp of member `id`; std::nullopt when there is no such member.
std::optional<std::int64_t> MemberSessionStamp(data::Connection& connection, std::int64_t id);

// True when member `id` belongs to site `owner`.
bool OwnsMember(data::Connection& connection, std::int64_t owner, std::int64_t id);

// Member `id` when it is a member of `owner`'s site.
std::optional<Member> OwnedMember(data::Connection& connection, std::int64_t owner,
                                  std::int64_t id);

}  // namespace store
