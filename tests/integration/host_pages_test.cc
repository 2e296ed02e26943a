// The real `wapsite serve` running host pages and static files of a web root.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "support/http_client.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::HttpClient;
using testing_support::HttpResponse;
using testing_support::ServerProcess;
using testing_support::TempDir;

void WriteFile(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

class HostPages : public ::testing::Test {
 protected:
  HostPages() {
    WriteFile(Root() / "hello.asp", "<%@ LANGUAGE=\"VBSCRIPT\" %>A<% Response.Write(\"B\") %>C");
    WriteFile(Root() / "wap" / "index.asp", "wap index");
    WriteFile(Root() / "waphome" / "abc" / "index.asp",
              "<%\r\n'Create by Orbel\r\nresponse.Redirect(\"http://x/wap/index.asp?userid=12&"
              "username=abc\")\r\n%>");
    WriteFile(Root() / "broken.asp", "line 1\n<%\nResponse.Write(\"ok\")\nDim secret_detail\n%>");
    WriteFile(Root() / "unknown.asp", "<%Set p = Server.CreateObject(\"nolib.noclass\")%>");
    WriteFile(Root() / "store.asp", "<%Session(\"memberid\") = \"7\"%>stored");
    WriteFile(Root() / "read.asp", "read");
    WriteFile(Root() / "fso.asp",
              "<%Set fs = Server.CreateObject(\"Scripting.FileSystemObject\")%>fso");
    server_.emplace(Root());
  }

  std::filesystem::path Root() const { return dir_.path() / "root"; }
  HttpClient Client() const { return HttpClient(server_->Host(), server_->Port()); }

  TempDir dir_;
  std::optional<ServerProcess> server_;
};

TEST_F(HostPages, WritesTextAndResponseWriteInOrder) {
  HttpClient client = Client();
  const HttpResponse r = client.Get("/hello.asp");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "ABC");
  EXPECT_EQ(r.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(r.Header("Content-Length"), "3");
}

TEST_F(HostPages, ServesTheGeneratedEntryPageAsItsRedirect) {
  HttpClient client = Client();
  const HttpResponse r = client.Get("/waphome/abc/index.asp");
  EXPECT_EQ(r.status, 302);
  EXPECT_EQ(r.Header("Location"), "http://x/wap/index.asp?userid=12&username=abc");
  EXPECT_EQ(r.body, "");
}

TEST_F(HostPages, RunsTheIndexPageOfAFolder) {
  HttpClient client = Client();
  const HttpResponse folder = client.Get("/wap/");
  EXPECT_EQ(folder.status, 200);
  EXPECT_EQ(folder.body, "wap index");
  const HttpResponse no_slash = client.Get("/wap?userid=1");
  EXPECT_EQ(no_slash.status, 301);
  EXPECT_EQ(no_slash.Header("Location"), "/wap/?userid=1");
  EXPECT_EQ(client.Get("/waphome/").status, 404);  // a folder without index.asp
}

TEST_F(HostPages, AnswersPageFailuresWithAGeneric500AndLogsTheDetail) {
  HttpClient client = Client();
  for (const char* page : {"/broken.asp", "/unknown.asp"}) {
    const HttpResponse r = client.Get(page);
    EXPECT_EQ(r.status, 500) << page;
    EXPECT_EQ(r.Header("Content-Type"), "text/plain; charset=utf-8");
    std::smatch id;
    ASSERT_TRUE(std::regex_match(r.body, id, std::regex(R"(internal error \(id ([0-9a-f]+)\))")))
        << r.body;
    EXPECT_EQ(r.body.find("ok"), std::string::npos);  // nothing of the page's output
    EXPECT_TRUE(server_->WaitForStderr("error " + id[1].str() + ": "));
  }
  EXPECT_NE(server_->Stderr().find("/broken.asp:4: "), std::string::npos);
  EXPECT_NE(server_->Stderr().find("nolib.noclass"), std::string::npos);
}

TEST_F(HostPages, SetsTheSessionCookieOnlyWhenAPageStoresAValue) {
  HttpClient client = Client();
  client.UseCookies(true);
  EXPECT_TRUE(client.Get("/read.asp").Headers("Set-Cookie").empty());
  const HttpResponse stored = client.Get("/store.asp");
  const auto cookies = stored.Headers("Set-Cookie");
  ASSERT_EQ(cookies.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      cookies[0], std::regex("WAPSESSIONID=[0-9a-f]{32}; Path=/; HttpOnly; SameSite=Lax")))
      << cookies[0];
  // The known session is kept: storing again sends no new cookie.
  EXPECT_TRUE(client.Get("/store.asp").Headers("Set-Cookie").empty());
  // A made-up id is not adopted.
  const HttpResponse planted =
      Client().Get("/store.asp", {{"Cookie", "WAPSESSIONID=0123456789abcdef0123456789abcdef"}});
  ASSERT_EQ(planted.Headers("Set-Cookie").size(), 1u);
  EXPECT_EQ(planted.Headers("Set-Cookie")[0].find("0123456789abcdef0123456789abcdef"),
            std::string::npos);
}

TEST_F(HostPages, ReParsesAPageWhenItsFileChanges) {
  HttpClient client = Client();
  EXPECT_EQ(client.Get("/read.asp").body, "read");
  WriteFile(Root() / "read.asp", "<%Response.Write(\"changed\")%>");
  EXPECT_EQ(client.Get("/read.asp").body, "changed");
}

TEST_F(HostPages, CreatesTheFileSystemObjectByName) {
  HttpClient client = Client();
  const HttpResponse r = client.Get("/fso.asp");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "fso");
}

TEST_F(HostPages, AnswersHeadWithTheHeadersOfAGet) {
  HttpClient client = Client();
  const HttpResponse r = client.Head("/hello.asp");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.Header("Content-Length"), "3");
  EXPECT_EQ(r.body, "");
  EXPECT_EQ(client.Get("/hello.asp").body, "ABC");  // the connection is still in step
  EXPECT_EQ(client.Connections(), 1);
}

TEST_F(HostPages, StopsGracefullyOnSigtermWithExitCode0) {
  HttpClient client = Client();
  EXPECT_EQ(client.Get("/hello.asp").status, 200);  // an idle kept-alive connection stays open
  EXPECT_EQ(server_->Stop(), 0);
  EXPECT_NE(server_->Stdout().find("GET /hello.asp 200 3 "), std::string::npos);
}

}  // namespace
