// Owners' and members' password hashes: Argon2id through libsodium, in libsodium's
// self-describing string form (algorithm, limits, salt and hash in one text), at least the
// interactive limits (far lower only in a test build configured with
// WAPSITE_CHEAP_PASSWORD_HASH). Plain passwords are only passed through, never kept or logged.
// Thread-safe.
//
// Each hash or check takes 64 MiB of memory and tens of milliseconds of a core, so they run on
// the process's hashing queue (hashing_queue.h): two at once, a few more waiting. When the queue
// is full, HashPassword and VerifyPassword throw HashingBusy at once, which the host answers
// with 503 and Retry-After: a flood of sign-ins costs the hashing threads, never more memory,
// and never every page thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/host/objects/service_unavailable.h"

namespace passwords {

// The hashing queue is full; the hash was not computed.
class HashingBusy : public host::ServiceUnavailable {
 public:
  HashingBusy();
};

// How many hashing jobs may wait for one of the two hashing threads (default 2). A server sets
// it so that waiting callers never hold more than a part of its page threads.
void SetHashingBacklog(std::size_t waiting);

// A new hash of `password` (random salt). Throws HashingBusy when the queue is full, and
// std::runtime_error when the hashing cannot run (out of memory).
std::string HashPassword(std::string_view password);

// True when `password` matches `hash`; false for a wrong password and for a text that is no
// hash. Takes about as long for a wrong password as for a right one. Throws HashingBusy when
// the queue is full.
bool VerifyPassword(std::string_view hash, std::string_view password);

// True when `hash` was made with other (weaker or older) limits or algorithm than HashPassword
// uses now, so that a sign-in that verified it should store a new hash.
bool NeedsRehash(std::string_view hash);

// A hash, with HashPassword's limits, of a random password nobody knows: verifying a password
// against it costs what verifying a real account's costs, for names that match no account. A
// prepared constant, so that no 64 MiB hash is made before the first sign-in.
std::string_view StandInHash();

}  // namespace passwords
