#include "platform/host/sessions/key_hash.h"

#include <openssl/evp.h>

#include <stdexcept>

#include "platform/text/hex.h"

namespace host {

std::string KeyHash(std::string_view key) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(key.data(), key.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
  return text::LowerHex({digest, length});
}

}  // namespace host
