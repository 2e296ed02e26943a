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

#include "platform/host/sessions/session_store.h"

namespace host {

class MemorySessionStore : public SessionStore {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // At most `max_sessions` (at least 1) live at once, and at most `address_percent` of them (at
  // least 1) created from one client address. Creating one more first drops expired sessions;
  // then, when its address holds its share, that address's oldest session; then, while the
  // store is full, the sessions idle longest of the lowest standing (RankOf `kinds`): anonymous
  // ones first, signed-in ones of each kind only when none of a lower one is left. So anonymous
  // requests cannot push out signed-in visitors, visitors cannot push out the kinds listed after
  // theirs, nor one address the others. A signed-in session idles for its kind's `idle` when
  // that is longer than `idle_timeout`. `clock` is for tests; by default the steady clock.
  explicit MemorySessionStore(std::size_t max_sessions,
                              std::chrono::seconds idle_timeout = std::chrono::minutes(20),
                              Clock clock = {}, std::size_t address_percent = 10,
                              SignInKinds kinds = {});

  std::string Create(std::string_view address) override;
  std::optional<Values> Load(std::string_view id) override;
  bool Set(std::string_view id, std::string_view name, std::string value) override;
  std::optional<std::string> Renew(std::string_view id) override;
  bool AnswersAtOnce() const override { return true; }

  // Live (not yet expired) sessions.
  std::size_t Size();

 private:
  using Ids = std::list<std::string>;

  struct Entry {
    std::map<std::string, std::string> values;  // keyed by the lower-case name
    std::chrono::steady_clock::time_point last_active;
    std::string address;       // where it was created
    std::size_t rank = 0;      // RankOf(kinds_, values)
    Ids::iterator order;       // position in by_rank_[rank]
    Ids::iterator of_address;  // position in by_address_[address]
  };

  std::chrono::steady_clock::time_point Now() const;
  std::chrono::seconds IdleTimeoutOf(std::size_t rank) const {
    return rank == 0 ? idle_timeout_ : std::max(idle_timeout_, kinds_[rank - 1].idle);
  }
  // The live entry for `id`, marked active; nullptr when there is none. Requires: mutex_ held.
  Entry* FindLive(std::string_view id);
  void DropExpired(std::chrono::steady_clock::time_point now);
  void Erase(std::unordered_map<std::string, Entry>::iterator it);
  void EraseId(const std::string& id) { Erase(sessions_.find(id)); }
  // Adds `entry` under `id` at the most recently active end.
  void Insert(std::string id, Entry entry);
  std::string NewId();
  Ids& ActivityList(const Entry& entry) { return by_rank_[entry.rank]; }

  const std::size_t max_sessions_;
  const std::size_t max_per_address_;
  const std::chrono::seconds idle_timeout_;
  const Clock clock_;
  const SignInKinds kinds_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> sessions_;
  // Ids of the sessions of each rank, least recently active first; [0]: anonymous.
  std::vector<Ids> by_rank_;
  std::unordered_map<std::string, Ids> by_address_;  // ids by creating address, oldest first
};

}  // namespace host
