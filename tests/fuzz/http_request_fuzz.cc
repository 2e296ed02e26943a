// HTTP request handling without a socket: up to four requests of the input, read with the server's
// parser and limits, answered by its dispatcher over a demo root on SQLite (a session cookie set
// goes with the requests after it; /signin.asp signs a back-office member in). Never a throw, no
// 500 but for a back-office page without its session values, no control character in a reply
// header, markup pages well-formed, and never conn.asp's settings or the database file sent.
#include <strings.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "backoffice/office.h"
#include "cli/commands.h"
#include "cli/init_web_root.h"
#include "fuzz_check.h"
#include "platform/data/connection_pool.h"
#include "platform/host/http/http_request_reader.h"
#include "platform/host/http/http_server.h"
#include "platform/host/request_dispatcher.h"
#include "platform/host/sessions/memory_session_store.h"

namespace fs = std::filesystem;

// The web root and the server's shared objects, made once; the folder is removed at exit.
static struct Site {
  fs::path folder;
  std::ostringstream access, errors;
  host::ServerLog log{access, errors};
  host::Application application;
  host::MemorySessionStore sessions{1000};
  std::unique_ptr<data::ConnectionPool> pool;
  std::unique_ptr<host::RequestDispatcher> dispatcher;
  host::HttpServerOptions limits;
}* site = nullptr;

static std::string HeaderValue(const host::HttpHeaders& headers, const char* name) {
  for (const auto& [key, value] : headers)
    if (strcasecmp(key.c_str(), name) == 0) return value;
  return "";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  site = new Site;
  std::string pattern = (fs::temp_directory_path() / "wapsite-fuzz.XXXXXX").string();
  fuzz::Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp failed");
  site->folder = pattern;
  site->limits.upload_folder = (site->folder / "uploads").string();  // private, as the server's
  fs::create_directory(site->limits.upload_folder);
  fs::permissions(site->limits.upload_folder, fs::perms::owner_all);
  std::atexit([] { site->dispatcher.reset(), site->pool.reset(), fs::remove_all(site->folder); });
  cli::InitOptions options{.root = site->folder / "root", .demo = true};
  cli::InitWebRoot(options);
  std::ofstream(options.root / "signin.asp")
      << "<%Session(\"userid\") = \"1\" : Session(\"UserName\") = \"fuzz\"%>";
  const fs::path root = fs::canonical(options.root);
  site->pool = std::make_unique<data::ConnectionPool>(root);
  host::SiteServices services{root,           &cli::CreateObjectByName, site->application,
                              site->sessions, *site->pool,              site->log};
  services.native_pages = backoffice::Pages();
  site->dispatcher = std::make_unique<host::RequestDispatcher>(std::move(services));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string session;
  for (int i = 0; i < 4 && !bytes.empty(); ++i) {
    host::HttpRequestRead read = host::ReadHttpRequest(bytes, site->limits);
    if (read.outcome != host::HttpRequestRead::Outcome::kRequest) break;
    bytes.remove_prefix(read.consumed);
    host::HttpRequestData& request = read.request;
    request.remote_address = request.local_address = "127.0.0.1", request.local_port = 8080;
    if (!session.empty() && HeaderValue(request.headers, "Cookie").empty())
      request.headers.emplace_back("Cookie", "WAPSESSIONID=" + session);
    site->errors.str("");
    host::HttpReply reply = site->dispatcher->Handle(request);
    if (!reply.body_file.empty()) {  // a static file: what the connection would send from it
      std::ifstream file(reply.body_file, std::ios::binary);
      reply.body.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    const std::string what = request.method + " " + request.target, log = site->errors.str();
    // A back-office page without its session values fails (its cause logged the first time only).
    const bool back_office =
        request.target.starts_with("/createsite.asp") || request.target.starts_with("/admin/");
    fuzz::Check(reply.status != 500 ||
                    log.find("the session's userid is missing") != std::string::npos ||
                    log.find("refused the member name ''") != std::string::npos ||
                    (back_office && log.empty()),
                "a 500 answer", what + "\n  " + log);
    for (const auto& [name, value] : reply.headers) {
      for (const unsigned char c : name + value)
        fuzz::Check(c >= 0x20 && c != 0x7F, "a control character in a reply header", name + value);
    }
    const std::string type = HeaderValue(reply.headers, "Content-Type");
    if (reply.status == 200 &&
        (type.starts_with("text/vnd.wap.wml") || type.starts_with("text/html")) &&
        reply.body.starts_with("<?xml")) {
      fuzz::Check(fuzz::ParseXml(reply.body) != nullptr, "a page that is not well-formed",
                  what + "\n" + reply.body);
    }
    // A page echoing a request value escapes its quotes: neither text can come from the request.
    fuzz::Check(reply.body.find(std::string_view("SQLite format 3\0", 16)) == std::string::npos &&
                    reply.body.find("strSQLServer=\"sqlite:") == std::string::npos,
                "the database or its settings were sent", what);
    const std::string cookie = HeaderValue(reply.headers, "Set-Cookie");
    if (cookie.starts_with("WAPSESSIONID=")) session = cookie.substr(13, cookie.find(';') - 13);
  }
  return 0;
}
