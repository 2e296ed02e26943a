#include "platform/host/application.h"

#include <cctype>
#include <mutex>

namespace host {
namespace {

std::string Lower(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

}  // namespace

std::optional<std::string> Application::Get(std::string_view name) const {
  std::shared_lock lock(mutex_);
  const auto it = values_.find(Lower(name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void Application::Set(std::string_view name, std::string value) {
  std::unique_lock lock(mutex_);
  values_[Lower(name)] = std::move(value);
}

}  // namespace host
