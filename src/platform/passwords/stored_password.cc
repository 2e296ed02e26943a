#include "platform/passwords/stored_password.h"

#include "platform/passwords/password_hash.h"

namespace passwords {

bool IsPasswordHash(std::string_view stored) {
  return stored.starts_with("$argon2id$") || stored.starts_with("$argon2i$");
}

bool MatchesStoredPassword(std::string_view stored, std::string_view password) {
  return IsPasswordHash(stored) ? VerifyPassword(stored, password) : stored == password;
}

bool ShouldStoreNewHash(std::string_view stored) {
  return !IsPasswordHash(stored) || NeedsRehash(stored);
}

}  // namespace passwords
