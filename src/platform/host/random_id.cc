#include "platform/host/random_id.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace host {

std::string RandomHex(std::size_t bytes) {
  std::vector<unsigned char> raw(bytes);
  std::size_t filled = 0;
  while (filled < bytes) {
    const ssize_t n = getrandom(raw.data() + filled, bytes - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("getrandom failed");
    }
    filled += static_cast<std::size_t>(n);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes * 2);
  for (const unsigned char b : raw) {
    hex.push_back(kHex[b >> 4]);
    hex.push_back(kHex[b & 15]);
  }
  return hex;
}

}  // namespace host
