// The administration context: the set-up and end of the back office's object (adminmanage), and
// what its operations rely on in between. The set-up captures the host objects, sends the same
// no-cache headers as a page, creates new database objects and opens the connection; it chooses no
// markup, keeps no page buffer, builds no link suffix and runs no keyword filter. The end closes
// the database and releases the host objects; nothing is ever written to the response by either,
// apart from OpenDB's own failure message.
//
// Every function works on PageContext::Current(), so it runs inside the object's PageContextScope,
// on one thread.
#pragma once

#include <cstdint>

namespace data {
class Connection;
}
namespace host {
struct ScriptingContext;
}

namespace wap {

// Captures the host objects, sets the five caching settings, creates new connection and recordset
// objects and runs OpenDB. Returns false when the connection could not be opened: the response then
// holds "OpenDB():" and the description and is ended. Throws what the host or the settings load
// throws (a missing "\conn.asp").
bool AdminSetUp(host::ScriptingContext& context);

// CloseDB, then the release of the host objects. Never throws; safe after a failed set-up.
void AdminEnd() noexcept;

// The open connection of the set-up. Throws std::runtime_error when it is not open (the set-up
// failed or did not run), so that an operation never runs a statement without it.
data::Connection& AdminConnection();

// The session value `userid` as a whole number: the member the back office works for. It enters
// statements unquoted, so anything else (missing, empty, "1 or 1=1") throws std::runtime_error
// before a statement is formed from it.
std::int64_t SessionUserId();

}  // namespace wap
