// Counting a JPEG's scans from its marker segments: every scan is found however its data is
// stuffed or restarted, counting stops just past the limit, and broken files end the walk
// without reading past their end.
#include "backoffice/images/jpeg_scans.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace backoffice::images {
namespace {

using namespace std::string_literals;

// A marker segment: 0xFF, `marker`, its length and `payload`.
std::string Segment(char marker, const std::string& payload) {
  const std::size_t length = payload.size() + 2;
  return "\xFF"s + marker + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) +
         payload;
}

const std::string kSoi = "\xFF\xD8"s;
const std::string kEoi = "\xFF\xD9"s;
const std::string kScanHeader = Segment('\xDA', "\x01\x01\x00\x00\x3F\x00"s);

TEST(CountJpegScans, FindsEveryScanAndNothingInsideTheirData) {
  const std::string tables = Segment('\xDB', std::string(65, '\x01')) + Segment('\xC2', "x");
  const struct {
    const char* what;
    std::string bytes;
    std::size_t scans;
  } cases[] = {
      {"not a JPEG", "GIF89a", 0},
      {"nothing after the start", kSoi, 0},
      {"one scan", kSoi + tables + kScanHeader + "data" + kEoi, 1},
      {"stuffed bytes and restarts in the data",
       kSoi + tables + kScanHeader +
           "a\xFF\x00"
           "b\xFF\xD0"
           "c\xFF\xD7" +
           kScanHeader + "\xFF\x00" + kEoi,
       2},
      {"fill bytes before a marker", kSoi + "\xFF\xFF\xFF"s + kScanHeader.substr(1) + kEoi, 1},
      {"a scan's marker inside a comment", kSoi + Segment('\xFE', "\xFF\xDA\x00\x02"s) + kEoi, 0},
      {"nothing counts after the end", kSoi + kScanHeader + kEoi + kScanHeader, 1},
      {"a segment running past the end", kSoi + kScanHeader + "\xFF\xDA\x7F\xFF"s, 1},
      {"a length under two", kSoi + "\xFF\xDA\x00\x01"s + kScanHeader, 0},
      {"cut inside a length", kSoi + kScanHeader + "\xFF\xDA\x00"s, 1},
      {"the scan bomb",
       testing_support::ReadFile(std::filesystem::path(WAPSITE_SOURCE_DIR) /
                                 "tests/data/pictures/scan_bomb.jpg"),
       101},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountJpegScans(c.bytes, 100), c.scans) << c.what;
  }
}

TEST(CountJpegScans, StopsJustPastTheLimit) {
  std::string jpeg = kSoi;
  for (int i = 0; i < 1000; ++i) jpeg += kScanHeader + "x";
  EXPECT_EQ(CountJpegScans(jpeg, 100), 101u);
  EXPECT_EQ(CountJpegScans(jpeg + kEoi, 5000), 1000u);
}

}  // namespace
}  // namespace backoffice::images
