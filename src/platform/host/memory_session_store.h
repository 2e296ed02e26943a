// MemorySessionStore: the sessions of one process, in its memory (see session_store.h). The
// default store; sessions end with the process and are not seen by another instance.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <unordered_map>

#include "platform/host/session_store.h"

namespace host {

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
  std::optional<Values> Load(std::string_view id) override;
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

}  // namespace host
