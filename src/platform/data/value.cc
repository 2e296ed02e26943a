#include "platform/data/value.h"

#include <charconv>
#include <system_error>

namespace data {

std::string Value::ToText() const {
  if (IsNull()) return {};
  if (const auto* s = std::get_if<std::string>(&v_)) return *s;
  char buf[64];
  std::to_chars_result r;
  if (const auto* n = std::get_if<std::int64_t>(&v_)) {
    r = std::to_chars(buf, buf + sizeof buf, *n);
  } else {
    // Without a format, to_chars writes the shortest text that reads back as the same double.
    r = std::to_chars(buf, buf + sizeof buf, std::get<double>(v_));
  }
  return std::string(buf, r.ptr);
}

std::optional<std::int64_t> Value::ToInteger() const {
  if (const auto* n = std::get_if<std::int64_t>(&v_)) return *n;
  const auto* s = std::get_if<std::string>(&v_);
  if (s == nullptr || s->empty()) return std::nullopt;
  const char* first = s->data();
  const char* last = first + s->size();
  // from_chars accepts a leading "-" but no "+" and no blanks: exactly the plain decimal form.
  if (*first == '-' && (s->size() == 1 || first[1] < '0' || first[1] > '9')) return std::nullopt;
  std::int64_t n = 0;
  const auto [ptr, ec] = std::from_chars(first, last, n);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return n;
}

}  // namespace data
