// The real `wapsite serve` as an HTTP host: static files with their types, host pages, the private
// parts of a root and the ways out of it, 500s, the session cookie, keep-alive, limits, timeouts,
// and a clean exit on SIGTERM with its access log.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace std::chrono_literals;
using namespace testing_support;
namespace fs = std::filesystem;

constexpr std::string_view kSecret = "TOP-SECRET-BESIDE-THE-ROOT";
const std::string kGet = "GET /a.txt HTTP/1.1\r\nHost: x\r\n\r\n";

void Write(const fs::path& path, std::string_view content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

class Host : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const fs::path root = Root();
    Write(dir_->path() / "secret.txt", kSecret);
    for (const char* name : {"a.gif", "a.png", "a.wbmp", "a.wml", "a.txt", "a.bin", "s/style.css"})
      Write(root / name, "text");
    Write(root / "Demo.jpg", std::string("\xFF\xD8\xFF\x00jpeg", 8));
    Write(root / "hello.asp", "<%@ LANGUAGE=\"VBSCRIPT\" %>A<% Response.Write(\"B\") %>C");
    Write(root / "wap" / "index.asp",
          "<%Response.Write(\"wap index\") ' " + std::string(kSecret) + "%>");
    Write(
        root / "waphome" / "abc" / "index.asp",
        "<%\r\n'Create by Orbel\r\nresponse.Redirect(\"http://x/wap/index.asp?userid=12\")\r\n%>");
    Write(root / "broken.asp", "line 1\n<%\nResponse.Write(\"ok\")\nDim secret_detail\n%>");
    Write(root / "unknown.asp", "<%Set p = Server.CreateObject(\"nolib.noclass\")%>");
    Write(root / "store.asp", "<%Session(\"memberid\") = \"7\"%>stored");
    Write(root / "fso.asp", "<%Set fs = Server.CreateObject(\"Scripting.FileSystemObject\")%>fso");
    Write(root / "conn.asp", "<%strSQLServer=\"sqlite:data/site.db\"%>" + std::string(kSecret));
    for (const char* name : {"inc/fso.asp", "inc/siteaddress.txt", ".env", "data/site.db",
                             "data/site.db-wal", ".git/config", "admin/templates/layout.html"})
      Write(root / name, kSecret);
    fs::create_symlink(dir_->path() / "secret.txt", root / "link.txt");
    server_ = new ServerProcess(root, {"--read-timeout", "1", "--idle-timeout", "2",
                                       "--max-connections", "4", "--threads", "2"});
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(server_->Stop(), 0);
    EXPECT_NE(server_->Stdout().find("\"GET /hello.asp HTTP/1.1\" 200 3 "), std::string::npos);
    delete server_;
    delete dir_;
  }
  static fs::path Root() { return dir_->path() / "root"; }
  static HttpClient Client() { return HttpClient(server_->Port()); }
  static RawConnection Raw() { return RawConnection(server_->Port()); }
  static inline TempDir* dir_;
  static inline ServerProcess* server_;
};

TEST_F(Host, AnswersFilesAndPagesWithTheirStatusTypeAndBody) {
  const struct {
    const char *method, *target;
    int status;
    const char* type;  // "" = not checked
    std::string body;  // "-" = not checked
  } rows[] = {
      {"GET", "/Demo.jpg", 200, "image/jpeg", std::string("\xFF\xD8\xFF\x00jpeg", 8)},
      {"GET", "/s/style.css", 200, "text/css; charset=utf-8", "text"},
      {"GET", "/a.gif", 200, "image/gif", "text"},
      {"GET", "/a.png", 200, "image/png", "text"},
      {"GET", "/a.wbmp", 200, "image/vnd.wap.wbmp", "text"},
      {"GET", "/a.wml", 200, "text/vnd.wap.wml; charset=utf-8", "text"},
      {"GET", "/a.txt", 200, "text/plain; charset=utf-8", "text"},
      {"GET", "/a.bin", 200, "application/octet-stream", "text"},
      {"GET", "/missing.gif", 404, "", "-"},
      {"POST", "/a.txt", 405, "", "-"},
      {"HEAD", "/a.txt", 200, "text/plain; charset=utf-8", ""},
      {"GET", "/hello.asp", 200, "text/html; charset=utf-8", "ABC"},
      {"HEAD", "/hello.asp", 200, "text/html; charset=utf-8", ""},
      {"POST", "/hello.asp", 200, "", "ABC"},
      {"GET", "/wap/", 200, "", "wap index"},
      {"GET", "/waphome/abc/index.asp", 302, "", ""},
      {"GET", "/waphome/", 404, "", "-"},  // a folder without index.asp
      {"GET", "/fso.asp", 200, "", "fso"},
  };
  HttpClient client = Client();
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.method) + " " + row.target);
    const HttpResponse r = client.Send(row.method, row.target, {}, "");
    EXPECT_EQ(r.status, row.status);
    if (*row.type) {
      EXPECT_EQ(r.Header("Content-Type"), row.type);
    }
    if (row.body != "-") {
      EXPECT_EQ(r.body, row.body);
    }
  }
  EXPECT_EQ(client.Get("/hello.asp").Header("Content-Length"), "3");
  EXPECT_EQ(client.Send("HEAD", "/a.txt", {}, "").Header("Content-Length"), "4");
  EXPECT_EQ(client.Get("/waphome/abc/index.asp").Header("Location"),
            "http://x/wap/index.asp?userid=12");
  EXPECT_EQ(client.Get("/wap?userid=1").Header("Location"), "/wap/?userid=1");
  EXPECT_EQ(client.Connections(), 1);  // all on one kept-alive connection
}

TEST_F(Host, NeverSendsPrivateFilesOrAnythingOutsideTheRoot) {
  const std::string outside = "/" + (dir_->path() / "secret.txt").string();
  HttpClient client = Client();
  // The ways out of the root a path can take are PathGuard's table; here, that the host asks it.
  std::istringstream paths(
      "/conn.asp /CONN.ASP /inc/fso.asp /INC/siteaddress.txt /inc/ /.env /.git/config "
      "/admin/templates/layout.html /Admin/TEMPLATES/layout.html /admin/templates/ "
      "/admin/./templates/layout.html /admin/%74emplates/layout.html /%2egit/config /data/site.db "
      "/Data/site.db-wal /%64ata/site.db /wap/index.asp/ /link.txt /../secret.txt "
      "/%2e%2e/secret.txt /..%5csecret.txt http://x/../secret.txt " +
      outside);  // separated by spaces
  for (std::string path; paths >> path;) {
    const HttpResponse r = client.Get(path);
    EXPECT_TRUE(r.status == 400 || r.status == 404) << path << " → " << r.status;
    EXPECT_EQ(r.body.find(kSecret), std::string::npos) << path;
    EXPECT_EQ(r.body.find("<%"), std::string::npos) << path;
  }
  // A file swapped for a link out of the root is not followed, even while remembered.
  Write(Root() / "swap.txt", "before");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Client().Get("/swap.txt").body, "before");
  fs::remove(Root() / "swap.txt");
  fs::create_symlink(dir_->path() / "secret.txt", Root() / "swap.txt");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Client().Get("/swap.txt").status, 404);
  // A page is parsed again when its file changes.
  Write(Root() / "read.asp", "read");
  EXPECT_EQ(client.Get("/read.asp").body, "read");
  Write(Root() / "read.asp", "<%Response.Write(\"changed\")%>");
  EXPECT_EQ(client.Get("/read.asp").body, "changed");
}

TEST_F(Host, SendsStaticFilesWithValidatorsAndAnswersConditionalRequests) {
  Write(Root() / "v.txt", "version 1");
  HttpClient client = Client();
  const HttpResponse first = client.Get("/v.txt");
  ASSERT_EQ(first.status, 200);
  EXPECT_EQ(first.body, "version 1");
  EXPECT_EQ(first.Header("X-Content-Type-Options"), "nosniff");
  const std::string tag = first.Header("ETag").value_or("");
  const std::string modified = first.Header("Last-Modified").value_or("");
  ASSERT_TRUE(tag.size() > 2 && tag.front() == '"' && tag.back() == '"') << tag;
  ASSERT_TRUE(modified.ends_with(" GMT")) << modified;
  const struct {
    const char* name;
    Pairs headers;
    int status;
  } cases[] = {
      {"the tag", {{"If-None-Match", tag}}, 304},
      {"the tag, weak", {{"If-None-Match", "W/" + tag}}, 304},
      {"the tag in a list", {{"If-None-Match", "\"other\", " + tag}}, 304},
      {"any tag", {{"If-None-Match", "*"}}, 304},
      {"another tag", {{"If-None-Match", "\"other\""}}, 200},
      {"the modification time", {{"If-Modified-Since", modified}}, 304},
      {"a later time", {{"If-Modified-Since", "Fri, 01 Jan 2100 00:00:00 GMT"}}, 304},
      {"an earlier time", {{"If-Modified-Since", "Sun, 06 Nov 1994 08:49:37 GMT"}}, 200},
      {"a time that is no date", {{"If-Modified-Since", "yesterday"}}, 200},
      {"another tag wins over the time",
       {{"If-None-Match", "\"other\""}, {"If-Modified-Since", modified}},
       200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const HttpResponse r = client.Get("/v.txt", c.headers);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.body, c.status == 304 ? "" : "version 1");
    EXPECT_EQ(r.Header("ETag"), tag);
  }
  const HttpResponse head = client.Send("HEAD", "/v.txt", {{"If-None-Match", "\"other\""}}, "");
  EXPECT_EQ(head.Header("Content-Length"), "9");
  EXPECT_EQ(head.Header("ETag"), tag);
  // A changed file has another tag and is sent again.
  Write(Root() / "v.txt", "version 2");
  const HttpResponse changed = client.Get("/v.txt", {{"If-None-Match", tag}});
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, "version 2");
  EXPECT_NE(changed.Header("ETag"), tag);
  // A large file arrives whole, sent from the file, and the connection serves on.
  std::string large(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 % 251);
  Write(Root() / "large.bin", large);
  const HttpResponse big = client.Get("/large.bin");
  EXPECT_EQ(big.status, 200);
  EXPECT_TRUE(big.body == large) << big.body.size();
  EXPECT_EQ(client.Get("/v.txt").body, "version 2");
  EXPECT_EQ(client.Connections(), 1);
}

TEST_F(Host, AnswersPageFailuresWithAGeneric500AndLogsTheDetail) {
  HttpClient client = Client();
  for (const char* page : {"/broken.asp", "/unknown.asp"}) {
    const HttpResponse r = client.Get(page);
    EXPECT_EQ(r.status, 500) << page;
    EXPECT_EQ(r.Header("Content-Type"), "text/plain; charset=utf-8");
    std::smatch id;
    ASSERT_TRUE(std::regex_match(r.body, id, std::regex(R"(internal error \(id ([0-9a-f]+)\))")))
        << r.body;
    EXPECT_TRUE(server_->WaitForOutput("error " + id[1].str() + ": "));
  }
  EXPECT_NE(server_->Stderr().find("/broken.asp:4: "), std::string::npos);
  EXPECT_NE(server_->Stderr().find("nolib.noclass"), std::string::npos);
}

TEST_F(Host, SetsAFreshSessionCookieNeverOneTheClientChose) {
  const auto cookies = Client().Get("/store.asp").Headers("Set-Cookie");
  ASSERT_EQ(cookies.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      cookies[0], std::regex("WAPSESSIONID=[0-9a-f]{32}; Path=/; HttpOnly; SameSite=Lax")))
      << cookies[0];
  const std::string planted = "0123456789abcdef0123456789abcdef";
  const auto fresh = Client().Get("/store.asp", {{"Cookie", "WAPSESSIONID=" + planted}});
  ASSERT_EQ(fresh.Headers("Set-Cookie").size(), 1u);
  EXPECT_EQ(fresh.Headers("Set-Cookie")[0].find(planted), std::string::npos);
}

TEST_F(Host, KeepsAliveAnswersPipelinedRequestsAndClosesWhenAsked) {
  RawConnection raw = Raw();
  raw.Send(kGet + "HEAD /hello.asp HTTP/1.1\r\nHost: x\r\n\r\n" + kGet);
  EXPECT_EQ(raw.ReadResponse().body, "text");
  EXPECT_EQ(raw.ReadResponse(true).Header("Content-Length"), "3");
  EXPECT_EQ(raw.ReadResponse().body, "text");
  EXPECT_FALSE(raw.WaitForClose(500ms));
  RawConnection close = Raw();
  close.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(close.ReadResponse().Header("Connection"), "close");
  EXPECT_TRUE(close.WaitForClose(10s));
  RawConnection old = Raw();
  old.Send("GET /a.txt HTTP/1.0\r\n\r\n");
  EXPECT_EQ(old.ReadResponse().body, "text");
  EXPECT_TRUE(old.WaitForClose(10s));
}

TEST_F(Host, CutsOffSlowAndIdleClientsAndTurnsAwayConnectionsBeyondTheMaximum) {
  {
    RawConnection slow = Raw();
    slow.Send("GET /a.txt HTTP/1.1\r\nHost: x\r\n");  // never finishes its head
    RawConnection idle = Raw();
    idle.Send(kGet);
    EXPECT_EQ(idle.ReadResponse().status, 200);
    EXPECT_TRUE(slow.WaitForClose(20s));
    EXPECT_TRUE(server_->WaitForOutput("read timeout"));
    EXPECT_TRUE(idle.WaitForClose(20s));
  }
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 4; ++i) {
    held.push_back(std::make_unique<RawConnection>(server_->Port()));
    held.back()->Send(kGet);
    EXPECT_EQ(held.back()->ReadResponse().status, 200);
    // Busy: a whole head in, its body half-way (a head still arriving could be evicted).
    held.back()->Send("POST /hello.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 10\r\n\r\nab");
  }
  std::this_thread::sleep_for(300ms);  // the server reads those bytes; none waits for a head now
  RawConnection extra = Raw();
  extra.Send(kGet);
  EXPECT_EQ(extra.ReadResponse().status, 503);
  held.clear();
  int status = 0;  // the slots come free as the server notices the closes
  for (auto deadline = std::chrono::steady_clock::now() + 10s;
       status != 200 && std::chrono::steady_clock::now() < deadline;) {
    RawConnection again = Raw();
    status = (again.Send(kGet), again.ReadResponse().status);
  }
  EXPECT_EQ(status, 200);
}

}  // namespace
