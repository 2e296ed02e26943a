#include "platform/host/sessions/session_store.h"

#include "platform/text/ascii.h"

namespace host {
std::size_t RankOf(const SignInKinds& kinds, const std::map<std::string, std::string>& values) {
  std::size_t rank = 0;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const auto it = values.find(kinds[i].key);
    if (it != values.end() && !it->second.empty()) rank = i + 1;
  }
  return rank;
}

RequestSession::RequestSession(SessionStore& store, std::optional<std::string> cookie_id,
                               std::string address)
    : store_(store), address_(std::move(address)) {
  if (!cookie_id) return;
  if (auto values = store_.Load(*cookie_id)) {
    id_ = std::move(cookie_id);
    values_ = std::move(*values);
  }
}

std::optional<std::string> RequestSession::Get(std::string_view name) const {
  std::lock_guard lock(mutex_);
  const auto it = values_.find(text::AsciiLower(name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void RequestSession::Set(std::string_view name, std::string value) {
  std::lock_guard lock(mutex_);
  std::string key = text::AsciiLower(name);
  if (const auto it = values_.find(key); id_ && it != values_.end() && it->second == value) {
    return;  // unchanged: nothing to write
  }
  if (!id_ || !store_.Set(*id_, key, value)) {
    // No session yet, or it expired meanwhile: a new one, never one under the old id; but not
    // for an empty value, which reads the same as none.
    values_.clear();
    if (value.empty()) {
      id_.reset();
      return;
    }
    id_ = store_.Create(address_);
    id_changed_ = true;
    store_.Set(*id_, key, value);
  }
  values_[std::move(key)] = std::move(value);
}

void RequestSession::RenewId() {
  std::lock_guard lock(mutex_);
  std::optional<std::string> renewed = id_ ? store_.Renew(*id_) : std::nullopt;
  if (!renewed) {
    values_.clear();
    renewed = store_.Create(address_);
  }
  id_ = std::move(renewed);
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
