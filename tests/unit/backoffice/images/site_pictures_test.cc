// What a site owner's upload becomes: only bytes that prove to be a JPEG, PNG or GIF of at most
// 50 megapixels (and, for a JPEG, at most 100 scans) are stored, scaled down for handsets in the
// format of their use, without metadata, with a WBMP beside them; anything else leaves the old
// picture as it was.
#include "backoffice/images/site_pictures.h"

#include <gtest/gtest.h>
#include <vips/vips.h>

#include <fstream>

#include "backoffice/images/image_type.h"
#include "support/temp_dir.h"

namespace backoffice::images {
namespace {

namespace fs = std::filesystem;

// A black picture of `width` × `height` (with an alpha band when `alpha`) saved as `suffix`.
std::string MakePicture(int width, int height, const char* suffix, bool alpha = false) {
  EXPECT_EQ(VIPS_INIT("test"), 0);
  VipsImage* image = nullptr;
  void* buffer = nullptr;
  std::size_t length = 0;
  EXPECT_EQ(vips_black(&image, width, height, "bands", alpha ? 4 : 3, nullptr), 0);
  EXPECT_EQ(vips_image_write_to_buffer(image, suffix, &buffer, &length, nullptr), 0);
  std::string bytes(static_cast<const char*>(buffer), length);
  g_free(buffer);
  g_object_unref(image);
  return bytes;
}

// "JPEG 240x120": the format the bytes are and the size their header gives; "" when unreadable.
std::string Measure(const std::string& bytes) {
  const auto type = SniffImageType(bytes);
  VipsImage* image = vips_image_new_from_buffer(bytes.data(), bytes.size(), "", nullptr);
  if (!type || !image) return "";
  const std::string names[] = {"JPEG", "PNG", "GIF"};
  std::string seen = names[static_cast<int>(*type)] + " " +
                     std::to_string(vips_image_get_width(image)) + "x" +
                     std::to_string(vips_image_get_height(image));
  g_object_unref(image);
  return seen;
}

// A picture of tests/data/pictures/ (its README says what each is).
std::string Fixture(const char* name) {
  return testing_support::ReadFile(fs::path(WAPSITE_SOURCE_DIR) / "tests/data/pictures" / name);
}

TEST(SitePictures, StoreOnlyPicturesTheBytesProveAndOtherwiseLeaveTheOldOne) {
  const std::string jpeg = MakePicture(600, 300, ".jpg");
  const struct {
    const char* what;
    PictureUse use;
    std::string bytes;
    PictureRefusal refusal;
    const char* stored;
    const char* wbmp = "";  // the width of its WBMP, as its file name ends
  } cases[] = {
      {"a PNG named .jpg", PictureUse::kBanner, MakePicture(960, 480, ".png"),
       PictureRefusal::kNone, "JPEG 240x120", ".96.wbmp"},
      {"a text file named .gif", PictureUse::kLogo, "GIF or not, this is text",
       PictureRefusal::kNotAPicture, ""},
      {"nothing chosen", PictureUse::kBanner, "", PictureRefusal::kNoFile, ""},
      {"a PNG bomb", PictureUse::kBanner, Fixture("png_bomb.png"), PictureRefusal::kTooManyPixels,
       ""},
      {"a JPEG bomb", PictureUse::kProduct, Fixture("jpeg_bomb.jpg"),
       PictureRefusal::kTooManyPixels, ""},
      {"a tall PNG bomb", PictureUse::kProduct, Fixture("png_tall_bomb.png"),
       PictureRefusal::kTooManyPixels, ""},
      {"a wide banner within the limit", PictureUse::kBanner, MakePicture(5000, 200, ".jpg"),
       PictureRefusal::kNone, "JPEG 240x10", ".96.wbmp"},
      {"a scan bomb", PictureUse::kBanner, Fixture("scan_bomb.jpg"), PictureRefusal::kTooComplex,
       ""},
      {"a progressive JPEG", PictureUse::kProduct, MakePicture(640, 480, ".jpg[interlace]"),
       PictureRefusal::kNone, "JPEG 240x180", ".96.wbmp"},
      {"a cut-off JPEG", PictureUse::kBanner, jpeg.substr(0, jpeg.size() / 2),
       PictureRefusal::kUnreadable, ""},
      {"a JPEG with metadata", PictureUse::kBanner, Fixture("jpeg_with_metadata.jpg"),
       PictureRefusal::kNone, "JPEG 64x48", ".64.wbmp"},
      {"a wide transparent logo", PictureUse::kLogo, MakePicture(300, 150, ".png", true),
       PictureRefusal::kNone, "GIF 96x48", ".96.wbmp"},
      {"a tall logo", PictureUse::kLogo, MakePicture(50, 200, ".gif"), PictureRefusal::kNone,
       "GIF 24x96", ".24.wbmp"},
      {"a small product", PictureUse::kProduct, MakePicture(100, 80, ".gif"), PictureRefusal::kNone,
       "JPEG 100x80", ".96.wbmp"},
      {"a transparent product", PictureUse::kProduct, MakePicture(480, 100, ".png", true),
       PictureRefusal::kNone, "JPEG 240x50", ".96.wbmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::TempDir dir;
    const fs::path member = dir.path() / "shop";
    fs::create_directories(member / "upfile");
    std::ofstream(member / "Demo.jpg") << "old";
    std::ofstream(member / "upfile" / "logo.gif") << "old";
    const host::UploadedFile upload{"picture", c.use == PictureUse::kLogo ? "a.gif" : "a.jpg",
                                    "image/jpeg", c.bytes, nullptr};
    const host::UploadedFile* sent = c.bytes.empty() ? nullptr : &upload;

    fs::path written;
    PictureRefusal refusal;
    if (c.use == PictureUse::kBanner) {
      refusal = StoreBanner(member, sent);
      written = member / "Demo.jpg";
    } else if (c.use == PictureUse::kLogo) {
      refusal = StoreLogo(member, sent);
      written = member / "upfile" / "logo.gif";
    } else {
      const StoredPicture stored = StoreProductPicture(member, sent);
      refusal = stored.refusal;
      EXPECT_EQ(stored.file_name.empty(), refusal != PictureRefusal::kNone);
      written = member / "upfile" / (stored.file_name.empty() ? "logo.gif" : stored.file_name);
    }
    EXPECT_EQ(refusal, c.refusal);
    EXPECT_EQ(RefusalText(refusal).empty(), refusal == PictureRefusal::kNone);
    const std::string content = testing_support::ReadFile(written);
    EXPECT_EQ(*c.stored ? Measure(content) : content, *c.stored ? c.stored : "old");
    EXPECT_EQ(content.find("SECRET"), std::string::npos);
    EXPECT_EQ(content.find("Exif"), std::string::npos);
    std::size_t files = 0;
    std::string wbmps;
    for (const auto& entry : fs::recursive_directory_iterator(member)) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".wbmp")) {
        wbmps += name.substr(name.rfind(".", name.size() - 6));  // its width: ".96.wbmp"
      } else {
        files += entry.is_regular_file();
      }
    }
    EXPECT_EQ(files, 2u + (c.use == PictureUse::kProduct && refusal == PictureRefusal::kNone))
        << "no temporary file stays";
    EXPECT_EQ(wbmps, *c.stored ? c.wbmp : "") << "the handsets' copy beside a stored picture";
  }
}

}  // namespace
}  // namespace backoffice::images
