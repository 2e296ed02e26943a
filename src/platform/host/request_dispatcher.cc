#include "platform/host/request_dispatcher.h"

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <stdexcept>

#include "platform/data/statement_trace.h"
#include "platform/host/http/mime_types.h"
#include "platform/host/http/path_guard.h"
#include "platform/host/http/reply_builder.h"
#include "platform/host/http/request_builder.h"
#include "platform/host/http/static_file.h"
#include "platform/host/objects/page_reads.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/request_error.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/scripting_context.h"
#include "platform/host/objects/service_unavailable.h"
#include "platform/host/page_cache_support.h"
#include "platform/host/scripting/host_page_runner.h"
#include "platform/observe/metrics.h"
#include "platform/text/ascii.h"
#include "platform/text/percent.h"

namespace host {

// The objects of a host page that runs; kept by Handle so that a failure after the response has
// ended can still send that response.
struct RequestDispatcher::PageRun {
  Response response;
  std::optional<RequestSession> session;
  std::size_t page_label = observe::Metrics::kOther;
};

namespace {

// The Set-Cookie value of the session id `session` must send, if any.
std::optional<std::string> NewSessionCookie(const std::optional<RequestSession>& session) {
  const std::optional<std::string> id = session ? session->NewCookieId() : std::nullopt;
  return id ? std::optional<std::string>(SessionCookie(*id)) : std::nullopt;
}

HttpReply NotFound() { return PlainTextReply(404, "not found"); }

HttpReply MethodNotAllowed(std::string_view allow) {
  HttpReply reply = PlainTextReply(405, "method not allowed");
  reply.headers.emplace_back("Allow", std::string(allow));
  return reply;
}

// The folder `path` as the absolute path of a Location header: "/" then each segment
// percent-encoded (all but unreserved characters and the sub-delimiters, ":" and "@"), then "/".
// Built from the decoded segments, never from the raw target, so that it always names a path of
// this site ("//evil.example/../wap" gives "/wap/").
std::string FolderLocation(const SitePath& path) {
  std::string location;
  for (const std::string& segment : path.segments) {
    location.append("/").append(text::PercentEncode(segment, "!$&'()*+,;=:@"));
  }
  location.push_back('/');
  return location;
}

// Takes the status of `resolved`, a path ResolveInRoot gave. It does not follow a final symbolic
// link: a resolved path has none, unless one was put there since it was resolved, and then the
// path is not served until it is resolved again.
bool LookAt(const std::filesystem::path& resolved, struct stat& status) {
  return ::lstat(resolved.c_str(), &status) == 0;
}

}  // namespace

RequestDispatcher::RequestDispatcher(SiteServices services) : services_(std::move(services)) {}

HttpReply RequestDispatcher::Handle(const HttpRequestData& request) {
  HttpReply reply = Answer(request);
  if (services_.secure_cookies) {
    for (auto& [name, value] : reply.headers) {
      if (name == "Set-Cookie" && value.starts_with(kSessionCookieName)) value += "; Secure";
    }
  }
  return reply;
}

HttpReply RequestDispatcher::Answer(const HttpRequestData& request) {
  // The request boundary: the only place where exceptions end up.
  PageRun run;
  HttpReply reply;
  try {
    reply = Route(request, run);
  } catch (const ServiceUnavailable& e) {
    reply = Busy(request, run, e);
  } catch (const RequestError& e) {
    reply = Failure(request, run, 400, e.what());
  } catch (const std::exception& e) {
    reply = Failure(request, run, 500, e.what());
  } catch (...) {
    reply = Failure(request, run, 500, "an exception that is not a std::exception");
  }
  reply.page_label = run.page_label;
  return reply;
}

bool RequestDispatcher::MayBlock(const HttpRequestData& request) {
  try {
    const SitePath path = DecodeSitePath(PathOf(request.target));
    // A folder without its trailing "/" is answered with a redirect; one with it runs index.asp.
    return path.folder || IsHostPage(path) || path.segments.empty() ||
           path.segments.back().find('.') == std::string::npos;
  } catch (const std::exception&) {
    return false;  // refused with 400 at once
  }
}

HttpReply RequestDispatcher::Failure(const HttpRequestData& request, PageRun& run, int status,
                                     std::string_view detail) {
  const std::string where = request.method + " " + std::string(PathOf(request.target));
  if (run.response.Ended()) {
    // What the client gets was fixed when the response ended; a later failure changes nothing.
    auto fixed = ReplyFromResponse(run.response, NewSessionCookie(run.session));
    if (fixed) {
      services_.log.Note(where + ": failed after the response had ended: " + std::string(detail));
      return std::move(*fixed);
    }
  }
  if (status == 400) {
    services_.log.Note(where + ": 400: " + std::string(detail));
    return PlainTextReply(400, detail);
  }
  const std::string id = services_.log.Error(where + ": " + std::string(detail));
  return PlainTextReply(500, "internal error (id " + id + ")");
}

HttpReply RequestDispatcher::Busy(const HttpRequestData& request, PageRun& run,
                                  const ServiceUnavailable& busy) {
  if (run.response.Ended()) return Failure(request, run, 503, busy.what());
  HttpReply reply = PlainTextReply(503, busy.what());
  reply.headers.emplace_back("Retry-After",
                             std::to_string(std::max<long long>(busy.RetryAfter().count(), 1)));
  return reply;
}

// What a decoded path names in the web root.
struct RequestDispatcher::Target {
  enum Kind { kNotFound, kFolderWithoutSlash, kHostPage, kFile } kind = kNotFound;
  std::filesystem::path physical;      // kHostPage of a file, kFile: the file
  struct stat status {};               // of `physical`
  std::string virtual_path;            // kHostPage: the page's path from the root
  std::string folder;                  // kHostPage: the virtual folder it runs in
  const NativePage* native = nullptr;  // kHostPage: the native page at that path, if any
};

RequestDispatcher::Target RequestDispatcher::Locate(const SitePath& path) const {
  Target target;
  if (IsNeverServed(path)) return target;
  if (!services_.native_pages.empty() && !path.segments.empty()) {
    const std::string virtual_path = path.folder ? path.Virtual() + "index.asp" : path.Virtual();
    if (const auto native = services_.native_pages.find(virtual_path);
        native != services_.native_pages.end()) {
      target.kind = Target::kHostPage;
      target.virtual_path = virtual_path;
      target.folder = path.folder ? path.Virtual() : path.ParentFolder();
      target.native = &native->second;
      return target;
    }
  }
  const auto physical = ResolveInRoot(services_.web_root, path);
  if (!physical || !LookAt(*physical, target.status)) return target;
  if (S_ISDIR(target.status.st_mode)) {
    if (!path.folder) {
      target.kind = Target::kFolderWithoutSlash;
      return target;
    }
    SitePath index = path;
    index.segments.push_back("index.asp");
    index.folder = false;
    const auto index_file = ResolveInRoot(services_.web_root, index);
    if (!index_file || !LookAt(*index_file, target.status) || !S_ISREG(target.status.st_mode)) {
      return target;
    }
    target.kind = Target::kHostPage;
    target.physical = *index_file;
    target.virtual_path = index.Virtual();
    target.folder = path.Virtual();
    return target;
  }
  if (path.folder || !S_ISREG(target.status.st_mode)) return target;
  target.physical = *physical;
  if (IsHostPage(path)) {
    target.kind = Target::kHostPage;
    target.virtual_path = path.Virtual();
    target.folder = path.ParentFolder();
  } else {
    target.kind = Target::kFile;
  }
  return target;
}

HttpReply RequestDispatcher::Route(const HttpRequestData& request, PageRun& run) {
  const bool get_or_head = request.method == "GET" || request.method == "HEAD";
  if (!get_or_head && request.method != "POST") return MethodNotAllowed("GET, HEAD, POST");
  const SitePath path = DecodeSitePath(PathOf(request.target));  // throws RequestError
  const Target target = Locate(path);
  switch (target.kind) {
    case Target::kNotFound:
      return NotFound();
    case Target::kFolderWithoutSlash: {
      HttpReply reply = PlainTextReply(301, "moved permanently");
      const std::size_t question = request.target.find('?');
      reply.headers.emplace_back(
          "Location", FolderLocation(path) +
                          (question == std::string::npos ? "" : request.target.substr(question)));
      return reply;
    }
    case Target::kHostPage:
      return RunPage(request, target, run);
    case Target::kFile:
      break;
  }
  if (!get_or_head) return MethodNotAllowed("GET, HEAD");
  run.page_label = observe::Metrics::kStatic;
  StaticFileChoice choice = ChooseStaticFile(request, target.physical);
  if (services_.static_variant) choice = services_.static_variant(request, choice);
  struct stat chosen = target.status;
  if (choice.file != target.physical &&
      (!LookAt(choice.file, chosen) || !S_ISREG(chosen.st_mode))) {
    return NotFound();
  }
  return StaticFileReply(request, choice, chosen);
}

std::optional<HttpReply> RequestDispatcher::AnswerFromCache(const HttpRequestData& request) {
  RenderedPageCache* const cache = services_.page_cache;
  if (cache == nullptr || !cache->Enabled() || services_.changes == nullptr) return std::nullopt;
  if (request.method != "GET" && request.method != "HEAD") return std::nullopt;
  try {
    std::optional<std::string> cookie = FindCookie(request.headers, kSessionCookieName);
    if (cookie && !services_.sessions.AnswersAtOnce()) return std::nullopt;
    const Target target = Locate(DecodeSitePath(PathOf(request.target)));
    if (target.kind != Target::kHostPage || target.native != nullptr ||
        !MayKeepPage(request.method, target.virtual_path)) {
      return std::nullopt;
    }
    if (!services_.changes->TryPoll() || !services_.changes->Live()) return std::nullopt;
    const Request page_request = BuildRequest(request, target.virtual_path, services_.max_fields);
    const RequestSession session(services_.sessions, std::move(cookie), request.remote_address);
    auto kept = cache->Find(HostPageKey(target.physical, target.status),
                            RequestValues(page_request, session, services_.application),
                            std::chrono::system_clock::now());
    if (kept && services_.metrics != nullptr) {
      kept->page_label = services_.metrics->PageFor(target.virtual_path);
    }
    return kept;
  } catch (...) {
    return std::nullopt;  // Handle answers it, with whatever it is
  }
}

HttpReply RequestDispatcher::RunPage(const HttpRequestData& request, const Target& target,
                                     PageRun& run) {
  const std::string& virtual_path = target.virtual_path;
  if (services_.metrics != nullptr) run.page_label = services_.metrics->PageFor(virtual_path);
  const std::shared_ptr<const HostPage> page =
      target.native ? nullptr : pages_.Get(target.physical, virtual_path, target.status);
  Request page_request = BuildRequest(request, virtual_path, services_.max_fields);
  run.session.emplace(services_.sessions, FindCookie(request.headers, kSessionCookieName),
                      request.remote_address);

  RenderedPageCache* const cache = services_.page_cache;
  bool keep = page != nullptr && cache != nullptr && cache->Enabled() &&
              services_.changes != nullptr && MayKeepPage(request.method, virtual_path);
  if (keep) {
    services_.changes->Poll();
    keep = services_.changes->Live();
  }
  std::string page_key;
  std::uint64_t changes_before = 0;
  if (keep) {
    page_key = HostPageKey(target.physical, target.status);
    const auto now = std::chrono::system_clock::now();
    if (auto kept = cache->Find(
            page_key, RequestValues(page_request, *run.session, services_.application), now)) {
      return std::move(*kept);
    }
    changes_before = cache->ChangeCount();
  }

  PageReads reads;
  data::StatementTrace trace;
  trace.member_column = services_.member_column;
  RecordingSession recording_session(*run.session);
  Server server(services_.web_root, target.folder, services_.objects);
  ScriptingContext context{services_.application,
                           page_request,
                           run.response,
                           keep ? static_cast<Session&>(recording_session) : *run.session,
                           server,
                           services_.connections,
                           services_.limiters};
  const auto rendered_at = std::chrono::system_clock::now();
  {
    const PageReads::Scope record_reads(keep ? &reads : nullptr);
    const data::StatementTrace::Scope record_statements(keep ? &trace : nullptr);
    if (page) {
      RunHostPage(*page, context, [&](std::string_view detail) { services_.log.Note(detail); });
    } else {
      (*target.native)(context);
    }
  }
  const std::optional<std::string> new_cookie = run.session->NewCookieId();
  const auto expires_at = run.response.ExpiresAt();
  auto reply = ReplyFromResponse(run.response, NewSessionCookie(run.session));
  if (!reply)
    throw std::runtime_error(virtual_path +
                             ": the page set a response header that is "
                             "not valid (a line break or control character)");
  if (keep && !reads.Uncacheable() && !trace.wrote && !new_cookie) {
    const bool sets_cookie = std::any_of(
        reply->headers.begin(), reply->headers.end(),
        [](const auto& header) { return text::EqualsIgnoreCase(header.first, "Set-Cookie"); });
    if (!sets_cookie) {
      cache->Store(page_key, reads.Reads(), trace, changes_before, *reply, rendered_at, expires_at);
    }
  }
  return std::move(*reply);
}

}  // namespace host
