#include "platform/passwords/password_hash.h"

#include <sodium.h>

#include <array>
#include <stdexcept>

#include "platform/passwords/hashing_queue.h"

namespace passwords {
namespace {

#ifdef WAPSITE_CHEAP_PASSWORD_HASH
// The quick test build's hashes: still above the least limits, so that a hash made at those
// is one to renew.
constexpr unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_MIN + 1;
constexpr std::size_t kMemLimit = 2 * crypto_pwhash_MEMLIMIT_MIN;
#else
constexpr unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr std::size_t kMemLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;
#endif

void RequireSodium() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium cannot be initialised");
}

// The process's hashing threads: two places of kMemLimit bytes each.
HashingQueue& Queue() {
  static HashingQueue queue(2, 2);
  return queue;
}

// Runs `job` on the hashing queue; throws HashingBusy when it is full.
void OnQueue(const std::function<void()>& job) {
  if (!Queue().Run(job)) throw HashingBusy();
}

}  // namespace

HashingBusy::HashingBusy()
    : host::ServiceUnavailable("too many sign-ins at once; try again shortly",
                               std::chrono::seconds(1)) {}

void SetHashingBacklog(std::size_t waiting) { Queue().SetMaxWaiting(waiting); }

std::string HashPassword(std::string_view password) {
  RequireSodium();
  std::array<char, crypto_pwhash_STRBYTES> out{};
  int result = -1;
  OnQueue([&] {
    result = crypto_pwhash_str_alg(out.data(), password.data(), password.size(), kOpsLimit,
                                   kMemLimit, crypto_pwhash_ALG_ARGON2ID13);
  });
  if (result != 0) throw std::runtime_error("the password could not be hashed (out of memory)");
  return std::string(out.data());
}

bool VerifyPassword(std::string_view hash, std::string_view password) {
  RequireSodium();
  // libsodium wants the hash as a C string.
  const std::string stored(hash);
  if (stored.find('\0') != std::string::npos) return false;
  bool matches = false;
  OnQueue([&] {
    matches = crypto_pwhash_str_verify(stored.c_str(), password.data(), password.size()) == 0;
  });
  return matches;
}

bool NeedsRehash(std::string_view hash) {
  RequireSodium();
  const std::string stored(hash);
  return crypto_pwhash_str_needs_rehash(stored.c_str(), kOpsLimit, kMemLimit) != 0;
}

std::string_view StandInHash() {
  // Made once with HashPassword's limits from 32 random bytes that were then thrown away.
  return "$argon2id$v=19$m=65536,t=2,p=1$kZe2N3VwkWgWi+kwZypHqQ$"
         "ylvC5Sk3WHtKvAQZUeq6pAasoiRLX/1aJ8APqkkhEbc";
}

}  // namespace passwords
