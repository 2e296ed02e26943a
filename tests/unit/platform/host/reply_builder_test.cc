#include "platform/host/reply_builder.h"

#include <gtest/gtest.h>

#include "platform/host/mime_types.h"
#include "platform/host/request_error.h"
#include "platform/host/session_store.h"

namespace host {
namespace {

TEST(ReplyBuilder, SendsTheHostHeadersFirstThenThePagesInOrder) {
  Response response;
  response.SetContentType("text/vnd.wap.wml");
  response.SetExpiresAbsolute(std::chrono::system_clock::from_time_t(784111777));
  response.SetCacheControl("no-cache");
  response.AddHeader("Pragma", "no-cache");
  response.AddHeader("Content-Length", "999");  // the host's own; dropped
  response.Write("<wml/>");
  const auto reply = ReplyFromResponse(response, std::string("abc"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->headers, (HttpHeaders{{"Content-Type", "text/vnd.wap.wml; charset=utf-8"},
                                         {"Expires", "Sun, 06 Nov 1994 08:49:37 GMT"},
                                         {"Cache-Control", "no-cache"},
                                         {"Pragma", "no-cache"},
                                         {"Set-Cookie", SessionCookie("abc")}}));
  EXPECT_EQ(reply->body, "<wml/>");
}

TEST(ReplyBuilder, SendsARedirectWithLocationAndNoBody) {
  Response response;
  response.Write("dropped");
  response.Redirect("http://x/wap/index.asp?userid=12&username=abc");
  const auto reply = ReplyFromResponse(response, std::nullopt);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 302);
  EXPECT_EQ(reply->headers.back(),
            (HttpHeaders::value_type{"Location", "http://x/wap/index.asp?userid=12&username=abc"}));
  EXPECT_EQ(reply->body, "");
}

TEST(ReplyBuilder, ARedirectTooLongToFollowIsTheRequestsFault) {
  Response response;
  response.Redirect("/" + std::string(Response::kMaxLocation - 1, 'a'));  // just fits
  EXPECT_EQ(response.Status(), 302);
  Response too_long;
  too_long.Write("kept");
  EXPECT_THROW(too_long.Redirect("/" + std::string(Response::kMaxLocation, 'a')), RequestError);
  EXPECT_FALSE(too_long.Ended());
  EXPECT_EQ(too_long.Body(), "kept");
}

TEST(ReplyBuilder, RefusesHeadersThatWouldSplitTheReply) {
  for (const auto& [name, value] :
       HttpHeaders{{"X-A", "1\r\nSet-Cookie: evil=1"}, {"X-A\n", "1"}, {"X A", "1"}, {"", "1"}}) {
    Response response;
    response.AddHeader(name, value);
    EXPECT_EQ(ReplyFromResponse(response, std::nullopt), std::nullopt) << name;
  }
  Response redirect;
  redirect.Redirect("/a\r\nX: y");
  EXPECT_EQ(ReplyFromResponse(redirect, std::nullopt), std::nullopt);
}

TEST(MimeTypes, KnowsTheSiteFileTypesAndAddsTheCharsetToTextOnly) {
  const std::pair<const char*, const char*> types[] = {
      {"a.JPG", "image/jpeg"},
      {"a.jpeg", "image/jpeg"},
      {"a.gif", "image/gif"},
      {"a.png", "image/png"},
      {"a.wbmp", "image/vnd.wap.wbmp"},
      {"style.css", "text/css; charset=utf-8"},
      {"a.wml", "text/vnd.wap.wml; charset=utf-8"},
      {"a.txt", "text/plain; charset=utf-8"},
      {"a.htm", "text/html; charset=utf-8"},
      {"a.xml", "application/xml; charset=utf-8"},
      {"a.svg", "image/svg+xml"},
      {"a.exe", "application/octet-stream"},
      {"noext", "application/octet-stream"},
      {"dir.gif/x", "application/octet-stream"},
  };
  for (const auto& [file, type] : types) EXPECT_EQ(WithCharset(MimeTypeFor(file)), type) << file;
  EXPECT_EQ(WithCharset("application/xhtml+xml"), "application/xhtml+xml; charset=utf-8");
  EXPECT_EQ(WithCharset("application/vnd.wap.xhtml+xml"),
            "application/vnd.wap.xhtml+xml; charset=utf-8");
  EXPECT_EQ(WithCharset("text/html; Charset=GB2312"), "text/html; Charset=GB2312");
}

TEST(ReplyBuilder, HttpDatesOfDifferentSecondsNeverMix) {
  using std::chrono::system_clock;
  const struct {
    std::time_t t;
    const char* text;
  } dates[] = {{784111777, "Sun, 06 Nov 1994 08:49:37 GMT"},
               {784111778, "Sun, 06 Nov 1994 08:49:38 GMT"},
               {784111777 - 86400, "Sat, 05 Nov 1994 08:49:37 GMT"},
               {0, "Thu, 01 Jan 1970 00:00:00 GMT"},
               {1709251199, "Thu, 29 Feb 2024 23:59:59 GMT"}};
  // Asked again and again in changing orders, as replies ask for now and a day ago.
  for (int round = 0; round < 3; ++round) {
    for (const auto& d : dates) {
      EXPECT_EQ(HttpDate(system_clock::from_time_t(d.t)), d.text);
      EXPECT_EQ(HttpDate(system_clock::from_time_t(d.t) + std::chrono::milliseconds(999)), d.text);
      EXPECT_EQ(HttpDate(system_clock::from_time_t(dates[0].t)), dates[0].text);
    }
  }
}

}  // namespace
}  // namespace host
