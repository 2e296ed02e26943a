// Sessions: where visitors' session values live between requests, and the per-request Session
// that pages see.
//
// SessionStore is the storage interface: MemorySessionStore (memory_session_store.h) keeps the
// sessions in this process, DatabaseSessionStore (database_session_store.h) in the site's
// database, shared by every instance that serves the site. RequestSession is the host::Session of
// one request: it reads the visitor's session once, by the id of the request's cookie (a request
// without one never asks the store), writes through to the store each value the page changes,
// creates a session only when the page stores a value (or renews the id), and tells the host which
// cookie to send.
//
// Session ids are 128 random bits from the system's CSPRNG, written as 32 lower-case hex digits.
// An id the store does not know (made up, expired, evicted or renewed away) is never adopted: a
// store under it creates a fresh session with a fresh id. Storing an empty value creates no
// session (it would hold nothing a page could tell from a missing value).
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/objects/session.h"

namespace host {

// The name of the session cookie.
inline constexpr std::string_view kSessionCookieName = "WAPSESSIONID";
// What the application tells a store about its sign-ins: a session holding a non-empty value
// under `key` (lower-case) is signed in, and may stay idle for `idle` when that is longer than
// the store's own idle timeout. The store knows no names of its own.
struct SignInKind {
  std::string key;
  std::chrono::seconds idle{0};
};
// Kinds in the order a full store gives them up: anonymous sessions first, then those of the
// first kind, …, those of the last kind last.
using SignInKinds = std::vector<SignInKind>;

// Storage of sessions by id. Implementations are thread-safe. Every operation on a live session
// counts as activity (restarts its idle timeout); a session idle for longer than the store's
// timeout is gone. Values are keyed by their lower-case name.
class SessionStore {
 public:
  using Values = std::map<std::string, std::string>;

  virtual ~SessionStore() = default;

  // A new empty session for a visitor at client address `address`; its id.
  virtual std::string Create(std::string_view address) = 0;
  // The values of session `id` (and marks it active); std::nullopt when it is not live.
  virtual std::optional<Values> Load(std::string_view id) = 0;
  // Stores one value in session `id`, leaving its other values as they are. Returns false
  // (storing nothing) when the session is gone.
  virtual bool Set(std::string_view id, std::string_view name, std::string value) = 0;
  // Moves the values of session `id` to a new id, which it returns; the old id stops working.
  // std::nullopt when the session is gone.
  virtual std::optional<std::string> Renew(std::string_view id) = 0;
  // Whether every operation answers without waiting on I/O (a store in memory), so that a
  // session may be loaded on a thread that must never wait.
  virtual bool AnswersAtOnce() const { return false; }
};

// The standing of a session holding `values` (keyed by lower-case name): 0 when it holds no
// kind's key with a non-empty value, else 1 + the index in `kinds` of the last kind it holds.
std::size_t RankOf(const SignInKinds& kinds, const std::map<std::string, std::string>& values);

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
  SessionStore::Values values_;    // its values as this request sees them
  bool id_changed_ = false;
};

// The Set-Cookie value for session `id`: "WAPSESSIONID=ID; Path=/; HttpOnly; SameSite=Lax".
std::string SessionCookie(std::string_view id);

}  // namespace host
