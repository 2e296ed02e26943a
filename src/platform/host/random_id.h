// Random identifiers (session ids, error ids) from the operating system's CSPRNG (getrandom).
// Thread-safe.
#pragma once

#include <cstddef>
#include <string>

namespace host {

// `bytes` random bytes as 2 × `bytes` lower-case hex digits. Throws std::runtime_error when the
// system cannot supply random bytes.
std::string RandomHex(std::size_t bytes);

}  // namespace host
