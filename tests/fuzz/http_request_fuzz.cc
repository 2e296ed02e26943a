// HTTP request handling without a socket: the input is the bytes a client sends on one
// connection. Each request in it (at most four) is read with the server's own parser and limits
// and answered by the server's dispatcher over a demo web root on a real SQLite database: host
// pages, page objects, sessions, static files. A session cookie that one answer sets is sent with
// the requests after it, so that a request for /signin.asp (a page of this target that stores a
// back-office member in the session) opens the back-office pages to the requests that follow.
//
// Invariants: the dispatcher never throws; no answer is a 500 unless its logged cause is a
// back-office page without its session values; header values hold no control characters; a page
// with a markup content type is well-formed XML; nothing of conn.asp or the database file is ever
// sent.
#include <strings.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "cli/init_web_root.h"
#include "fuzz_check.h"
#include "platform/data/connection_pool.h"
#include "platform/host/application.h"
#include "platform/host/http_request_reader.h"
#include "platform/host/http_server.h"
#include "platform/host/request_dispatcher.h"
#include "platform/host/server_log.h"
#include "platform/host/session_store.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxRequestsPerInput = 4;

// The web root and the server's shared objects, made once per process and removed at its exit.
struct Site {
  fs::path folder;
  std::ostringstream access, errors;
  host::ServerLog log{access, errors};
  host::Application application;
  host::MemorySessionStore sessions{1000};
  std::unique_ptr<data::ConnectionPool> pool;
  std::unique_ptr<host::RequestDispatcher> dispatcher;
  host::HttpServerOptions limits;
};

Site* site = nullptr;

void RemoveSite() {
  if (site == nullptr) return;
  site->dispatcher.reset();
  site->pool.reset();
  std::error_code ec;
  fs::remove_all(site->folder, ec);
}

std::string HeaderValue(const host::HttpHeaders& headers, std::string_view name) {
  for (const auto& [key, value] : headers) {
    if (key.size() == name.size() && strncasecmp(key.c_str(), name.data(), name.size()) == 0) {
      return value;
    }
  }
  return "";
}

void CheckReply(const host::HttpRequestData& request, const host::HttpReply& reply) {
  const std::string what = request.method + " " + request.target;
  if (reply.status == 500) {
    const std::string log = site->errors.str();
    fuzz::Check(log.find("the session's userid is missing") != std::string::npos ||
                    log.find("refused the member name ''") != std::string::npos,
                "a 500 answer", what + "\n  " + log);
  }
  for (const auto& [name, value] : reply.headers) {
    for (const char c : name + value) {
      const auto u = static_cast<unsigned char>(c);
      fuzz::Check(u >= 0x20 && u != 0x7F, "a control character in a reply header", name + value);
    }
  }
  const std::string type = HeaderValue(reply.headers, "Content-Type");
  const bool markup = type.starts_with("text/vnd.wap.wml") || type.starts_with("text/html");
  if (reply.status == 200 && markup && reply.body.starts_with("<?xml")) {
    fuzz::Check(fuzz::ParseXml(reply.body) != nullptr, "a page that is not well-formed",
                what + "\n" + reply.body);
  }
  // The database file's header and conn.asp's setting line (a page that echoes a request value
  // escapes its quotes, so neither can come from the request).
  fuzz::Check(reply.body.find(std::string_view("SQLite format 3\0", 16)) == std::string::npos &&
                  reply.body.find("strSQLServer=\"sqlite:") == std::string::npos,
              "the database or its settings were sent", what);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietXml();
  site = new Site;
  std::string pattern = (fs::temp_directory_path() / "wapsite-fuzz.XXXXXX").string();
  fuzz::Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp failed");
  site->folder = pattern;
  std::atexit(RemoveSite);
  cli::InitOptions options;
  options.root = site->folder / "root";
  options.demo = true;
  cli::InitWebRoot(options);
  std::ofstream(options.root / "signin.asp")
      << "<%Session(\"userid\") = \"1\" : Session(\"UserName\") = \"fuzz\"%>";
  const fs::path root = fs::canonical(options.root);
  site->pool = std::make_unique<data::ConnectionPool>(root);
  site->dispatcher = std::make_unique<host::RequestDispatcher>(
      host::SiteServices{root, &cli::CreateObjectByName, site->application, site->sessions,
                         *site->pool, site->log});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string session;
  for (int i = 0; i < kMaxRequestsPerInput && !bytes.empty(); ++i) {
    host::HttpRequestRead read =
        host::ReadHttpRequest(bytes, site->limits.header_limit, site->limits.body_limit);
    if (read.outcome != host::HttpRequestRead::Outcome::kRequest) break;
    bytes.remove_prefix(read.consumed);
    host::HttpRequestData& request = read.request;
    request.remote_address = "127.0.0.1";
    request.local_address = "127.0.0.1";
    request.local_port = 8080;
    if (!session.empty() && HeaderValue(request.headers, "Cookie").empty()) {
      request.headers.emplace_back("Cookie", "WAPSESSIONID=" + session);
    }
    site->errors.str("");
    site->access.str("");
    const host::HttpReply reply = site->dispatcher->Handle(request);
    CheckReply(request, reply);
    const std::string cookie = HeaderValue(reply.headers, "Set-Cookie");
    if (cookie.starts_with("WAPSESSIONID=")) {
      session = cookie.substr(13, cookie.find(';') - 13);
    }
  }
  return 0;
}
