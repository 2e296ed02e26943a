// RateLimiter: counts events (failed sign-ins, posts, …) per key over a sliding time window and
// says when a key has had its fill. Memory is bounded: at most `max_keys` keys, each holding the
// times of its last `limit` events; when a new key finds the table full, the key whose latest event
// is oldest is forgotten. Keys are compared on their first kMaxKeyBytes bytes. Thread-safe: every
// operation may run on several threads at once.
//
// RateLimiters: the limiters one server keeps for its pages, shared by all requests.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace host {

class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kMaxKeyBytes = 256;

  // Allows `limit` (> 0) events per key within any `window`; keeps at most `max_keys` (> 0) keys.
  RateLimiter(std::size_t limit, Clock::duration window, std::size_t max_keys);
  RateLimiter(const RateLimiter&) = delete;
  RateLimiter& operator=(const RateLimiter&) = delete;

  // When `key` already has `limit` events within the window before `now`: the whole seconds (at
  // least 1) until the oldest of them leaves the window. std::nullopt while the key may act.
  [[nodiscard]] std::optional<std::chrono::seconds> Blocked(std::string_view key,
                                                            Clock::time_point now) const;
  // Records one event of `key` at `now` (times are expected in non-decreasing order).
  void Record(std::string_view key, Clock::time_point now);
  // Forgets every event of `key`.
  void Reset(std::string_view key);

 private:
  struct Entry {
    std::deque<Clock::time_point> times;  // oldest first, at most limit_
    std::list<std::string>::iterator order;
  };

  const std::size_t limit_;
  const Clock::duration window_;
  const std::size_t max_keys_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
  std::list<std::string> order_;  // keys, latest event last
};

struct RateLimiters {
  static constexpr std::size_t kLoginFailuresPerName = 5;
  static constexpr std::size_t kLoginFailuresPerAddress = 10;

  // Failed visitor logins per member name of a site within 5 minutes, and per client address
  // within a minute (an operator whose visitors share a gateway's address may allow more).
  explicit RateLimiters(std::size_t per_name = kLoginFailuresPerName,
                        std::size_t per_address = kLoginFailuresPerAddress)
      : login_by_name(per_name, std::chrono::minutes(5), 20'000),
        login_by_address(per_address, std::chrono::minutes(1), 20'000) {}

  RateLimiter login_by_name;
  RateLimiter login_by_address;
  // Failed back-office sign-ins per owner name within 5 minutes and per client address within a
  // minute (fixed: owners do not share a gateway's address as handsets do).
  RateLimiter owner_by_name{kLoginFailuresPerName, std::chrono::minutes(5), 20'000};
  RateLimiter owner_by_address{kLoginFailuresPerAddress, std::chrono::minutes(1), 20'000};
};

}  // namespace host
