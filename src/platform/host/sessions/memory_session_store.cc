#include "platform/host/sessions/memory_session_store.h"

#include <algorithm>

#include "platform/text/ascii.h"
#include "platform/text/random_id.h"

namespace host {

MemorySessionStore::MemorySessionStore(std::size_t max_sessions, std::chrono::seconds idle_timeout,
                                       Clock clock, std::size_t address_percent, SignInKinds kinds)
    : max_sessions_(std::max<std::size_t>(max_sessions, 1)),
      max_per_address_(std::max<std::size_t>(max_sessions_ * address_percent / 100, 1)),
      idle_timeout_(idle_timeout),
      clock_(std::move(clock)),
      kinds_(std::move(kinds)),
      by_rank_(kinds_.size() + 1) {}

std::chrono::steady_clock::time_point MemorySessionStore::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void MemorySessionStore::Erase(std::unordered_map<std::string, Entry>::iterator it) {
  Entry& entry = it->second;
  ActivityList(entry).erase(entry.order);
  const auto of_address = by_address_.find(entry.address);
  of_address->second.erase(entry.of_address);
  if (of_address->second.empty()) by_address_.erase(of_address);
  sessions_.erase(it);
}

void MemorySessionStore::Insert(std::string id, Entry entry) {
  Ids& activity = ActivityList(entry);
  entry.order = activity.insert(activity.end(), id);
  Ids& of_address = by_address_[entry.address];
  entry.of_address = of_address.insert(of_address.end(), id);
  sessions_.emplace(std::move(id), std::move(entry));
}

void MemorySessionStore::DropExpired(std::chrono::steady_clock::time_point now) {
  // Each list runs from the longest idle and has one timeout, so its expired sessions are a
  // prefix.
  for (std::size_t rank = 0; rank < by_rank_.size(); ++rank) {
    const auto timeout = IdleTimeoutOf(rank);
    Ids* list = &by_rank_[rank];
    while (!list->empty()) {
      const auto it = sessions_.find(list->front());
      if (now - it->second.last_active < timeout) break;
      Erase(it);
    }
  }
}

MemorySessionStore::Entry* MemorySessionStore::FindLive(std::string_view id) {
  const auto now = Now();
  DropExpired(now);
  const auto it = sessions_.find(std::string(id));
  if (it == sessions_.end()) return nullptr;
  if (now - it->second.last_active >= IdleTimeoutOf(it->second.rank)) {
    Erase(it);
    return nullptr;
  }
  it->second.last_active = now;
  Ids& activity = ActivityList(it->second);
  activity.splice(activity.end(), activity, it->second.order);
  return &it->second;
}

std::string MemorySessionStore::NewId() {
  std::string id;
  do {
    id = text::RandomHex(16);
  } while (sessions_.count(id) != 0);
  return id;
}

std::string MemorySessionStore::Create(std::string_view address) {
  std::lock_guard lock(mutex_);
  const auto now = Now();
  DropExpired(now);
  // (A share of the whole store is no limit beyond the store's own.)
  if (const auto own = by_address_.find(std::string(address));
      max_per_address_ < max_sessions_ && own != by_address_.end() &&
      own->second.size() >= max_per_address_) {
    EraseId(own->second.front());
  }
  while (sessions_.size() >= max_sessions_) {
    for (const Ids& list : by_rank_) {
      if (!list.empty()) {
        EraseId(list.front());
        break;
      }
    }
  }
  std::string id = NewId();
  Entry entry;
  entry.last_active = now;
  entry.address = std::string(address);
  Insert(id, std::move(entry));
  return id;
}

std::optional<SessionStore::Values> MemorySessionStore::Load(std::string_view id) {
  std::lock_guard lock(mutex_);
  const Entry* entry = FindLive(id);
  if (entry == nullptr) return std::nullopt;
  return entry->values;
}

bool MemorySessionStore::Set(std::string_view id, std::string_view name, std::string value) {
  std::lock_guard lock(mutex_);
  Entry* entry = FindLive(id);
  if (entry == nullptr) return false;
  entry->values[text::AsciiLower(name)] = std::move(value);
  if (const std::size_t rank = RankOf(kinds_, entry->values); rank != entry->rank) {
    Ids& from = ActivityList(*entry);
    entry->rank = rank;
    Ids& to = ActivityList(*entry);
    to.splice(to.end(), from, entry->order);
  }
  return true;
}

std::optional<std::string> MemorySessionStore::Renew(std::string_view id) {
  std::lock_guard lock(mutex_);
  if (FindLive(id) == nullptr) return std::nullopt;
  const auto old = sessions_.find(std::string(id));
  std::string new_id = NewId();
  Entry entry;
  entry.values = std::move(old->second.values);
  entry.last_active = old->second.last_active;
  entry.address = old->second.address;
  entry.rank = old->second.rank;
  Erase(old);
  Insert(new_id, std::move(entry));
  return new_id;
}

std::size_t MemorySessionStore::Size() {
  std::lock_guard lock(mutex_);
  DropExpired(Now());
  return sessions_.size();
}

}  // namespace host
