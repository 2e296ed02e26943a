// MemberLogin: a visitor's login as a member of a site, kept in the visitor's session under
// memberid and membername, beside the member's session stamp at the time of the login. Removing
// the member or giving it a new password moves the stamp on (store/members.h), and the login ends
// at the visitor's next page on whichever instance serves it, as both session stores keep the
// values and every instance reads the one database. One request, one thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace data {
class Connection;
}
namespace host {
class Session;
}

namespace wap {

// Records the login of member `id` named `name` whose session stamp is `stamp`. The caller has
// given the session a new id.
void RecordMemberLogin(host::Session& session, std::int64_t id, std::string_view name,
                       std::int64_t stamp);

// Ends the login (memberid and membername emptied, as a logout does).
void EndMemberLogin(host::Session& session);

// Ends the session's login when its member is gone or its stamp has moved on; does nothing (and
// reads no row) for a session without a login. Throws what the database throws.
void EndOutlivedMemberLogin(host::Session& session, data::Connection& connection);

}  // namespace wap
