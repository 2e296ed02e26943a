#include "backoffice/images/wbmp.h"

#include <algorithm>
#include <cmath>

namespace backoffice::images {
namespace {

// A WBMP header integer: seven bits a byte, most significant first, the top bit set on every
// byte but the last.
void AppendMultiByte(std::string& out, std::uint32_t value) {
  char bytes[5];
  int n = 0;
  do {
    bytes[n++] = static_cast<char>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n-- > 0) out.push_back(static_cast<char>(bytes[n] | (n > 0 ? 0x80 : 0)));
}

std::size_t MultiByteSize(std::uint32_t value) {
  std::size_t n = 1;
  while (value >>= 7) ++n;
  return n;
}

}  // namespace

std::size_t WbmpSize(int width, int height) {
  return 2 + MultiByteSize(width) + MultiByteSize(height) +
         static_cast<std::size_t>((width + 7) / 8) * height;
}

int WbmpWidth(std::string_view wbmp) {
  if (wbmp.size() < 4 || wbmp[0] != '\0' || wbmp[1] != '\0') return 0;
  std::uint32_t width = 0;
  for (std::size_t at = 2; at < wbmp.size() && at < 6; ++at) {
    const auto byte = static_cast<unsigned char>(wbmp[at]);
    width = (width << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0) return static_cast<int>(width);
  }
  return 0;
}

int ScaledHeight(int width, int height, int new_width) {
  return std::max(1, static_cast<int>(std::lround(double{1.0} * height * new_width / width)));
}

int WbmpWidthWithin(int width, int height, int max_width, std::size_t max_bytes) {
  for (int w = std::min(width, max_width); w > 0; --w) {
    if (WbmpSize(w, ScaledHeight(width, height, w)) <= max_bytes) return w;
  }
  return 0;
}

std::string EncodeWbmp(const GrayPicture& picture) {
  const int width = picture.width;
  const int height = picture.height;
  std::string out;
  out.reserve(WbmpSize(width, height));
  out.push_back('\0');  // type 0
  out.push_back('\0');  // fixed header field: no extension headers
  AppendMultiByte(out, width);
  AppendMultiByte(out, height);
  // The error still to spread, for this row and the next, one slot of margin on each side.
  std::vector<int> current(width + 2, 0), next(width + 2, 0);
  for (int y = 0; y < height; ++y) {
    std::fill(next.begin(), next.end(), 0);
    const std::uint8_t* row = &picture.pixels[static_cast<std::size_t>(y) * width];
    unsigned char bits = 0;
    for (int x = 0; x < width; ++x) {
      const int wanted = std::clamp(row[x] + current[x + 1] / 16, 0, 255);
      const bool white = wanted >= 128;
      const int error = wanted - (white ? 255 : 0);
      current[x + 2] += error * 7;
      next[x] += error * 3;
      next[x + 1] += error * 5;
      next[x + 2] += error * 1;
      bits = static_cast<unsigned char>(bits | (white ? 0x80 >> (x % 8) : 0));
      if (x % 8 == 7 || x == width - 1) {
        out.push_back(static_cast<char>(bits));
        bits = 0;
      }
    }
    std::swap(current, next);
  }
  return out;
}

}  // namespace backoffice::images
