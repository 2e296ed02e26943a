// DataError: a failure of the data-access layer. what() is the description text: the engine's own
// message for engine failures (the primary message only, never a quote of the statement), or a
// plain sentence for misuse (a recordset read past its end, an unknown field).
#pragma once

#include <stdexcept>

namespace data {

class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace data
