// The real `wapsite serve` sending static files, and refusing everything that must stay private.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/http_client.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::HttpClient;
using testing_support::HttpResponse;
using testing_support::ServerProcess;
using testing_support::TempDir;

constexpr std::string_view kSecret = "TOP-SECRET-BESIDE-THE-ROOT";

void WriteFile(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

class StaticFiles : public ::testing::Test {
 protected:
  StaticFiles() {
    const auto root = dir_.path() / "root";
    WriteFile(dir_.path() / "secret.txt", kSecret);
    WriteFile(root / "waphome" / "abc" / "Demo.jpg", std::string("\xFF\xD8\xFF\x00jpeg", 8));
    WriteFile(root / "waphome" / "abc" / "style.css", "p{}");
    WriteFile(root / "a.gif", "GIF89a");
    WriteFile(root / "a.png", "png");
    WriteFile(root / "a.wbmp", "wbmp");
    WriteFile(root / "a.wml", "<wml/>");
    WriteFile(root / "a.txt", "text");
    WriteFile(root / "a.bin", "bin");
    WriteFile(root / "conn.asp",
              std::string("<%strSQLServer=\"sqlite:data/site.db\"%>") + std::string(kSecret));
    WriteFile(root / "inc" / "fso.asp", kSecret);
    WriteFile(root / "inc" / "siteaddress.txt", kSecret);
    WriteFile(root / "wap" / "index.asp",
              "<%Response.Write(\"page\") ' " + std::string(kSecret) + "%>");
    WriteFile(root / ".env", kSecret);
    WriteFile(root / "data" / "site.db", kSecret);
    WriteFile(root / "data" / "site.db-wal", kSecret);
    WriteFile(root / ".git" / "config", kSecret);
    std::filesystem::create_symlink(dir_.path() / "secret.txt", root / "link.txt");
    server_.emplace(root);
  }

  HttpClient Client() const { return HttpClient(server_->Host(), server_->Port()); }

  TempDir dir_;
  std::optional<ServerProcess> server_;
};

TEST_F(StaticFiles, SendsFilesWithTheirMimeTypes) {
  const std::pair<const char*, const char*> cases[] = {
      {"/waphome/abc/Demo.jpg", "image/jpeg"},
      {"/waphome/abc/style.css", "text/css; charset=utf-8"},
      {"/a.gif", "image/gif"},
      {"/a.png", "image/png"},
      {"/a.wbmp", "image/vnd.wap.wbmp"},
      {"/a.wml", "text/vnd.wap.wml; charset=utf-8"},
      {"/a.txt", "text/plain; charset=utf-8"},
      {"/a.bin", "application/octet-stream"},
  };
  HttpClient client = Client();
  for (const auto& [path, type] : cases) {
    const HttpResponse r = client.Get(path);
    EXPECT_EQ(r.status, 200) << path;
    EXPECT_EQ(r.Header("Content-Type"), type) << path;
  }
  EXPECT_EQ(client.Get("/waphome/abc/Demo.jpg").body, std::string("\xFF\xD8\xFF\x00jpeg", 8));
  EXPECT_EQ(client.Get("/missing.gif").status, 404);
  EXPECT_EQ(client.Connections(), 1);  // all on one kept-alive connection
}

TEST_F(StaticFiles, NeverSendsSourcesConfigurationOrDotFiles) {
  HttpClient client = Client();
  for (const char* path : {"/conn.asp", "/CONN.ASP", "/inc/fso.asp", "/INC/siteaddress.txt",
                           "/inc/", "/inc", "/.env", "/.git/config", "/%2egit/config",
                           "/data/site.db", "/Data/site.db-wal", "/%64ata/site.db",
                           "/wap/index.asp", "/wap/INDEX.ASP", "/wap/index.asp/", "/link.txt"}) {
    const HttpResponse r = client.Get(path);
    EXPECT_EQ(r.body.find(kSecret), std::string::npos) << path;
    EXPECT_EQ(r.body.find("<%"), std::string::npos) << path;
  }
  EXPECT_EQ(client.Get("/conn.asp").status, 404);
  EXPECT_EQ(client.Get("/inc/fso.asp").status, 404);
  EXPECT_EQ(client.Get("/.env").status, 404);
}

TEST_F(StaticFiles, NoEncodingOfAPathLeavesTheRoot) {
  HttpClient client = Client();
  const std::string absolute_path = "/" + (dir_.path() / "secret.txt").string();
  for (const std::string path :
       {"/../secret.txt", "/a/../../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E%2Fsecret.txt",
        "/..%2fsecret.txt", "/..%5csecret.txt", "/..\\secret.txt", "/%c0%ae%c0%ae/secret.txt",
        "/%c0%ae%c0%ae%c0%afsecret.txt", "/%252e%252e/secret.txt", "/a.txt%00/../../secret.txt",
        "//..//secret.txt", "/./../secret.txt", "/%2e%2e%5csecret.txt", absolute_path.c_str()}) {
    const HttpResponse r = client.Get(path);
    EXPECT_TRUE(r.status == 400 || r.status == 404) << path << " → " << r.status;
    EXPECT_EQ(r.body.find(kSecret), std::string::npos) << path;
  }
  const HttpResponse absolute =
      HttpClient(server_->Host(), server_->Port())
          .SendRaw("GET " + (dir_.path() / "secret.txt").string() + " HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(absolute.body.find(kSecret), std::string::npos);
  const HttpResponse absolute_form = HttpClient(server_->Host(), server_->Port())
                                         .SendRaw(
                                             "GET http://x/../secret.txt HTTP/1.1\r\n"
                                             "Host: x\r\n\r\n");
  EXPECT_EQ(absolute_form.body.find(kSecret), std::string::npos);
}

// The server remembers where a path led for a moment; a file swapped for a link out of the root
// meanwhile must still not be followed.
TEST_F(StaticFiles, AFileSwappedForALinkOutOfTheRootIsNotSentEvenAtOnce) {
  const auto file = dir_.path() / "root" / "swap.txt";
  WriteFile(file, "before");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Client().Get("/swap.txt").body, "before");
  std::filesystem::remove(file);
  std::filesystem::create_symlink(dir_.path() / "secret.txt", file);
  for (int i = 0; i < 8; ++i) {
    const HttpResponse r = Client().Get("/swap.txt");
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(r.body.find(kSecret), std::string::npos);
  }
}

TEST_F(StaticFiles, RefusesMethodsOtherThanGetAndHead) {
  HttpClient client = Client();
  EXPECT_EQ(client.Post("/a.txt", "x=1").status, 405);
  EXPECT_EQ(client.Send("DELETE", "/a.txt", {}, {}).status, 405);
  const HttpResponse head = client.Head("/a.txt");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("Content-Length"), "4");
  EXPECT_EQ(head.body, "");
}

}  // namespace
