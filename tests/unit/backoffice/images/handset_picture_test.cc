// The WBMP copies of a site's pictures: made beside the picture at the first request that needs
// one, reused while no older than the picture, made anew when the picture changes, none for a
// picture that cannot be decoded; storing a picture's WBMP removes the old picture's.
#include "backoffice/images/handset_picture.h"

#include <gtest/gtest.h>
#include <vips/vips.h>

#include <chrono>
#include <fstream>
#include <set>

#include "backoffice/images/wbmp.h"
#include "support/temp_dir.h"

namespace backoffice::images {
namespace {

namespace fs = std::filesystem;

// A `width` × `height` gray JPEG.
std::string Jpeg(int width, int height) {
  EXPECT_EQ(VIPS_INIT("test"), 0);
  VipsImage* image = nullptr;
  void* buffer = nullptr;
  std::size_t length = 0;
  EXPECT_EQ(vips_grey(&image, width, height, nullptr), 0);
  VipsImage* bytes = nullptr;
  EXPECT_EQ(vips_linear1(image, &bytes, 255.0, 0.0, "uchar", TRUE, nullptr), 0);
  EXPECT_EQ(vips_jpegsave_buffer(bytes, &buffer, &length, nullptr), 0);
  std::string jpeg(static_cast<const char*>(buffer), length);
  g_free(buffer);
  g_object_unref(bytes);
  g_object_unref(image);
  return jpeg;
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(HandsetPicture, IsMadeOnceBesideThePictureAndAnewWhenThePictureChanges) {
  testing_support::TempDir dir;
  const fs::path picture = dir.path() / "Demo.jpg";
  Write(picture, Jpeg(240, 120));

  const auto wbmp = HandsetWbmp(picture, 96, 1400);
  ASSERT_EQ(wbmp, WbmpPath(picture, 96));
  const std::string made = testing_support::ReadFile(*wbmp);
  EXPECT_EQ(WbmpWidth(made), 96);
  EXPECT_EQ(made.size(), WbmpSize(96, 48));

  const auto made_at = fs::last_write_time(*wbmp);
  EXPECT_EQ(HandsetWbmp(picture, 96, 1400), wbmp);
  EXPECT_EQ(fs::last_write_time(*wbmp), made_at) << "reused, not made again";

  Write(picture, Jpeg(240, 240));  // replaced behind the server's back
  fs::last_write_time(picture, made_at + std::chrono::seconds(5));
  EXPECT_EQ(HandsetWbmp(picture, 96, 1400), wbmp);
  EXPECT_EQ(testing_support::ReadFile(*wbmp).size(), WbmpSize(96, 96)) << "made anew";

  const auto small = HandsetWbmp(picture, 240, 300);  // a small reply: narrower still
  ASSERT_TRUE(small);
  EXPECT_LE(fs::file_size(*small), 300u);
  EXPECT_EQ(WbmpWidth(testing_support::ReadFile(*small)), 48);

  // Any screen width a request declares gives one of a few files: multiples of 8 pixels.
  // (240 × 240 within 1,400 bytes: at most 104 wide.)
  for (int screen = 1; screen <= 120; ++screen) ASSERT_TRUE(HandsetWbmp(picture, screen, 1400));
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u + 104 / 8 + 7) << "the picture, 8…104 and 1…7";
}

TEST(HandsetPicture, NoneForAPictureThatCannotBeDecoded) {
  testing_support::TempDir dir;
  const std::string jpeg = Jpeg(64, 64);
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"text", "not a picture"},
      {"a cut-off JPEG", jpeg.substr(0, jpeg.size() / 2)},
      {"a header only", jpeg.substr(0, 200)},
  };
  for (const auto& c : cases) {
    const fs::path picture = dir.path() / "p.jpg";
    Write(picture, c.bytes);
    EXPECT_EQ(HandsetWbmp(picture, 96, 1400), std::nullopt) << c.what;
  }
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u) << "no WBMP and no temporary file";
}

TEST(HandsetPicture, ALargePictureHasOneOnlyWhenMadeBeforeTheRequest) {
  testing_support::TempDir dir;
  const fs::path picture = dir.path() / "Demo.jpg";
  Write(picture, Jpeg(1200, 1000));
  EXPECT_EQ(HandsetWbmp(picture, 96, 1400), std::nullopt) << "too long for a request to wait";
  MakeFolderWbmps(dir.path());  // as site creation does
  EXPECT_EQ(HandsetWbmp(picture, 96, 1400), WbmpPath(picture, 96));
}

TEST(HandsetPicture, ReplacingRemovesTheOldPicturesWbmpsOnly) {
  testing_support::TempDir dir;
  const fs::path picture = dir.path() / "Demo.jpg";
  for (const char* name : {"Demo.jpg", "Demo.jpg.50.wbmp", "Demo.jpg.96.wbmp", "Demo.jpg.x.wbmp",
                           "Demo.jpg..wbmp", "Demo.jpg.96.wbmp.keep", "Other.jpg.96.wbmp"}) {
    Write(dir.path() / name, "x");
  }
  const std::string wbmp = std::string("\0\0\x20\x10", 4) + std::string(4 * 16, '\0');
  ReplaceWbmps(picture, wbmp);
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    left.insert(entry.path().filename().string());
  }
  EXPECT_EQ(left, (std::set<std::string>{"Demo.jpg", "Demo.jpg.32.wbmp", "Demo.jpg.x.wbmp",
                                         "Demo.jpg..wbmp", "Demo.jpg.96.wbmp.keep",
                                         "Other.jpg.96.wbmp"}));
  EXPECT_EQ(testing_support::ReadFile(dir.path() / "Demo.jpg.32.wbmp"), wbmp);
}

}  // namespace
}  // namespace backoffice::images
