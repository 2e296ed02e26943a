// ServiceUnavailable: a request that cannot be served now because a shared resource is full (the
// password hashing queue), though it may be later. The host answers it with status 503, what() as
// a one-line reason and a Retry-After header of `retry_after`; nothing of the page is sent.
#pragma once

#include <chrono>
#include <stdexcept>

namespace host {

class ServiceUnavailable : public std::runtime_error {
 public:
  ServiceUnavailable(const std::string& reason, std::chrono::seconds retry_after)
      : std::runtime_error(reason), retry_after_(retry_after) {}

  // How long the client should wait before it asks again (at least 1 s).
  std::chrono::seconds RetryAfter() const { return retry_after_; }

 private:
  std::chrono::seconds retry_after_;
};

}  // namespace host
