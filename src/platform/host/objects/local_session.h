// LocalSession: a session whose values live in the object itself, for one run of a page object
// outside a visitor's session (the command line's administration commands, tests). Thread-safe.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/host/objects/session.h"

namespace host {

class LocalSession : public Session {
 public:
  std::optional<std::string> Get(std::string_view name) const override;
  void Set(std::string_view name, std::string value) override;
  // Counts the renewals; the values stay.
  void RenewId() override;
  int Renewals() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::string> values_;  // keyed by the lower-case name
  int renewals_ = 0;
};

}  // namespace host
