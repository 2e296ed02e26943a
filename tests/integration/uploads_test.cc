// Uploads over HTTP: a multipart/form-data body has its own size limit (--max-upload-bytes, 25 MB
// by default), enforced from the declared length or, chunked, while the bytes arrive, so a client
// announcing or streaming too much is refused before it has sent it (its access line still names
// the request); a malformed body is the client's fault (400); ordinary forms keep their own limit.
// An owner's too-large form gets the back office's page, saying the limit.
// A phone's photo goes through the back office's product form, kept in a private temporary file
// that is gone afterwards, and is stored re-encoded 240 pixels wide.
#include <gtest/gtest.h>
#include <vips/vips.h>

#include <filesystem>

#include "support/back_office.h"
#include "support/demo_pages.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

constexpr std::string_view kMultipart = "multipart/form-data; boundary=B";

std::string Head(std::string_view content_type, std::string_view length_header) {
  return "POST " + kDemoPages[0].Target() +
         " HTTP/1.1\r\nHost: x\r\nContent-Type: " + std::string(content_type) + "\r\n" +
         std::string(length_header) + "\r\n\r\n";
}

// A multipart form of one file of `size` bytes.
std::string Upload(std::size_t size) {
  return "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.jpg\"\r\n\r\n" +
         std::string(size, 'x') + "\r\n--B--\r\n";
}

class Uploads : public ::testing::Test {
 protected:
  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
};

TEST_F(Uploads, AreLimitedWhileTheyArriveAndMalformedOnesAreRefused) {
  ServerProcess server(site_.Path(), {"--max-upload-bytes", "1500000"});
  HttpClient client(server.Port());
  const std::string form = FormEncode({{"x", std::string(1'200'000, 'y')}});
  const struct {
    std::string_view content_type;
    std::string body;
    int status;
  } cases[] = {
      {kMultipart, Upload(1'200'000), 200},  // over the ordinary body limit, under the upload one
      {kMultipart, Upload(1'600'000), 413},
      {"application/x-www-form-urlencoded", form, 413},  // forms keep the ordinary limit
      {kMultipart, Upload(10).substr(0, 40), 400},       // the other malformed ones: MultipartForm
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client
                  .Send("POST", kDemoPages[0].Target(),
                        {{"Content-Type", std::string(c.content_type)}}, c.body)
                  .status,
              c.status)
        << c.content_type << " " << c.body.size();
  }

  // Refused from the head alone, no body byte needed; chunked, once more than the limit has
  // arrived while the body is still unfinished. (Forms take the same steps with their own limit.)
  RawConnection announced(server.Port()), streamed(server.Port());
  announced.Send(Head(kMultipart, "Content-Length: 1500001"));
  const HttpResponse refused = announced.ReadResponse(false, 3s);
  EXPECT_EQ(refused.status, 413);
  EXPECT_EQ(refused.body, "request body too large");  // no page of the application's for it
  streamed.Send(Head(kMultipart, "Transfer-Encoding: chunked"));
  const std::string chunk = "10000\r\n" + std::string(0x10000, 'z') + "\r\n";  // 64 KiB
  for (int i = 0; i < 24; ++i) streamed.Send(chunk);
  EXPECT_EQ(streamed.ReadResponse(false, 3s).status, 413);
  // Refused from its head, a request's access line still names it.
  EXPECT_TRUE(server.WaitForOutput("\"POST " + kDemoPages[0].Target() + " HTTP/1.1\" 413"))
      << server.Stdout();
  EXPECT_EQ(server.Stdout().find("\"-\" 413"), std::string::npos) << server.Stdout();
  EXPECT_EQ(server.Stop(), 0);
}

// A JPEG of `width` × `height` as a phone's camera makes one: smooth noise, a few megabytes.
std::string PhotoJpeg(int width, int height) {
  EXPECT_EQ(VIPS_INIT("test"), 0);
  VipsImage* noise = nullptr;
  VipsImage* scaled = nullptr;
  VipsImage* colour = nullptr;
  VipsImage* bytes = nullptr;
  void* buffer = nullptr;
  std::size_t length = 0;
  EXPECT_EQ(vips_gaussnoise(&noise, width / 4, height / 4, "sigma", 50.0, "mean", 128.0, nullptr),
            0);
  EXPECT_EQ(vips_resize(noise, &scaled, 4.0, nullptr), 0);
  VipsImage* bands[] = {scaled, scaled, scaled};
  EXPECT_EQ(vips_bandjoin(bands, &colour, 3, nullptr), 0);
  EXPECT_EQ(vips_cast_uchar(colour, &bytes, nullptr), 0);
  EXPECT_EQ(vips_jpegsave_buffer(bytes, &buffer, &length, "Q", 90, nullptr), 0);
  std::string jpeg(static_cast<const char*>(buffer), length);
  g_free(buffer);
  for (VipsImage* image : {noise, scaled, colour, bytes}) g_object_unref(image);
  return jpeg;
}

// The width and height of the picture file `path`; {0, 0} when it cannot be read.
std::pair<int, int> PictureSize(const std::filesystem::path& path) {
  VipsImage* image = vips_image_new_from_file(path.c_str(), nullptr);
  if (image == nullptr) return {0, 0};
  const std::pair size(vips_image_get_width(image), vips_image_get_height(image));
  g_object_unref(image);
  return size;
}

TEST_F(Uploads, APhonesPhotoIsStoredReEncodedAndItsTemporaryFileIsGone) {
  TempDir tmp;  // the server's TMPDIR: its private upload folder is made there
  ServerProcess server(site_.Path(), {}, "export TMPDIR='" + tmp.path().string() + "';");
  HttpClient owner(server.Port());
  owner.UseCookies(true);
  const std::string token = SignInOwner(owner, "demo", "demo");
  const std::string photo = PhotoJpeg(4000, 3000);
  ASSERT_GT(photo.size(), 3'000'000u);
  const Pairs fields = {{"act", "save"}, {"pname", "\xE7\x85\xA7"}};
  ASSERT_EQ(PostPicture(owner, "/admin/products.asp", fields, photo, token).status, 302);
  const auto stored = site_.Column("select ppic from wap_product where pname='\xE7\x85\xA7'");
  ASSERT_EQ(stored.size(), 1u);
  const auto picture = site_.Path() / "waphome" / "demo" / "upfile" / stored[0];
  EXPECT_EQ(PictureSize(picture), std::pair(240, 180));

  // The upload folder: the server's only one there, private, and nothing left in it.
  const std::filesystem::directory_entry folder = *std::filesystem::directory_iterator(tmp.path());
  EXPECT_EQ(folder.status().permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  // Over the default limit: refused from its declared length.
  RawConnection over(server.Port());
  over.Send(Head(kMultipart, "Content-Length: " + std::to_string(25 * 1024 * 1024 + 1)));
  EXPECT_EQ(over.ReadResponse(false, 3s).status, 413);
  // The owner's too-large forms get the back office's page, saying the limit and the way back:
  // an upload streamed past the limit, one sent whole past its declared length, a form.
  RawConnection streamed(server.Port());
  streamed.Send("POST /admin/products.asp HTTP/1.1\r\nHost: x\r\nCookie: WAPSESSIONID=" +
                owner.Cookies()[0].second + "\r\nContent-Type: " + std::string(kMultipart) +
                "\r\nTransfer-Encoding: chunked\r\n\r\n");
  const std::string chunk = "100000\r\n" + std::string(0x100000, 'z') + "\r\n";  // 1 MiB
  for (int i = 0; i < 26; ++i) streamed.Send(chunk);
  const struct {
    HttpResponse refused;
    const char *limit, *back;
  } pages[] = {
      {streamed.ReadResponse(), "每次最多 25 MB", "href=\"/admin/products.asp\""},
      {PostPicture(owner, "/admin/products.asp", fields, photo + std::string(25 * 1024 * 1024, 'x'),
                   token),
       "每次最多 25 MB", "href=\"/admin/products.asp\""},
      {owner.Post("/admin/settings.asp", std::string(1024 * 1024 + 1, 'x')), "每次最多 1 MB",
       "href=\"/admin/settings.asp\""},
  };
  for (const auto& page : pages) {
    EXPECT_EQ(page.refused.status, 413);
    for (const char* part : {"<nav>", page.limit, page.back})
      EXPECT_NE(page.refused.body.find(part), std::string::npos) << part << "\n"
                                                                 << page.refused.body;
  }
  EXPECT_EQ(server.Stop(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "the upload folder goes with the server";
}

}  // namespace
