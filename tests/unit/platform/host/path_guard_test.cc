// Request paths: decoded once, normalised, refused when any encoding could leave the web root, and
// the private parts of a root (configuration, includes, databases, dot files) never served.
#include "platform/host/path_guard.h"

#include <gtest/gtest.h>

#include "platform/host/request_error.h"

namespace host {
namespace {

TEST(PathGuard, DecodesOnceNormalisesAndRefusesEveryWayOut) {
  const std::pair<const char*, const char*> cases[] = {  // "" = refused with a RequestError
      {"/", "/"}, {"//wap///./x.gif", "/wap/x.gif"}, {"/a/b/../c", "/a/c"}, {"/a/b/..", "/a/"},
      {"/%77ap/%E9%A6%96.gif", "/wap/\xE9\xA6\x96.gif"}, {"/%252e%252e/x", "/%2e%2e/x"},
      {"/a%20b", "/a b"}, {"/..", ""}, {"/a/../../x", ""}, {"/%2e%2e/x", ""}, {"/%2E%2E%2Fx", ""},
      {"/a%2f..%2f..%2fx", ""}, {"/..%5c..%5cx", ""}, {"/a\\..\\x", ""}, {"/%c0%ae%c0%ae/x", ""},
      {"/%c0%af", ""}, {"/%e0%80%ae", ""}, {"/x%00.gif", ""}, {"/x%0d%0a", ""}, {"/%ff", ""},
      {"/%", ""}, {"/%2", ""}, {"/%g0", ""}, {"", ""}, {"x/y", ""}, {"http://h/x", ""}};
  for (const auto& [raw, decoded] : cases) {
    if (*decoded == '\0') {
      EXPECT_THROW(DecodeSitePath(raw), RequestError) << raw;
    } else {
      EXPECT_EQ(DecodeSitePath(raw).Virtual(), decoded) << raw;
    }
  }
}

TEST(PathGuard, NeverServesConfigurationIncludesDatabasesOrDotFiles) {
  for (const char* raw : {"/conn.asp", "/CONN.ASP", "/wap/conn.asp", "/inc/fso.asp",
                          "/INC/siteaddress.txt", "/Inc/", "/a/.git/config", "/.env",
                          "/data/site.db", "/DATA/site.db-wal", "/waphome/demo/copy.DB",
                          "/waphome/x/site.sqlite"})
    EXPECT_TRUE(IsNeverServed(DecodeSitePath(raw))) << raw;
  for (const char* raw : {"/waphome/data/Demo.jpg", "/wap/index.asp", "/include/x.gif", "/"})
    EXPECT_FALSE(IsNeverServed(DecodeSitePath(raw))) << raw;
  EXPECT_TRUE(IsHostPage(DecodeSitePath("/wap/INDEX.Asp")));
  EXPECT_FALSE(IsHostPage(DecodeSitePath("/wap.asp/")));
  EXPECT_FALSE(IsHostPage(DecodeSitePath("/x.aspx")));
}

}  // namespace
}  // namespace host
