// DatabaseSessionStore: sessions in the site's database (site_tables.h), so that every instance
// serving the site sees the same sessions: a visitor signed in through one is signed in on all,
// and a renewed id or a sign-out takes effect on all at once.
//
// The cookie's value is never stored, only its SHA-256 (KeyHash). Load reads a session's row and
// values in one query, and writes its last-seen time back only when it is kTouchEvery old or
// older (the idle timeout is that much approximate); Set writes one value; nothing is written for
// a value that a request only reads. Expired rows are deleted by a SiteTablesSweeper about once a
// minute, looked for on every Create and Load.
//
// Floods: the store holds at most `max_sessions` live sessions, and each client address at most
// `max_per_address`; creating one more first deletes the longest idle ones of the lowest standing
// (RankOf the application's sign-in kinds, kept in the session row's signed_in column) of that
// address, then of the whole store: anonymous ones first, the last kind's last. Instances that
// create sessions at the same moment may each see room for one, so the caps hold to within the
// number of instances. Thread-safe.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

#include "platform/host/sessions/session_store.h"
#include "platform/host/sessions/site_tables.h"

namespace host {

class DatabaseSessionStore : public SessionStore {
 public:
  static constexpr std::chrono::seconds kTouchEvery{30};

  // `db` must outlive the store.
  // A signed-in session idles for its kind's `idle` (see SignInKind) when that is longer than
  // `idle_timeout`.
  DatabaseSessionStore(const SiteDb& db, std::size_t max_sessions, std::size_t max_per_address,
                       std::chrono::seconds idle_timeout = std::chrono::minutes(20),
                       SignInKinds kinds = {});

  // All throw DataError when the database fails.
  std::string Create(std::string_view address) override;
  std::optional<Values> Load(std::string_view id) override;
  bool Set(std::string_view id, std::string_view name, std::string value) override;
  std::optional<std::string> Renew(std::string_view id) override;

 private:
  const SiteDb& db_;
  const std::size_t max_sessions_;
  const std::size_t max_per_address_;
  // The idle timeout of a session of standing `rank`.
  std::int64_t IdleSeconds(std::size_t rank) const {
    return rank == 0 ? idle_seconds_
                     : std::max<std::int64_t>(idle_seconds_, kinds_[rank - 1].idle.count());
  }
  bool IsKindKey(std::string_view name) const;

  const std::int64_t idle_seconds_;
  const SignInKinds kinds_;
  SiteTablesSweeper sweeper_;
};

}  // namespace host
