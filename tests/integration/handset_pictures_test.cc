// A site's pictures over HTTP: a handset behind a gateway that accepts only WBMP gets a WBMP of
// the picture, no wider than its screen and within its reply size, and a browser the picture
// itself, both told "Vary: Accept"; uploads refuse a JPEG scan bomb at once, store a progressive
// JPEG with its WBMP, and a refused first upload leaves the server running.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/back_office.h"
#include "support/http_client.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

constexpr const char* kGateway = "application/vnd.wap.wmlc, text/vnd.wap.wml, image/vnd.wap.wbmp";
constexpr const char* kBrowser = "image/avif,image/webp,image/apng,image/*,*/*;q=0.8";

// "WxH" when `bytes` are a whole type 0 WBMP (header and exactly its rows); "" otherwise.
std::string WbmpSize(const std::string& bytes) {
  std::size_t at = 2;
  const auto number = [&] {
    long value = 0;
    while (at < bytes.size()) {
      const auto byte = static_cast<unsigned char>(bytes[at++]);
      value = (value << 7) | (byte & 0x7F);
      if ((byte & 0x80) == 0) return value;
    }
    return -1L;
  };
  if (bytes.size() < 4 || bytes[0] != '\0' || bytes[1] != '\0') return "";
  const long width = number();
  const long height = number();
  if (width <= 0 || height <= 0) return "";
  if (bytes.size() - at != static_cast<std::size_t>((width + 7) / 8 * height)) return "";
  return std::to_string(width) + "x" + std::to_string(height);
}

class HandsetPictures : public testing::Test {
 protected:
  HttpResponse UploadBanner(const std::string& picture) {
    return PostPicture(owner_, "/admin/settings.asp", {{"act", "banner"}}, picture, token_);
  }

  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
  ServerProcess server_{site_.Path()};
  HttpClient owner_{server_.Port()}, visitor_{server_.Port()};
  std::string token_;
};

TEST_F(HandsetPictures, UploadsRefuseAScanBombAtOnceAndStoreAProgressiveJpegWithItsWbmp) {
  owner_.UseCookies(true);
  token_ = SignInOwner(owner_, "demo", "demo");
  const fs::path banner = site_.Path() / "waphome" / "demo" / "Demo.jpg";
  const std::string old_banner = ReadFile(banner);

  // The first upload since the server started is refused; the server answers on.
  EXPECT_NE(UploadBanner("not a picture").body.find("原有图片未改变"), std::string::npos);
  EXPECT_EQ(visitor_.Get("/wap/index.asp?userid=1").status, 200) << "still running";

  const auto started = std::chrono::steady_clock::now();
  const HttpResponse bomb =
      UploadBanner(ReadFile(fs::path(WAPSITE_SOURCE_DIR) / "tests/data/pictures/scan_bomb.jpg"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3))
      << "refused before decoding (it decodes for about 10 s)";
  EXPECT_NE(bomb.body.find("图片过于复杂"), std::string::npos);
  EXPECT_EQ(ReadFile(banner), old_banner);

  // A progressive JPEG, as a camera or an editor writes one (a few scans), is stored.
  const std::string progressive =
      ReadFile(fs::path(WAPSITE_SOURCE_DIR) / "tests/data/pictures/progressive_64x48.jpg");
  EXPECT_EQ(UploadBanner(progressive).status, 302);
  EXPECT_NE(ReadFile(banner), old_banner);
  EXPECT_EQ(WbmpSize(ReadFile(fs::path(banner) += ".64.wbmp")), "64x48");
}

TEST_F(HandsetPictures, GatewaysGetAWbmpWithinTheirScreenAndReplySizeBrowsersThePicture) {
  const std::string target = "/waphome/demo/upfile/teapot.jpg";  // stored without a WBMP
  const std::string jpeg = ReadFile(site_.Path() / "waphome/demo/upfile/teapot.jpg");
  const std::string wbmp = "image/vnd.wap.wbmp";
  const struct {
    const char* what;
    const char *accept, *pixels, *sdu;  // the headers Accept, UA-Pixels and the reply size
    std::string type;
    int max_width;
    std::size_t max_bytes;
  } cases[] = {
      {"a gateway", kGateway, nullptr, nullptr, wbmp, 96, 1400},
      {"a small screen", kGateway, "64x80", nullptr, wbmp, 64, 1400},
      {"a small reply size", kGateway, "240x320", "300", wbmp, 240, 300},
      {"a browser", kBrowser, nullptr, nullptr, "image/jpeg", 0, 0},
      {"no Accept", nullptr, nullptr, nullptr, "image/jpeg", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Pairs headers;
    if (c.accept) headers.emplace_back("Accept", c.accept);
    if (c.pixels) headers.emplace_back("UA-Pixels", c.pixels);
    if (c.sdu) headers.emplace_back("X-WAP-Client-SDU-Size", c.sdu);
    const HttpResponse reply = visitor_.Get(target, headers);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("Content-Type"), c.type);
    EXPECT_EQ(reply.Header("Vary"), "Accept");
    if (c.type == "image/jpeg") {
      EXPECT_EQ(reply.body, jpeg);
      continue;
    }
    const std::string size = WbmpSize(reply.body);
    ASSERT_NE(size, "") << "a whole WBMP";
    EXPECT_LE(std::stoi(size), c.max_width);
    EXPECT_LE(reply.body.size(), c.max_bytes);
  }
  EXPECT_TRUE(fs::exists(site_.Path() / "waphome/demo/upfile/teapot.jpg.96.wbmp"))
      << "made once, beside the picture";

  // A picture that cannot be decoded goes as it is; files that are not a site's pictures carry
  // no Vary.
  std::ofstream(site_.Path() / "waphome/demo/upfile/broken.jpg") << "\xFF\xD8\xFF garbage";
  const HttpResponse broken =
      visitor_.Get("/waphome/demo/upfile/broken.jpg", {{"Accept", kGateway}});
  EXPECT_EQ(broken.Header("Content-Type"), "image/jpeg");
  EXPECT_EQ(broken.Header("Vary"), "Accept");
  std::ofstream(site_.Path() / "elsewhere.jpg") << ReadFile(site_.Path() / "waphome/demo/Demo.jpg");
  const HttpResponse elsewhere = visitor_.Get("/elsewhere.jpg", {{"Accept", kGateway}});
  EXPECT_EQ(elsewhere.Header("Content-Type"), "image/jpeg");
  EXPECT_EQ(elsewhere.Header("Vary"), std::nullopt);
}

TEST_F(HandsetPictures, ANewSiteHasItsBannersWbmp) {
  ASSERT_EQ(AddOwner(site_.Path(), "shop"), "2\n");
  bool found = false;
  for (const auto& entry : fs::directory_iterator(site_.Path() / "waphome" / "shop")) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("Demo.jpg.") && name.ends_with(".wbmp")) {
      found = WbmpSize(ReadFile(entry.path())) != "";
    }
  }
  EXPECT_TRUE(found);
}

}  // namespace
