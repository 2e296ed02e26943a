// Application: process-wide values shared by every request until the server stops, by name
// without regard to letter case. Thread-safe.
#pragma once

#include <map>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>

namespace host {

class Application {
 public:
  // The value stored under `name`; std::nullopt when never set.
  std::optional<std::string> Get(std::string_view name) const;
  void Set(std::string_view name, std::string value);

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::string, std::string> values_;  // keyed by the lower-case name
};

}  // namespace host
