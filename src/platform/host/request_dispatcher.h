// RequestDispatcher: answers one HTTP request of the web root: runs a host page, sends a static
// file, or refuses. This is the one place where failures become statuses:
//   RequestError                → 400, its one-line reason as a plain-text body;
//   ServiceUnavailable          → 503 with Retry-After, its one-line reason (a full hashing
//                                 queue: the client may ask again shortly);
//   any other exception         → 500, "internal error (id ID)", the detail with ID on the log;
//   after the response ended    → the ended response as it stands; the failure is only logged.
// Nothing of a page's buffer is sent on error.
//
// Routing of the decoded path (see path_guard.h for decoding and refusals):
//   conn.asp, inc/…, admin/templates/…, dot-files and
//   dot-folders, database files                         → 404, neither sent nor run;
//   a path of SiteServices::native_pages (a folder: its
//   index.asp)                                          → runs that page, file or not;
//   "….asp" (any case)                                  → runs the host page;
//   a folder with a trailing "/"                        → runs its index.asp (404 without one);
//   a folder without the trailing "/"                   → 301 to the same path with it, so that
//                                                         the page's relative links resolve;
//   any other existing file                             → sent with its MIME type, or what
//                                                         `static_variant` chooses for it, with
//                                                         validators and 304 (static_file.h);
//   anything else                                       → 404.
// Methods: GET, HEAD and POST; POST only for host pages; others get 405. A request for a host page
// with more than `max_fields` pairs in its query string, form or cookies gets 400 and runs
// nothing.
//
// Kept pages (SiteServices::page_cache): a GET or HEAD of a host page outside /admin/ is answered
// from the cache when a kept page matches every value the page would read (rendered_page_cache.h);
// otherwise the page runs with its reads recorded and its reply is kept unless the run wrote (to
// the database, a session or application value), set a cookie, or failed.
//
// Thread-safe: several threads call Handle at once; a host page runs start to end on the calling
// thread.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "platform/host/change_watcher.h"
#include "platform/host/http/http_exchange.h"
#include "platform/host/http/path_guard.h"
#include "platform/host/http/request_builder.h"
#include "platform/host/http/server_log.h"
#include "platform/host/http/static_variant.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/server.h"
#include "platform/host/objects/service_unavailable.h"
#include "platform/host/rendered_page_cache.h"
#include "platform/host/scripting/host_page_cache.h"
#include "platform/host/sessions/rate_limiter.h"
#include "platform/host/sessions/session_store.h"

namespace data {
class ConnectionPool;
}
namespace observe {
class Metrics;
}

namespace host {

// A page of the application written in C++ at a fixed path of the site. It runs where a host page
// would, with the scripting context a host page gets, and its reply and failures are made the same
// way; it is never kept by the page cache.
using NativePage = std::function<void(ScriptingContext&)>;
// Native pages by the decoded path they answer ("/admin/class.asp"; "/admin/index.asp" also
// answers "/admin/"). They take precedence over the web root's files at those paths.
using NativePages = std::map<std::string, NativePage, std::less<>>;

// What the server shares among requests. Every reference must outlive the dispatcher.
struct SiteServices {
  std::filesystem::path web_root;  // canonical (symlinks resolved, no trailing separator)
  ObjectFactory objects;
  Application& application;
  SessionStore& sessions;
  data::ConnectionPool& connections;
  ServerLog& log;
  std::size_t max_fields = kDefaultMaxFields;  // per collection of a request; more: 400
  RateLimiters* limiters = nullptr;            // handed to every page; nullptr: none
  bool secure_cookies = false;                 // the session cookie also says Secure (behind TLS)
  observe::Metrics* metrics = nullptr;         // labels each reply's page; nullptr: none
  StaticVariant static_variant = {};  // chooses what a static file's request gets; empty: the file
  // Rendered visitor pages kept between requests, and what tells it of the database's changes;
  // the cache is used only with both set and while the watcher is live. nullptr: none.
  RenderedPageCache* page_cache = nullptr;
  ChangeWatcher* changes = nullptr;
  // The column that names the member a row of the site belongs to (lower case): a kept page is
  // dropped when a row of a member it read changes (data/statement_trace.h). Empty: any change
  // drops every kept page.
  std::string member_column = {};
  NativePages native_pages = {};
};

class RequestDispatcher {
 public:
  explicit RequestDispatcher(SiteServices services);

  // The reply to `request`, with its metrics page label. Never throws. For HEAD the reply
  // carries the body a GET would; the connection sends only its length.
  HttpReply Handle(const HttpRequestData& request);

  // Whether Handle may run a host page for `request` (and so wait on a database): a path that
  // names a host page or a folder. Quick; looks at nothing but the target.
  static bool MayBlock(const HttpRequestData& request);

  // The reply to `request` when the page cache holds it and it can be given without waiting on
  // anything: a GET or HEAD of a kept host page whose every read value matches, the database's
  // changes taken in at once (ChangeWatcher::TryPoll), and the request's session, when it names
  // one, in a store that answers at once. The same reply Handle would give. std::nullopt
  // otherwise (Handle answers it). Never throws; meant for the I/O threads.
  std::optional<HttpReply> AnswerFromCache(const HttpRequestData& request);

 private:
  struct PageRun;
  struct Target;

  // Where the decoded `path` leads in the web root. Takes the status of what it finds.
  Target Locate(const SitePath& path) const;

  // Handle's reply before the cookie settings apply.
  HttpReply Answer(const HttpRequestData& request);
  HttpReply Route(const HttpRequestData& request, PageRun& run);
  // Runs the page `target` names (a host page, whose status Locate took, or a native page).
  HttpReply RunPage(const HttpRequestData& request, const Target& target, PageRun& run);
  HttpReply Failure(const HttpRequestData& request, PageRun& run, int status,
                    std::string_view detail);
  HttpReply Busy(const HttpRequestData& request, PageRun& run, const ServiceUnavailable& busy);

  SiteServices services_;
  HostPageCache pages_;
};

}  // namespace host
