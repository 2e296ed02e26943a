// Random identifiers (session ids, error ids, picture file names) from the operating system's
// CSPRNG (getrandom), written as hex text. Thread-safe.
#pragma once

#include <cstddef>
#include <string>

namespace text {

// `bytes` random bytes as 2 × `bytes` lower-case hex digits. Throws std::runtime_error when the
// system cannot supply random bytes.
std::string RandomHex(std::size_t bytes);

}  // namespace text
