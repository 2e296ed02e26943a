// The host's own tables in the site database, used by the database session store and the
// database rate limiters, so that every instance serving one site shares them:
//   wap_sessions        one row per session: the SHA-256 of its id, the client address that
//                       created it, created / last seen / expiry (Unix seconds), a signed-in flag;
//   wap_session_values  one row per value of a session (lower-case name), written one at a time;
//   wap_throttle_events one row per counted event (key hash, time and expiry in Unix
//                       milliseconds): the sliding windows of every rate limiter, by key;
//   wap_sweeps          one row per periodic clean-up, the time it may next run, so that one
//                       instance at a time does it.
// SiteDb is how the host reaches them; SiteTablesSweeper deletes expired rows about once a
// period. Thread-safe.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/connection_settings.h"

namespace host {

// The statements that add the tables to a site database made without them; each is idempotent,
// on SQLite and on PostgreSQL alike. The schema files hold the same tables. An upgrade step of
// an older database runs this.
inline constexpr std::string_view kSiteTablesUpgrade = R"sql(
CREATE TABLE IF NOT EXISTS wap_sessions (
  id_hash   TEXT PRIMARY KEY,
  address   TEXT NOT NULL,
  created   BIGINT NOT NULL,
  last_seen BIGINT NOT NULL,
  expires   BIGINT NOT NULL,
  signed_in INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS wap_sessions_expires ON wap_sessions (expires);
CREATE INDEX IF NOT EXISTS wap_sessions_address ON wap_sessions (address, signed_in, last_seen);
CREATE TABLE IF NOT EXISTS wap_session_values (
  id_hash TEXT NOT NULL,
  name    TEXT NOT NULL,
  value   TEXT NOT NULL,
  PRIMARY KEY (id_hash, name)
);
CREATE TABLE IF NOT EXISTS wap_throttle_events (
  event_key TEXT NOT NULL,
  at        BIGINT NOT NULL,
  expires   BIGINT NOT NULL
);
CREATE INDEX IF NOT EXISTS wap_throttle_events_key ON wap_throttle_events (event_key, at);
CREATE INDEX IF NOT EXISTS wap_throttle_events_expires ON wap_throttle_events (expires);
CREATE TABLE IF NOT EXISTS wap_sweeps (
  name     TEXT PRIMARY KEY,
  next_run BIGINT NOT NULL
);
INSERT INTO wap_sweeps (name, next_run) VALUES ('expired', 0) ON CONFLICT DO NOTHING;
)sql";

// Adds the tables to the database `connection` is open on (kSiteTablesUpgrade). Throws
// DataError.
void UpgradeSiteTables(data::Connection& connection);

// Where the tables are and what time it is. The pool and the clock must outlive every user.
struct SiteDb {
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  data::ConnectionPool& pool;
  data::ConnectionSettings settings;
  Clock clock = {};  // empty: the system clock

  std::chrono::system_clock::time_point Now() const;
  std::int64_t NowSeconds() const;
  std::int64_t NowMillis() const;
  // A connection open on the site database. Throws DataError.
  std::unique_ptr<data::Connection> Open() const;
};

class SiteTablesSweeper {
 public:
  explicit SiteTablesSweeper(const SiteDb& db,
                             std::chrono::seconds period = std::chrono::minutes(1))
      : db_(db), period_(period.count()) {}

  // Deletes the expired sessions (with their values) and throttle events, when this process has
  // not looked for a period and no instance has swept within the last period; otherwise does
  // nothing. Throws DataError.
  void SweepIfDue();

 private:
  const SiteDb& db_;
  const std::int64_t period_;
  std::atomic<std::int64_t> next_look_{0};  // Unix seconds
};

}  // namespace host
