#include "backoffice/images/jpeg_scans.h"

namespace backoffice::images {
namespace {

constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;

// Markers that stand alone, without a length: TEM, the restart markers and SOI. 0x00 after 0xFF
// is a stuffed data byte, not a marker.
bool StandsAlone(unsigned char marker) {
  return marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7) ||
         marker == kStartOfImage;
}

}  // namespace

std::size_t CountJpegScans(std::string_view jpeg, std::size_t stop_after) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(jpeg[at]); };
  if (jpeg.size() < 2 || byte(0) != 0xFF || byte(1) != kStartOfImage) return 0;
  std::size_t scans = 0;
  std::size_t at = 2;
  while (at < jpeg.size()) {
    if (byte(at) != 0xFF) {  // entropy-coded data, or a stray byte
      ++at;
      continue;
    }
    while (at < jpeg.size() && byte(at) == 0xFF) ++at;  // fill bytes
    if (at == jpeg.size()) break;
    const unsigned char marker = byte(at++);
    if (StandsAlone(marker)) continue;
    if (marker == kEndOfImage || jpeg.size() - at < 2) break;
    const std::size_t length = (std::size_t{byte(at)} << 8) | byte(at + 1);
    if (length < 2 || length > jpeg.size() - at) break;
    if (marker == kStartOfScan && ++scans > stop_after) break;
    at += length;  // the scan's data follows its header and is walked byte by byte
  }
  return scans;
}

}  // namespace backoffice::images
