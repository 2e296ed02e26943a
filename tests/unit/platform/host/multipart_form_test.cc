// A multipart/form-data body as a page sees it: text fields in the form, files apart, every
// malformed or oversized body refused as the request's own fault, and urlencoded forms untouched.
#include "platform/host/http/multipart_form.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/host/http/request_builder.h"
#include "platform/host/objects/request_error.h"

namespace host {
namespace {

// The request of `body` sent with `content_type`, summed up as "a=1|f:pic=x.jpg(image/png)3|";
// "400" when the host refuses it.
std::string Seen(const std::string& body,
                 const std::string& content_type = "multipart/form-data; boundary=XyZ",
                 std::size_t max_fields = 3) {
  HttpRequestData http;
  http.method = "POST";
  http.target = "/p.asp";
  http.headers.emplace_back("Content-Type", content_type);
  http.body = body;
  try {
    const Request request = BuildRequest(http, "/p.asp", max_fields);
    std::string seen;
    for (const auto& [name, value] : request.Form().Pairs()) seen += name + "=" + value + "|";
    for (const UploadedFile& file : request.Files().All()) {
      seen += "f:" + file.field_name + "=" + file.file_name + "(" + file.content_type + ")" +
              std::to_string(file.bytes.size()) + "|";
    }
    return seen;
  } catch (const RequestError&) {
    return "400";
  }
}

std::string Part(const std::string& disposition, const std::string& content,
                 const std::string& extra = "") {
  return "--XyZ\r\nContent-Disposition: form-data; " + disposition + "\r\n" + extra + "\r\n" +
         content + "\r\n";
}

TEST(MultipartForm, FieldsGoToTheFormAndFilesApart) {
  const std::string end = "--XyZ--\r\n";
  const std::string bytes("\x89PNG\r\n\x1A\n--XyZ\0", 14);  // holds a near-delimiter
  const std::pair<std::string, std::string> cases[] = {
      {Part("name=\"a\"", "1") +
           Part("name=\"pic\"; filename=\"x.jpg\"", bytes, "Content-Type: image/png\r\n") + end,
       "a=1|f:pic=x.jpg(image/png)14|"},
      {"preamble\r\n" + Part("name=a", "") + end + "epilogue", "a=|"},
      {Part("name=\"t\"", "\xE4\xB8\xAD\xFF") + end, "t=\xE4\xB8\xAD\xEF\xBF\xBD|"},
      {Part("name=\"a\"", "x\r\ny") + Part("name=\"A\"", "2") + end, "a=x\r\ny|A=2|"},
      {Part("name=\"f\"; filename=\"\"", "", "Content-Type: application/octet-stream\r\n") + end,
       ""},  // a file field left empty
      {Part("filename=\"C:\\a\\b.gif\"; name=\"p\"", "GIF") + end, "f:p=C:\\a\\b.gif()3|"},
      {"--XyZ--", ""},
      {Part("name=\"a\"", "1"), "400"},            // never closed
      {Part("name=\"a\"", "1") + "--XyZ", "400"},  // cut off after a delimiter
      {"--XyZ\r\nContent-Disposition: form-data; name=\"a\"\r\n1", "400"},
      {Part("filename=\"x\"", "1") + end, "400"},  // no name
      {Part("name=\"a\"", "1").replace(7, 19, "Content-Dispositin") + end, "400"},
      {"no delimiter at all", "400"},
      {Part("name=a", "1") + Part("name=b", "2") + Part("name=c", "3") + end, "a=1|b=2|c=3|"},
      {Part("name=a", "1") + Part("name=b", "2") + Part("name=c", "3") +
           Part("name=d; filename=d", "4") + end,
       "400"},  // the field cap counts files too
  };
  for (const auto& [body, seen] : cases) EXPECT_EQ(Seen(body), seen) << body;

  const std::string part = Part("name=a", "1") + "--XyZ--";
  EXPECT_EQ(Seen(part, "multipart/form-data"), "400");  // no boundary
  EXPECT_EQ(Seen(part, "multipart/form-data; boundary=" + std::string(71, 'x')), "400");
  EXPECT_EQ(Seen(part, "Multipart/Form-Data; charset=utf-8; boundary=\"XyZ\""), "a=1|");
  // The same body as an urlencoded form is read as it always was.
  EXPECT_EQ(Seen("a=1&b=%E4%B8%AD", "application/x-www-form-urlencoded"), "a=1|b=\xE4\xB8\xAD|");
}

}  // namespace
}  // namespace host
