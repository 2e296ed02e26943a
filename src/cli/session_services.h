// SessionServices: what `wapsite serve` keeps per visitor and per key, and the readiness probe
// that goes with it: with `in_database` false, the sessions and the failed-login counters live in
// this process; with it true, in the site database of the web root's conn.asp, shared by every
// instance that serves the site. Thread-safe as its parts are; the pool must outlive it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/data/connection_pool.h"
#include "platform/host/sessions/rate_limiter.h"
#include "platform/host/sessions/session_store.h"
#include "platform/host/sessions/site_tables.h"

namespace cli {

class SessionServices {
 public:
  // Throws std::runtime_error with a one-line reason when `in_database` and the site database or
  // its session tables do not answer.
  SessionServices(const std::filesystem::path& root, data::ConnectionPool& pool, bool in_database,
                  std::size_t max_sessions, std::size_t login_failures_per_name,
                  std::size_t login_failures_per_address, std::size_t guestbook_posts,
                  std::size_t signins_per_address, std::size_t guestbook_site_posts);
  SessionServices(const SessionServices&) = delete;
  SessionServices& operator=(const SessionServices&) = delete;

  host::SessionStore& Sessions() { return *sessions_; }
  host::RateLimiters& Limiters() { return *limiters_; }

  // Live sessions now: of this process, or of every instance (a count in the site database).
  // Throws when the database does not answer.
  double LiveSessions() const;

  // Returns when the site database answers (and its session table, with database sessions);
  // throws with the reason otherwise.
  void Probe() const;

 private:
  std::string site_failure_;  // why conn.asp could not be read; empty when it could
  host::SiteDb site_db_;
  const bool in_database_;
  std::unique_ptr<host::SessionStore> sessions_;
  std::unique_ptr<host::RateLimiters> limiters_;
};

}  // namespace cli
