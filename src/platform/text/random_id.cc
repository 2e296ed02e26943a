#include "platform/text/random_id.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

#include "platform/text/hex.h"

namespace text {

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
  return LowerHex(raw);
}

}  // namespace text
