#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/host/server.h"

namespace host {
namespace {

TEST(ServerMapPath, MapsFromTheRootOrThePageFolder) {
  const Server wap("/srv/www/", "/wap", nullptr);
  const std::pair<const char*, const char*> cases[] = {
      {"/", "/srv/www"},
      {"\\", "/srv/www"},
      {"/conn.asp", "/srv/www/conn.asp"},
      {"\\inc\\fso.asp", "/srv/www/inc/fso.asp"},
      {"/waphome/abc/upfile/logo.gif", "/srv/www/waphome/abc/upfile/logo.gif"},
      {"index.asp", "/srv/www/wap/index.asp"},
      {"sub\\x.txt", "/srv/www/wap/sub/x.txt"},
      {"../waphome", "/srv/www/waphome"},
      {"./a/./b/../c", "/srv/www/wap/a/c"},
      {"", "/srv/www/wap"},
      {"..", "/srv/www"},
  };
  for (const auto& [path, physical] : cases) EXPECT_EQ(wap.MapPath(path), physical) << path;
  EXPECT_EQ(Server("/srv/www", "/", nullptr).MapPath("x"), "/srv/www/x");
}

TEST(ServerMapPath, ThrowsForPathsOutsideTheRoot) {
  const Server wap("/srv/www", "/wap", nullptr);
  for (const char* path :
       {"/..", "/../etc/passwd", "..\\..\\x", "../../x", "/a/../../b", "\\..\\x"}) {
    EXPECT_THROW(wap.MapPath(path), std::runtime_error) << path;
  }
  EXPECT_THROW(wap.MapPath(std::string_view("a\0b", 3)), std::runtime_error);
}

TEST(ServerCreateObject, ThrowsNamingAnUnknownClass) {
  const Server none("/srv/www", "/", [](std::string_view) { return nullptr; });
  try {
    none.CreateObject("wap.nothing");
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("wap.nothing"), std::string::npos);
  }
}

}  // namespace
}  // namespace host
