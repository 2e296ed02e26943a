#include "platform/host/sessions/address_prefix.h"

#include <arpa/inet.h>

#include <array>
#include <cstring>

namespace host {

std::string AddressPrefix(std::string_view address) {
  const std::string text(address);
  std::array<unsigned char, 16> bytes{};
  char out[INET6_ADDRSTRLEN] = {};
  if (inet_pton(AF_INET, text.c_str(), bytes.data()) == 1) {
    bytes[3] = 0;
    inet_ntop(AF_INET, bytes.data(), out, sizeof out);
    return std::string(out) + "/24";
  }
  if (inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1) {
    static constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::memcmp(bytes.data(), kMapped, sizeof kMapped) == 0) {
      bytes[15] = 0;
      inet_ntop(AF_INET, bytes.data() + 12, out, sizeof out);
      return std::string(out) + "/24";
    }
    std::memset(bytes.data() + 8, 0, 8);
    inet_ntop(AF_INET6, bytes.data(), out, sizeof out);
    return std::string(out) + "/64";
  }
  return text;
}

}  // namespace host
