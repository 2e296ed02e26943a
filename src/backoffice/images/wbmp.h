// WBMP, the one-bit picture format WML 1.1 handsets show (type 0: no compression, one bit a
// pixel, each row padded to whole bytes, 1 white and 0 black). Pure; thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace backoffice::images {

// A grayscale picture, rows top to bottom, one byte a pixel (0 black … 255 white).
struct GrayPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width × height
};

// The WBMP of `picture`, dithered to black and white (Floyd–Steinberg: each pixel's error is
// passed on to its unset neighbours, so grays keep their tone). Requires: width and height
// above 0, pixels.size() == width × height.
std::string EncodeWbmp(const GrayPicture& picture);

// The size in bytes of the WBMP of a `width` × `height` picture. Requires: both above 0.
std::size_t WbmpSize(int width, int height);

// The widest width, at most `max_width` and `width`, at which a `width` × `height` picture scaled
// to keep its shape makes a WBMP of at most `max_bytes`; 0 when not even a 1 pixel wide one fits.
// Requires: all above 0.
int WbmpWidthWithin(int width, int height, int max_width, std::size_t max_bytes);

// The width a WBMP's header gives; 0 when `wbmp` does not begin as a type 0 WBMP.
int WbmpWidth(std::string_view wbmp);

// The height of a `width` × `height` picture scaled to `new_width` (at least 1).
int ScaledHeight(int width, int height, int new_width);

}  // namespace backoffice::images
