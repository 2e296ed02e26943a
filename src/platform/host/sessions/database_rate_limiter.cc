#include "platform/host/sessions/database_rate_limiter.h"

#include <algorithm>

#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/sessions/key_hash.h"

namespace host {

DatabaseRateLimiter::DatabaseRateLimiter(const SiteDb& db, std::string_view name, std::size_t limit,
                                         std::chrono::milliseconds window)
    : db_(db), name_(name), limit_(static_cast<std::int64_t>(limit)), window_ms_(window.count()) {}

std::string DatabaseRateLimiter::StoredKey(std::string_view key) const {
  return KeyHash(name_ + '\0' + std::string(key.substr(0, kMaxKeyBytes)));
}

std::optional<std::chrono::seconds> DatabaseRateLimiter::Blocked(std::string_view key) {
  const std::int64_t now = db_.NowMillis();
  const auto db = db_.Open();
  // The limit-th latest event of the window, if there are that many.
  auto rows = db->Execute(
      "SELECT at FROM wap_throttle_events WHERE event_key = ? AND at > ? "
      "ORDER BY at DESC LIMIT ?",
      data::Params{StoredKey(key), now - window_ms_, limit_});
  std::int64_t count = 0;
  std::int64_t oldest = 0;
  for (; !rows->Eof(); rows->MoveNext(), ++count) {
    oldest = rows->Field(std::size_t{0}).ToInteger().value_or(0);
  }
  if (count < limit_) return std::nullopt;
  const std::int64_t left_ms = oldest + window_ms_ - now;
  return std::chrono::seconds(std::max<std::int64_t>((left_ms + 999) / 1000, 1));
}

void DatabaseRateLimiter::Record(std::string_view key) {
  const std::int64_t now = db_.NowMillis();
  db_.Open()->Execute("INSERT INTO wap_throttle_events (event_key, at, expires) VALUES (?, ?, ?)",
                      data::Params{StoredKey(key), now, now + window_ms_});
}

void DatabaseRateLimiter::Reset(std::string_view key) {
  db_.Open()->Execute("DELETE FROM wap_throttle_events WHERE event_key = ?",
                      data::Params{StoredKey(key)});
}

}  // namespace host
