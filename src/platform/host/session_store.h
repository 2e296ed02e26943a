// Sessions: where visitors' session values live between requests, and the per-request Session
// that pages see.
//
// SessionStore is the storage interface (so that a store shared by several servers can replace
// the in-process one); MemorySessionStore keeps the sessions in this process. RequestSession is
// the host::Session of one request: it finds the visitor's session by the id of the request's
// cookie, creates one only when the page stores a value (or renews the id), and tells the host
// which cookie to send.
//
// Session ids are 128 random bits from the system's CSPRNG, written as 32 lower-case hex digits.
// An id the store does not know (made up, expired, evicted or renewed away) is never adopted: a
// store under it creates a fresh session with a fresh id. Storing an empty value creates no
// session (it would hold nothing a page could tell from a missing value).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/host/session.h"

namespace host {

// The name of the session cookie.
inline constexpr std::string_view kSessionCookieName = "WAPSESSIONID";
// How long a session of a signed-in back-office owner (one that holds "userid") may stay idle,
// when that is longer than the store's own idle timeout.
inline constexpr std::chrono::seconds kOwnerIdleTimeout = std::chrono::minutes(30);

// Storage of sessions by id. Implementations are thread-safe. Every operation on a live session
// counts as activity (restarts its idle timeout); a session idle for longer than the store's
// timeout is gone.
class SessionStore {
 public:
  virtual ~SessionStore() = default;

  // A new empty session for a visitor at client address `address`; its id.
  virtual std::string Create(std::string_view address) = 0;
  // True when `id` names a live session (and marks it active).
  virtual bool Touch(std::string_view id) = 0;
  // The value `name` (any letter case) of session `id`; std::nullopt when the session or the
  // value does not exist.
  virtual std::optional<std::string> Get(std::string_view id, std::string_view name) = 0;
  // Stores a value in session `id`. Returns false (storing nothing) when the session is gone.
  virtual bool Set(std::string_view id, std::string_view name, std::string value) = 0;
  // Moves the values of session `id` to a new id, which it returns; the old id stops working.
  // std::nullopt when the session is gone.
  virtual std::optional<std::string> Renew(std::string_view id) = 0;
};

class MemorySessionStore : public SessionStore {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // At most `max_sessions` (at least 1) live at once, and at most `address_percent` of them (at
  // least 1) created from one client address. Creating one more first drops expired sessions;
  // then, when its address holds its share, that address's oldest session; then, while the
  // store is full, the sessions idle longest, signed-in ones (HoldsLogin) only when no other is
  // left. So anonymous requests cannot push out signed-in visitors, nor one address the others.
  // Sessions holding the back office's "userid" stay for kOwnerIdleTimeout when that is longer
  // than `idle_timeout`. `clock` is for tests; by default the steady clock.
  explicit MemorySessionStore(std::size_t max_sessions,
                              std::chrono::seconds idle_timeout = std::chrono::minutes(20),
                              Clock clock = {}, std::size_t address_percent = 10);

  std::string Create(std::string_view address) override;
  bool Touch(std::string_view id) override;
  std::optional<std::string> Get(std::string_view id, std::string_view name) override;
  bool Set(std::string_view id, std::string_view name, std::string value) override;
  std::optional<std::string> Renew(std::string_view id) override;

  // Live (not yet expired) sessions.
  std::size_t Size();

 private:
  using Ids = std::list<std::string>;

  struct Entry {
    std::map<std::string, std::string> values;  // keyed by the lower-case name
    std::chrono::steady_clock::time_point last_active;
    std::string address;       // where it was created
    bool signed_in = false;    // HoldsLogin(values)
    bool owner = false;        // holds the back office's "userid"
    Ids::iterator order;       // position in anonymous_ or signed_in_
    Ids::iterator of_address;  // position in by_address_[address]
  };

  std::chrono::steady_clock::time_point Now() const;
  std::chrono::seconds IdleTimeoutOf(const Entry& entry) const {
    return entry.owner ? std::max(idle_timeout_, kOwnerIdleTimeout) : idle_timeout_;
  }
  // The live entry for `id`, marked active; nullptr when there is none. Requires: mutex_ held.
  Entry* FindLive(std::string_view id);
  void DropExpired(std::chrono::steady_clock::time_point now);
  void Erase(std::unordered_map<std::string, Entry>::iterator it);
  void EraseId(const std::string& id) { Erase(sessions_.find(id)); }
  // Adds `entry` under `id` at the most recently active end.
  void Insert(std::string id, Entry entry);
  std::string NewId();
  Ids& ActivityList(const Entry& entry) { return entry.signed_in ? signed_in_ : anonymous_; }

  const std::size_t max_sessions_;
  const std::size_t max_per_address_;
  const std::chrono::seconds idle_timeout_;
  const Clock clock_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> sessions_;
  Ids anonymous_;  // ids of sessions without a login, least recently active first
  Ids signed_in_;  // ids of sessions with a login, least recently active first
  std::unordered_map<std::string, Ids> by_address_;  // ids by creating address, oldest first
};

// The rule that marks a session as a signed-in visitor's: it holds a non-empty login value, the
// member login's "memberid" or the back office's "userid". `values` are keyed by lower-case name.
bool HoldsLogin(const std::map<std::string, std::string>& values);

// The Session of one request. Thread-safe (a page could hand it to helper threads), though one
// request normally uses it on one thread.
class RequestSession : public Session {
 public:
  // `cookie_id` is the WAPSESSIONID cookie of the request, if any; it is used only when the store
  // knows it. `address` is the client's; a session this request creates is counted to it.
  RequestSession(SessionStore& store, std::optional<std::string> cookie_id,
                 std::string address = "-");

  std::optional<std::string> Get(std::string_view name) const override;
  void Set(std::string_view name, std::string value) override;
  void RenewId() override;

  // The session id to send in a new cookie: set when this request created the session or renewed
  // its id; std::nullopt when the visitor's cookie stays as it is.
  std::optional<std::string> NewCookieId() const;

 private:
  SessionStore& store_;
  const std::string address_;
  mutable std::mutex mutex_;
  std::optional<std::string> id_;  // the live session of this request, if any
  bool id_changed_ = false;
};

// The Set-Cookie value for session `id`: "WAPSESSIONID=ID; Path=/; HttpOnly; SameSite=Lax".
std::string SessionCookie(std::string_view id);

}  // namespace host
