// A site member's stored password (web_member.m_password): new ones are Argon2id hashes made by
// HashPassword; rows written by older installations hold the password itself. Checking a login
// against either, and telling when a stored value should be replaced by a fresh hash. Thread-safe.
#pragma once

#include <string_view>

namespace passwords {

// True when `stored` is a password hash (the self-describing Argon2 form), not a plain password.
bool IsPasswordHash(std::string_view stored);

// True when `password` is the one `stored` holds: verified against the hash when `stored` is one,
// else compared byte for byte, as the login always compared plain passwords.
bool MatchesStoredPassword(std::string_view stored, std::string_view password);

// True when a login that matched `stored` should store a new hash in its place: a plain password,
// or a hash made with other limits than HashPassword uses now.
bool ShouldStoreNewHash(std::string_view stored);

}  // namespace passwords
