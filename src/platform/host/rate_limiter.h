// RateLimiter: counts events (failed sign-ins, posts, …) per key over a sliding time window and
// says when a key has had its fill. An interface: MemoryRateLimiter counts in this process;
// DatabaseRateLimiter (database_rate_limiter.h) in the site's database, so that the limit holds
// across every instance that serves the site. Implementations are thread-safe.
//
// MemoryRateLimiter bounds its memory: at most `max_keys` keys, each holding the times of its last
// `limit` events; when a new key finds the table full, the key whose latest event is oldest is
// forgotten. Keys are compared on their first kMaxKeyBytes bytes.
//
// RateLimiters: the limiters one server keeps for its pages, shared by all requests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace host {

class RateLimiter {
 public:
  static constexpr std::size_t kMaxKeyBytes = 256;

  virtual ~RateLimiter() = default;

  // When `key` already has its limit of events within the window before now: the whole seconds
  // (at least 1) until the oldest of them leaves the window. std::nullopt while the key may act.
  [[nodiscard]] virtual std::optional<std::chrono::seconds> Blocked(std::string_view key) = 0;
  // Records one event of `key` now.
  virtual void Record(std::string_view key) = 0;
  // Forgets every event of `key`.
  virtual void Reset(std::string_view key) = 0;
};

class MemoryRateLimiter : public RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  // Allows `limit` (> 0) events per key within any `window`; keeps at most `max_keys` (> 0) keys.
  // `now` is for tests; by default the steady clock.
  MemoryRateLimiter(std::size_t limit, Clock::duration window, std::size_t max_keys,
                    std::function<Clock::time_point()> now = {});
  MemoryRateLimiter(const MemoryRateLimiter&) = delete;
  MemoryRateLimiter& operator=(const MemoryRateLimiter&) = delete;

  std::optional<std::chrono::seconds> Blocked(std::string_view key) override;
  void Record(std::string_view key) override;
  void Reset(std::string_view key) override;

 private:
  struct Entry {
    std::deque<Clock::time_point> times;  // oldest first, at most limit_
    std::list<std::string>::iterator order;
  };

  Clock::time_point Now() const { return now_ ? now_() : Clock::now(); }

  const std::size_t limit_;
  const Clock::duration window_;
  const std::size_t max_keys_;
  const std::function<Clock::time_point()> now_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
  std::list<std::string> order_;  // keys, latest event last
};

// Makes the limiter named `name` (a short fixed word, unique per server) that allows `limit`
// events per key within `window`.
using RateLimiterFactory = std::function<std::unique_ptr<RateLimiter>(
    std::string_view name, std::size_t limit, std::chrono::seconds window)>;

// A factory of MemoryRateLimiters of 20 000 keys each.
std::unique_ptr<RateLimiter> MakeMemoryRateLimiter(std::string_view name, std::size_t limit,
                                                   std::chrono::seconds window);

struct RateLimiters {
  static constexpr std::size_t kLoginFailuresPerName = 5;
  static constexpr std::size_t kLoginFailuresPerAddress = 10;
  static constexpr std::size_t kGuestbookPostsPerAddress = 5;

  // Failed visitor logins per member name of a site within 5 minutes, and per client address
  // within a minute (an operator whose visitors share a gateway's address may allow more).
  explicit RateLimiters(std::size_t per_name = kLoginFailuresPerName,
                        std::size_t per_address = kLoginFailuresPerAddress,
                        const RateLimiterFactory& make = MakeMemoryRateLimiter,
                        std::size_t guestbook_posts = kGuestbookPostsPerAddress)
      : login_by_name(make("login-name", per_name, std::chrono::minutes(5))),
        login_by_address(make("login-address", per_address, std::chrono::minutes(1))),
        owner_by_name(make("owner-name", kLoginFailuresPerName, std::chrono::minutes(5))),
        owner_by_address(make("owner-address", kLoginFailuresPerAddress, std::chrono::minutes(1))),
        guestbook_by_address(make("guestbook-address", guestbook_posts, std::chrono::minutes(10))) {}

  std::unique_ptr<RateLimiter> login_by_name;
  std::unique_ptr<RateLimiter> login_by_address;
  // Failed back-office sign-ins per owner name within 5 minutes and per client address within a
  // minute (fixed: owners do not share a gateway's address as handsets do).
  std::unique_ptr<RateLimiter> owner_by_name;
  std::unique_ptr<RateLimiter> owner_by_address;
  // Guestbook messages stored per client address within 10 minutes.
  std::unique_ptr<RateLimiter> guestbook_by_address;

  // Failed sign-ins, for the operator's monitoring: visitors' member logins and owners'
  // back-office sign-ins. Relaxed counters; whoever checks a password adds its failures.
  std::atomic<std::uint64_t> visitor_login_failures{0};
  std::atomic<std::uint64_t> owner_signin_failures{0};
};

}  // namespace host
