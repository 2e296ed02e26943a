// The WBMP encoder: the header a handset reads, rows padded to whole bytes, grays dithered to
// their tone, and the width chosen so the file fits a handset's screen and reply size.
#include "backoffice/images/wbmp.h"

#include <gtest/gtest.h>

#include <bitset>
#include <string>

namespace backoffice::images {
namespace {

using namespace std::string_literals;

GrayPicture Flat(int width, int height, std::uint8_t gray) {
  return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, gray)};
}

TEST(Wbmp, HeaderSaysTypeZeroAndTheSizeInSevenBitBytes) {
  const struct {
    int width, height;
    std::string header;
  } cases[] = {
      {10, 3, "\x00\x00\x0A\x03"s},
      {127, 1, "\x00\x00\x7F\x01"s},
      {128, 200, "\x00\x00\x81\x00\x81\x48"s},
  };
  for (const auto& c : cases) {
    const std::string wbmp = EncodeWbmp(Flat(c.width, c.height, 0));
    EXPECT_EQ(wbmp.substr(0, c.header.size()), c.header) << c.width << "x" << c.height;
    EXPECT_EQ(wbmp.size(), WbmpSize(c.width, c.height));
    EXPECT_EQ(WbmpWidth(wbmp), c.width);
  }
  EXPECT_EQ(WbmpWidth("\x01\x00\x0A\x03"s), 0) << "another type";
  EXPECT_EQ(WbmpWidth("\x00\x00\x81"s), 0) << "cut short";
}

TEST(Wbmp, RowsArePaddedToWholeBytesWithWhiteAsOne) {
  const std::string white = EncodeWbmp(Flat(9, 2, 255));
  EXPECT_EQ(white.substr(4), "\xFF\x80\xFF\x80"s) << "9 pixels: a byte and one bit, padded";
  const std::string black = EncodeWbmp(Flat(9, 2, 0));
  EXPECT_EQ(black.substr(4), std::string(4, '\0'));
}

TEST(Wbmp, GraysKeepTheirToneWhenDithered) {
  for (const int gray : {64, 128, 192}) {
    const std::string wbmp = EncodeWbmp(Flat(64, 64, static_cast<std::uint8_t>(gray)));
    std::size_t white = 0;
    for (const char byte : wbmp.substr(4))
      white += std::bitset<8>(static_cast<unsigned char>(byte)).count();
    EXPECT_NEAR(white / (64.0 * 64.0), gray / 255.0, 0.03) << gray;
  }
}

TEST(Wbmp, WidthIsBoundByTheScreenThePictureAndTheBytes) {
  const struct {
    int width, height, max_width;
    std::size_t max_bytes;
    int chosen;
  } cases[] = {
      {240, 120, 96, 1400, 96},    // the screen bounds it
      {50, 50, 96, 1400, 50},      // never wider than the picture
      {240, 120, 240, 1400, 146},  // 19 bytes a row × 73 rows + 5 of header; 147 needs 74 rows
      {96, 2000, 96, 1400, 22},    // a tall picture: 3 bytes × 458 rows + 4; 23 needs 479 rows
      {96, 96, 96, 300, 48},       // the least reply size: 6 × 48 + 4
      {4000, 1, 4096, 2, 0},       // not even the header fits
  };
  for (const auto& c : cases) {
    const int chosen = WbmpWidthWithin(c.width, c.height, c.max_width, c.max_bytes);
    EXPECT_EQ(chosen, c.chosen) << c.width << "x" << c.height << " in " << c.max_bytes;
    if (chosen > 0) {
      EXPECT_LE(WbmpSize(chosen, ScaledHeight(c.width, c.height, chosen)), c.max_bytes);
    }
  }
}

}  // namespace
}  // namespace backoffice::images
