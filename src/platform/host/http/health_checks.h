// HealthChecks: the two paths a load balancer or a supervisor asks, answered before the web root
// is looked at (neither is a file of it):
//   GET /livez   200 "live" while the process serves; no database work;
//   GET /readyz  200 "ready" when the readiness probe passes (the site database answers, and the
//                session table with database sessions), 503 "not ready" when it fails, and 503
//                "draining" from StartDraining on, so that a balancer sends no new work while
//                the requests already sent finish.
// HEAD is answered like GET; other methods get 405. Their replies are left out of the access log
// unless `log_access`. Thread-safe: Answer runs on several worker threads at once.
#pragma once

#include <atomic>
#include <functional>
#include <optional>

#include "platform/host/http/http_exchange.h"
#include "platform/host/http/server_log.h"

namespace host {

class HealthChecks {
 public:
  // Returns normally when ready; throws (anything) with the reason when not.
  using Probe = std::function<void()>;

  // `log` (which must outlive this) gets a note each time readiness changes.
  HealthChecks(Probe probe, ServerLog& log, bool log_access = false);

  // The reply for a request to /livez or /readyz (any query string); std::nullopt for any other
  // path. Never throws.
  std::optional<HttpReply> Answer(const HttpRequestData& request);

  // From now on /readyz answers 503.
  void StartDraining() { draining_ = true; }

 private:
  const Probe probe_;
  ServerLog& log_;
  const bool log_access_;
  std::atomic<bool> draining_{false};
  std::atomic<int> last_ready_{-1};  // -1 unknown, 0 not ready, 1 ready
};

}  // namespace host
