// KeptAnswers: the integer columns of read-only statements that one connection has read,
// keyed by statement text and bound values, so that a count or a list of keys read again while the
// database is unchanged costs a lookup instead of a scan. It holds answers only; whether they are
// still true is the connection's business (it clears them when the database may have changed).
// At most `capacity` integers are kept in all; adding past that drops every answer first, and an
// answer larger than the capacity is not kept. Belongs to its connection: one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/data/param.h"

namespace data {

class KeptAnswers {
 public:
  using Integers = std::shared_ptr<const std::vector<std::int64_t>>;

  explicit KeptAnswers(std::size_t capacity) : capacity_(capacity) {}

  // The answer kept for `sql` with `params`, or null.
  Integers Find(std::string_view sql, std::span<const Param> params) const;
  // Keeps `answer` for `sql` with `params` (see the capacity above).
  void Keep(std::string_view sql, std::span<const Param> params, Integers answer);
  void Clear() noexcept;

 private:
  using Key = std::pair<std::string, Params>;
  std::size_t capacity_;
  std::size_t kept_ = 0;  // integers held in all
  std::map<Key, Integers, std::less<>> answers_;
};

}  // namespace data
