// Owners' password hashes: Argon2id through libsodium, in libsodium's self-describing string form
// (algorithm, limits, salt and hash in one text), at least the interactive limits. Plain
// passwords are only passed through, never kept or logged. Thread-safe. Each hash or check takes
// 64 MiB of memory while it runs, so at most two run at once in a process; a third waits for
// one of them (a flood of sign-ins costs time, never more memory).
#pragma once

#include <string>
#include <string_view>

namespace backoffice {

// A new hash of `password` (random salt). Throws std::runtime_error when the hashing cannot run
// (out of memory).
std::string HashPassword(std::string_view password);

// True when `password` matches `hash`; false for a wrong password and for a text that is no
// hash. Takes about as long for a wrong password as for a right one.
bool VerifyPassword(std::string_view hash, std::string_view password);

// True when `hash` was made with other (weaker or older) limits or algorithm than HashPassword
// uses now, so that a sign-in that verified it should store a new hash.
bool NeedsRehash(std::string_view hash);

// A hash of a random password, made once per process with HashPassword's limits: verifying a
// password against it costs what verifying a real owner's costs, for names that match no owner.
const std::string& DummyHash();

}  // namespace backoffice
