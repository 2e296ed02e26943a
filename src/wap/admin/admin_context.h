// The administration context: the set-up and end of the back office's object (adminmanage) on its
// Page, and what its operations rely on in between. The set-up sends the same no-cache headers as a
// page, creates new database objects and opens the connection; it chooses no markup, keeps no page
// buffer, builds no link suffix and runs no keyword filter. The end closes the database; nothing is
// ever written to the response by either, apart from OpenDB's own failure message. One thread.
#pragma once

#include <cstdint>

namespace data {
class Connection;
}
namespace host {
class Session;
}

namespace wap {

class Page;

// Sets the five caching settings, creates new connection and recordset objects and runs OpenDB.
// Returns false when the connection could not be opened: the response then holds "OpenDB():" and
// the description and is ended. Throws what the host or the settings load throws (a missing
// "\conn.asp").
bool AdminSetUp(Page& page);

// The open connection of the set-up. Throws std::runtime_error when it is not open (the set-up
// failed or did not run), so that an operation never runs a statement without it.
data::Connection& AdminConnection(Page& page);

// The session value `userid` as a whole number: the member the back office works for, bound as a
// parameter of every statement on that member's rows. Anything else (missing, empty, "1 or 1=1")
// throws std::runtime_error, so that no operation runs for a member it cannot name.
std::int64_t SessionUserId(const host::Session& session);

}  // namespace wap
