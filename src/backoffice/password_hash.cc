#include "backoffice/password_hash.h"

#include <sodium.h>

#include <array>
#include <semaphore>
#include <stdexcept>

namespace backoffice {
namespace {

constexpr unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr std::size_t kMemLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;

void RequireSodium() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium cannot be initialised");
}

// Holds one of the two places for a hash computation (kMemLimit bytes each) while it lives.
class HashingPlace {
 public:
  HashingPlace() { places().acquire(); }
  ~HashingPlace() { places().release(); }
  HashingPlace(const HashingPlace&) = delete;
  HashingPlace& operator=(const HashingPlace&) = delete;

 private:
  static std::counting_semaphore<2>& places() {
    static std::counting_semaphore<2> semaphore(2);
    return semaphore;
  }
};

}  // namespace

std::string HashPassword(std::string_view password) {
  RequireSodium();
  std::array<char, crypto_pwhash_STRBYTES> out{};
  const HashingPlace place;
  if (crypto_pwhash_str_alg(out.data(), password.data(), password.size(), kOpsLimit, kMemLimit,
                            crypto_pwhash_ALG_ARGON2ID13) != 0) {
    throw std::runtime_error("the password could not be hashed (out of memory)");
  }
  return std::string(out.data());
}

bool VerifyPassword(std::string_view hash, std::string_view password) {
  RequireSodium();
  // libsodium wants the hash as a C string.
  const std::string stored(hash);
  if (stored.find('\0') != std::string::npos) return false;
  const HashingPlace place;
  return crypto_pwhash_str_verify(stored.c_str(), password.data(), password.size()) == 0;
}

bool NeedsRehash(std::string_view hash) {
  RequireSodium();
  const std::string stored(hash);
  return crypto_pwhash_str_needs_rehash(stored.c_str(), kOpsLimit, kMemLimit) != 0;
}

const std::string& DummyHash() {
  static const std::string dummy = [] {
    RequireSodium();
    std::array<unsigned char, 32> random{};
    randombytes_buf(random.data(), random.size());
    return HashPassword(std::string_view(reinterpret_cast<const char*>(random.data()), random.size()));
  }();
  return dummy;
}

}  // namespace backoffice
