#include "platform/host/application.h"

#include <mutex>

#include "platform/text/ascii.h"

namespace host {

std::optional<std::string> Application::Get(std::string_view name) const {
  std::shared_lock lock(mutex_);
  const auto it = values_.find(text::AsciiLower(name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void Application::Set(std::string_view name, std::string value) {
  std::unique_lock lock(mutex_);
  values_[text::AsciiLower(name)] = std::move(value);
}

}  // namespace host
