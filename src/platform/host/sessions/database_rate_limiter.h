// DatabaseRateLimiter: a RateLimiter whose events are rows of the site database's
// wap_throttle_events (site_tables.h), so that one limit holds across every instance serving the
// site. A key is stored as the SHA-256 of the limiter's name and the key (its first kMaxKeyBytes
// bytes); each event row expires a window after it happened and is swept with the sessions.
// Thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "platform/host/sessions/rate_limiter.h"
#include "platform/host/sessions/site_tables.h"

namespace host {

class DatabaseRateLimiter : public RateLimiter {
 public:
  // Allows `limit` (> 0) events per key within `window`. `db` must outlive the limiter.
  DatabaseRateLimiter(const SiteDb& db, std::string_view name, std::size_t limit,
                      std::chrono::milliseconds window);

  // All throw DataError when the database fails.
  std::optional<std::chrono::seconds> Blocked(std::string_view key) override;
  void Record(std::string_view key) override;
  void Reset(std::string_view key) override;

 private:
  std::string StoredKey(std::string_view key) const;

  const SiteDb& db_;
  const std::string name_;
  const std::int64_t limit_;
  const std::int64_t window_ms_;
};

}  // namespace host
