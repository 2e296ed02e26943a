#include "platform/host/http/health_checks.h"

#include <exception>
#include <string>

namespace host {

HealthChecks::HealthChecks(Probe probe, ServerLog& log, bool log_access)
    : probe_(std::move(probe)), log_(log), log_access_(log_access) {}

std::optional<HttpReply> HealthChecks::Answer(const HttpRequestData& request) {
  const std::string_view path =
      std::string_view(request.target).substr(0, request.target.find('?'));
  const bool live = path == "/livez";
  if (!live && path != "/readyz") return std::nullopt;
  HttpReply reply;
  if (request.method != "GET" && request.method != "HEAD") {
    reply = PlainTextReply(405, "method not allowed");
    reply.headers.emplace_back("Allow", "GET, HEAD");
  } else if (live) {
    reply = PlainTextReply(200, "live");
  } else if (draining_) {
    reply = PlainTextReply(503, "draining");
  } else {
    // A request boundary of its own: a failed probe is an answer, not an error.
    std::string failure;
    try {
      probe_();
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "an exception that is not a std::exception";
    }
    const int ready = failure.empty() ? 1 : 0;
    if (last_ready_.exchange(ready) != ready) {
      log_.Note(ready ? std::string("ready") : "not ready: " + failure);
    }
    reply = ready ? PlainTextReply(200, "ready") : PlainTextReply(503, "not ready");
  }
  reply.headers.emplace_back("Cache-Control", "no-store");
  reply.access_logged = log_access_;
  return reply;
}

}  // namespace host
