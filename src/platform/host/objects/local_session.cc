#include "platform/host/objects/local_session.h"

#include "platform/text/ascii.h"

namespace host {

std::optional<std::string> LocalSession::Get(std::string_view name) const {
  std::lock_guard lock(mutex_);
  const auto it = values_.find(text::AsciiLower(name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void LocalSession::Set(std::string_view name, std::string value) {
  std::lock_guard lock(mutex_);
  values_[text::AsciiLower(name)] = std::move(value);
}

void LocalSession::RenewId() {
  std::lock_guard lock(mutex_);
  ++renewals_;
}

int LocalSession::Renewals() const {
  std::lock_guard lock(mutex_);
  return renewals_;
}

}  // namespace host
