// Session: values kept for one visitor across requests, by name without regard to letter case.
// An interface, so that a shared store can replace the in-process one. Implementations are
// thread-safe: two requests of one visitor may run at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace host {

class Session {
 public:
  virtual ~Session() = default;

  // The value stored under `name`; std::nullopt when never set (or when the request has no
  // session). Reading never creates a session.
  virtual std::optional<std::string> Get(std::string_view name) const = 0;

  // Stores `value` under `name`. The first store of a non-empty value in a request without a
  // session creates one and makes the host send its cookie; an empty one then stores nothing.
  virtual void Set(std::string_view name, std::string value) = 0;

  // Gives the session a new id, keeping its values; the old id stops working. Called after a login
  // so that an id planted before it (session fixation) is worthless. Creates the session if none.
  virtual void RenewId() = 0;
};

}  // namespace host
