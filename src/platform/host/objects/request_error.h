// RequestError: the failure of a request whose own values are at fault (a number that does not
// convert, a malformed value). The host answers it with status 400 and what() as a one-line reason;
// every other exception that reaches the host becomes a 500 with an error id.
#pragma once

#include <stdexcept>

namespace host {

class RequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace host
