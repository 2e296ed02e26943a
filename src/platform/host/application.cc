#include "platform/host/application.h"

#include <mutex>

namespace host {
namespace {

std::string Lower(std::string_view name) {
  std::string key(name);
  // ASCII letters only, as std::tolower in the "C" locale the server runs in.
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
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
