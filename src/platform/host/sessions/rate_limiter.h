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

// The limiters of one kind of sign-in (owners' back office, visitors' member login). Failures
// are counted per name and address together (a short window, a low limit), per name alone (an
// hour, a higher ceiling against a guess spread over many addresses) and per address; so an
// attacker at one address cannot shut the account's holder out at another.
struct SignInLimiters {
  static constexpr std::size_t kFailuresPerNameAndAddress = 5;  // within 5 minutes
  // Within an hour; 10 times the per name and address limit when that is more.
  static constexpr std::size_t kFailuresPerName = 50;
  static constexpr std::size_t kFailuresPerAddress = 10;  // within a minute

  SignInLimiters(std::string_view kind, std::size_t per_name_and_address, std::size_t per_address,
                 const RateLimiterFactory& make);

  std::unique_ptr<RateLimiter> by_name_and_address;
  std::unique_ptr<RateLimiter> by_name;
  std::unique_ptr<RateLimiter> by_address;
  // Failed sign-ins since start, those refused unchecked while throttled included, for the
  // operator's monitoring (relaxed).
  std::atomic<std::uint64_t> failures{0};
};

struct RateLimiters {
  static constexpr std::size_t kLoginFailuresPerName = SignInLimiters::kFailuresPerNameAndAddress;
  static constexpr std::size_t kLoginFailuresPerAddress = SignInLimiters::kFailuresPerAddress;
  static constexpr std::size_t kSignInsPerAddress = 30;  // successful ones, within a minute
  static constexpr std::size_t kGuestbookPostsPerAddress = 5;
  static constexpr std::size_t kGuestbookPostsPerSite = 60;
  // How long a site's dashboard remembers that its guestbook ceiling was reached.
  static constexpr std::chrono::hours kCeilingRemembered{24 * 7};

  // Visitors' failed logins per member name of a site and client address within 5 minutes
  // (`per_name`), and per client address within a minute (`per_address`; an operator whose
  // visitors share a gateway's address may allow more); successful sign-ins per address within
  // a minute (`signins_per_address`).
  explicit RateLimiters(std::size_t per_name = kLoginFailuresPerName,
                        std::size_t per_address = kLoginFailuresPerAddress,
                        const RateLimiterFactory& make = MakeMemoryRateLimiter,
                        std::size_t guestbook_posts = kGuestbookPostsPerAddress,
                        std::size_t signins_per_address = kSignInsPerAddress,
                        std::size_t guestbook_site_posts = kGuestbookPostsPerSite)
      : visitor_logins("login", per_name, per_address, make),
        owner_signins("owner", kLoginFailuresPerName, kLoginFailuresPerAddress, make),
        signins_by_address(make("signin-address", signins_per_address, std::chrono::minutes(1))),
        guestbook_by_prefix(make("guestbook-prefix", guestbook_posts, std::chrono::minutes(10))),
        guestbook_by_site(make("guestbook-site", guestbook_site_posts, std::chrono::minutes(10))),
        guestbook_ceiling_reached(make("guestbook-ceiling", 1, kCeilingRemembered)) {}

  SignInLimiters visitor_logins;
  // Owners' back-office sign-ins (fixed limits: owners do not share a gateway's address as
  // handsets do).
  SignInLimiters owner_signins;
  // Successful sign-ins of either kind per client address within a minute: each costs a
  // password hash (keys "owner ADDRESS" and "visitor ADDRESS").
  std::unique_ptr<RateLimiter> signins_by_address;
  // Guestbook messages stored per client address prefix (AddressPrefix) and per site (key: the
  // site's userid) within 10 minutes.
  std::unique_ptr<RateLimiter> guestbook_by_prefix;
  std::unique_ptr<RateLimiter> guestbook_by_site;
  // One event per site (key: its userid) each time a post found the site's ceiling reached; its
  // latest is remembered for kCeilingRemembered (see LastReached).
  std::unique_ptr<RateLimiter> guestbook_ceiling_reached;
};

// When the event of `key` in `limiter` (a limiter of one event per key within `window`) last
// happened; std::nullopt when not within the window.
std::optional<std::chrono::system_clock::time_point> LastReached(RateLimiter& limiter,
                                                                 std::string_view key,
                                                                 std::chrono::seconds window);

// The limits of one sign-in attempt of `name` (already qualified: a member name is prefixed by
// its site) from `address`. Not thread-safe; one attempt, one thread. Null limiters: no limits.
class SignInAttempt {
 public:
  SignInAttempt(SignInLimiters* limiters, RateLimiter* signins_by_address, std::string_view kind,
                std::string_view name, std::string_view address);

  // Seconds until this attempt may be checked; std::nullopt when it may be now. A blocked
  // attempt is neither verified nor counted in the limits; the caller refuses it with Throttled.
  [[nodiscard]] std::optional<std::chrono::seconds> Blocked() const;
  // Counts a blocked attempt among the failures the operator sees (not in the limits' windows,
  // which it would only prolong).
  void Throttled();
  // Counts a failure against the name and address, the name and the address.
  void Failed();
  // Clears the failures of the name at this address and counts a sign-in of the address.
  void Succeeded();

 private:
  SignInLimiters* limiters_;
  RateLimiter* signins_;
  std::string name_and_address_;
  std::string name_;
  std::string address_;
  std::string signin_key_;
};

}  // namespace host
