#include "platform/host/path_guard.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/host/request_error.h"
#include "support/temp_dir.h"

namespace host {
namespace {

TEST(PathGuard, DecodesOnceAndNormalises) {
  const std::pair<const char*, const char*> cases[] = {
      {"/", "/"},
      {"/wap/index.asp", "/wap/index.asp"},
      {"/wap/", "/wap/"},
      {"//wap///./x.gif", "/wap/x.gif"},
      {"/a/b/../c", "/a/c"},
      {"/a/b/..", "/a/"},
      {"/%77ap/%E9%A6%96.gif", "/wap/\xE9\xA6\x96.gif"},
      {"/%252e%252e/x", "/%2e%2e/x"},  // double encoding stays one level deep
      {"/a%20b", "/a b"},
  };
  for (const auto& [raw, virtual_path] : cases) {
    EXPECT_EQ(DecodeSitePath(raw).Virtual(), virtual_path) << raw;
  }
}

TEST(PathGuard, RejectsEveryEncodingThatCouldLeaveTheRoot) {
  for (const char* raw : {"/..",          "/../etc/passwd", "/a/../../x",
                          "/%2e%2e/x",    "/%2E%2E%2Fx",    "/a%2f..%2f..%2fx",
                          "/..%5c..%5cx", "/a\\..\\x",      "/%c0%ae%c0%ae/x",
                          "/%c0%af",      "/%e0%80%ae",     "/x%00.gif",
                          "/x%0d%0a",     "/%ff",           "/%",
                          "/%2",          "/%g0",           "",
                          "x/y",          "http://h/x"}) {
    EXPECT_THROW(DecodeSitePath(raw), RequestError) << raw;
  }
}

TEST(PathGuard, NeverServesConfigurationIncludeFoldersOrDotFiles) {
  const std::pair<const char*, bool> cases[] = {
      {"/conn.asp", true},
      {"/CONN.ASP", true},
      {"/wap/conn.asp", true},
      {"/inc/fso.asp", true},
      {"/INC/siteaddress.txt", true},
      {"/Inc/", true},
      {"/a/.git/config", true},
      {"/.env", true},
      {"/wap/.hidden", true},
      {"/data/site.db", true},
      {"/DATA/site.db-wal", true},
      {"/waphome/demo/copy.DB", true},
      {"/waphome/x/site.sqlite", true},
      {"/waphome/data/Demo.jpg", false},
      {"/wap/index.asp", false},
      {"/include/x.gif", false},
      {"/wap/Demo.jpg", false},
      {"/", false},
  };
  for (const auto& [raw, never] : cases)
    EXPECT_EQ(IsNeverServed(DecodeSitePath(raw)), never) << raw;
  EXPECT_TRUE(IsHostPage(DecodeSitePath("/wap/INDEX.Asp")));
  EXPECT_FALSE(IsHostPage(DecodeSitePath("/wap.asp/")));
  EXPECT_FALSE(IsHostPage(DecodeSitePath("/x.aspx")));
}

TEST(PathGuard, ResolvesOnlyExistingFilesInsideTheCanonicalRoot) {
  testing_support::TempDir dir;
  const auto root = dir.path() / "root";
  std::filesystem::create_directories(root / "wap");
  std::ofstream(root / "wap" / "a.txt") << "a";
  std::ofstream(dir.path() / "secret.txt") << "secret";
  std::filesystem::create_symlink(dir.path() / "secret.txt", root / "link.txt");
  std::filesystem::create_directory_symlink(dir.path(), root / "up");
  const auto canonical_root = std::filesystem::canonical(root);

  EXPECT_EQ(ResolveInRoot(canonical_root, DecodeSitePath("/wap/a.txt")),
            canonical_root / "wap" / "a.txt");
  EXPECT_EQ(ResolveInRoot(canonical_root, DecodeSitePath("/")), canonical_root);
  EXPECT_EQ(ResolveInRoot(canonical_root, DecodeSitePath("/wap/missing.txt")), std::nullopt);
  EXPECT_EQ(ResolveInRoot(canonical_root, DecodeSitePath("/link.txt")), std::nullopt);
  EXPECT_EQ(ResolveInRoot(canonical_root, DecodeSitePath("/up/secret.txt")), std::nullopt);
}

}  // namespace
}  // namespace host
