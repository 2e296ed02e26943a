#include "backoffice/stored_password.h"

#include "backoffice/password_hash.h"

namespace backoffice {

bool IsPasswordHash(std::string_view stored) {
  return stored.starts_with("$argon2id$") || stored.starts_with("$argon2i$");
}

bool MatchesStoredPassword(std::string_view stored, std::string_view password) {
  return IsPasswordHash(stored) ? VerifyPassword(stored, password) : stored == password;
}

bool ShouldStoreNewHash(std::string_view stored) {
  return !IsPasswordHash(stored) || NeedsRehash(stored);
}

}  // namespace backoffice
