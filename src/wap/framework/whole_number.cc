#include "wap/framework/whole_number.h"

#include "platform/host/objects/request_error.h"

namespace wap {

std::optional<std::int64_t> ParseWholeNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return negative ? -n : n;
}

std::int64_t RequireWholeNumber(const std::optional<std::string>& value, std::string_view name) {
  const std::optional<std::int64_t> n = value ? ParseWholeNumber(*value) : std::nullopt;
  if (!n) throw host::RequestError("the value of " + std::string(name) + " is not a whole number");
  return *n;
}

}  // namespace wap
