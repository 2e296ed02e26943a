// Uploads kept out of memory: a multipart/form-data body read by the server's own steps goes to a
// temporary file without a name in the upload folder, the request's files are views of it, and
// an upload that cannot be kept or is too large is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/host/http/http_request_reader.h"
#include "platform/host/http/request_builder.h"
#include "support/temp_dir.h"

namespace host {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// A multipart POST of a text field and a file of `bytes`, framed by Content-Length or chunked.
std::string Upload(const std::string& bytes, bool chunked) {
  const std::string body =
      "--B\r\nContent-Disposition: form-data; name=\"pname\"\r\n\r\n\xE8\x8C\xB6\r\n"
      "--B\r\nContent-Disposition: form-data; name=\"picture\"; filename=\"a.jpg\"\r\n\r\n" +
      bytes + "\r\n--B--\r\n";
  std::string head =
      "POST /admin/products.asp HTTP/1.1\r\nHost: x\r\n"
      "Content-Type: multipart/form-data; boundary=B\r\n";
  if (!chunked) return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  std::ostringstream chunk;
  chunk << std::hex << body.size();
  return head + "Transfer-Encoding: chunked\r\n\r\n" + chunk.str() + "\r\n" + body +
         "\r\n0\r\n\r\n";
}

TEST(UploadSpooling, AnUploadGoesToANamelessFileAndItsPartsAreReadFromIt) {
  TempDir folder;
  HttpServerOptions limits;
  limits.body_limit = 100;  // an upload is over the ordinary limit, under its own
  limits.upload_limit = 4096;
  limits.upload_folder = folder.path().string();
  std::string bytes(3000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  const std::string whole = Upload(bytes, false);
  const std::size_t body_size = whole.size() - whole.find("\r\n\r\n") - 4;
  for (const bool chunked : {false, true}) {
    HttpRequestRead read = ReadHttpRequest(Upload(bytes, chunked), limits);
    ASSERT_EQ(read.outcome, HttpRequestRead::Outcome::kRequest) << chunked;
    ASSERT_NE(read.request.body_file, nullptr);
    EXPECT_TRUE(read.request.body.empty());
    EXPECT_EQ(BodySize(read.request), body_size);
    EXPECT_TRUE(fs::is_empty(folder.path())) << "the file has no name to leave behind";
    const Request request = BuildRequest(read.request, "/admin/products.asp");
    read = {};  // the request's files keep the body's bytes alive on their own
    const UploadedFile* file = request.Files().Get("picture");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->bytes, bytes);
    EXPECT_EQ(request.Form().Get("pname").value_or(""), "\xE8\x8C\xB6");
    EXPECT_EQ(request.ServerVariable("CONTENT_LENGTH"), std::to_string(body_size));
  }
  // Ordinary forms stay in memory; uploads without a folder are refused (beyond their limit:
  // Uploads.AreLimited...).
  const HttpRequestRead form = ReadHttpRequest(
      "POST /p HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
      "Content-Length: 3\r\n\r\na=1",
      limits);
  EXPECT_EQ(form.request.body, "a=1");
  EXPECT_EQ(form.request.body_file, nullptr);
  limits.upload_folder = (folder.path() / "missing").string();
  EXPECT_EQ(ReadHttpRequest(Upload(bytes, false), limits).status, 503);
  limits.upload_folder.clear();
  EXPECT_EQ(ReadHttpRequest(Upload(bytes, false), limits).status, 503);
}

}  // namespace
}  // namespace host
