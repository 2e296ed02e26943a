// KeyHash: the SHA-256 of a secret or an arbitrary key as 64 lower-case hex digits, for the keys
// the host stores in the site database: a session id is never stored itself (a copy of the table
// signs nobody in), and a throttling key of any bytes becomes plain text of one length.
// Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace host {

// Throws std::runtime_error only when the crypto library fails.
std::string KeyHash(std::string_view key);

}  // namespace host
