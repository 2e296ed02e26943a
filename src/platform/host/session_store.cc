#include "platform/host/session_store.h"

#include <algorithm>

#include "platform/host/random_id.h"
#include "platform/text/ascii.h"

namespace host {

MemorySessionStore::MemorySessionStore(std::size_t max_sessions, std::chrono::seconds idle_timeout,
                                       Clock clock)
    : max_sessions_(std::max<std::size_t>(max_sessions, 1)),
      idle_timeout_(idle_timeout),
      clock_(std::move(clock)) {}

std::chrono::steady_clock::time_point MemorySessionStore::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void MemorySessionStore::Erase(std::unordered_map<std::string, Entry>::iterator it) {
  by_activity_.erase(it->second.order);
  sessions_.erase(it);
}

void MemorySessionStore::DropExpired(std::chrono::steady_clock::time_point now) {
  // by_activity_ runs from the longest idle, so the expired ones are a prefix.
  while (!by_activity_.empty()) {
    const auto it = sessions_.find(by_activity_.front());
    if (now - it->second.last_active < idle_timeout_) break;
    Erase(it);
  }
}

MemorySessionStore::Entry* MemorySessionStore::FindLive(std::string_view id) {
  const auto now = Now();
  DropExpired(now);
  const auto it = sessions_.find(std::string(id));
  if (it == sessions_.end()) return nullptr;
  it->second.last_active = now;
  by_activity_.splice(by_activity_.end(), by_activity_, it->second.order);
  return &it->second;
}

std::string MemorySessionStore::NewId() {
  std::string id;
  do {
    id = RandomHex(16);
  } while (sessions_.count(id) != 0);
  return id;
}

std::string MemorySessionStore::Create() {
  std::lock_guard lock(mutex_);
  const auto now = Now();
  DropExpired(now);
  while (sessions_.size() >= max_sessions_) Erase(sessions_.find(by_activity_.front()));
  std::string id = NewId();
  by_activity_.push_back(id);
  sessions_.emplace(id, Entry{{}, now, std::prev(by_activity_.end())});
  return id;
}

bool MemorySessionStore::Touch(std::string_view id) {
  std::lock_guard lock(mutex_);
  return FindLive(id) != nullptr;
}

std::optional<std::string> MemorySessionStore::Get(std::string_view id, std::string_view name) {
  std::lock_guard lock(mutex_);
  Entry* entry = FindLive(id);
  if (entry == nullptr) return std::nullopt;
  const auto it = entry->values.find(text::AsciiLower(name));
  if (it == entry->values.end()) return std::nullopt;
  return it->second;
}

bool MemorySessionStore::Set(std::string_view id, std::string_view name, std::string value) {
  std::lock_guard lock(mutex_);
  Entry* entry = FindLive(id);
  if (entry == nullptr) return false;
  entry->values[text::AsciiLower(name)] = std::move(value);
  return true;
}

std::optional<std::string> MemorySessionStore::Renew(std::string_view id) {
  std::lock_guard lock(mutex_);
  if (FindLive(id) == nullptr) return std::nullopt;
  const auto old = sessions_.find(std::string(id));
  std::string new_id = NewId();
  Entry entry{std::move(old->second.values), old->second.last_active, {}};
  Erase(old);
  by_activity_.push_back(new_id);
  entry.order = std::prev(by_activity_.end());
  sessions_.emplace(new_id, std::move(entry));
  return new_id;
}

std::size_t MemorySessionStore::Size() {
  std::lock_guard lock(mutex_);
  DropExpired(Now());
  return sessions_.size();
}

RequestSession::RequestSession(SessionStore& store, std::optional<std::string> cookie_id)
    : store_(store) {
  if (cookie_id && store_.Touch(*cookie_id)) id_ = std::move(cookie_id);
}

std::optional<std::string> RequestSession::Get(std::string_view name) const {
  std::lock_guard lock(mutex_);
  if (!id_) return std::nullopt;
  return store_.Get(*id_, name);
}

void RequestSession::Set(std::string_view name, std::string value) {
  std::lock_guard lock(mutex_);
  if (id_ && store_.Set(*id_, name, value)) return;
  // No session yet, or it expired meanwhile: a new one, never one under the old id.
  id_ = store_.Create();
  id_changed_ = true;
  store_.Set(*id_, name, std::move(value));
}

void RequestSession::RenewId() {
  std::lock_guard lock(mutex_);
  std::optional<std::string> renewed = id_ ? store_.Renew(*id_) : std::nullopt;
  id_ = renewed ? std::move(renewed) : store_.Create();
  id_changed_ = true;
}

std::optional<std::string> RequestSession::NewCookieId() const {
  std::lock_guard lock(mutex_);
  if (!id_changed_) return std::nullopt;
  return id_;
}

std::string SessionCookie(std::string_view id) {
  return std::string(kSessionCookieName) + "=" + std::string(id) +
         "; Path=/; HttpOnly; SameSite=Lax";
}

}  // namespace host
