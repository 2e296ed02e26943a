// Value: one field value of a row: NULL, a whole number, a real number or text. NULL is distinct
// from empty text and from 0. Times arrive as text in the form YYYY-MM-DD HH:MM:SS.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace data {

class Value {
 public:
  Value() = default;  // NULL
  explicit Value(std::int64_t n) : v_(n) {}
  explicit Value(double d) : v_(d) {}
  explicit Value(std::string s) : v_(std::move(s)) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsInteger() const { return std::holds_alternative<std::int64_t>(v_); }
  bool IsReal() const { return std::holds_alternative<double>(v_); }
  bool IsText() const { return std::holds_alternative<std::string>(v_); }

  // The text form: "" for NULL, plain decimal for a whole number, the shortest text that reads
  // back as the same double for a real number, the text itself for text.
  std::string ToText() const;

  // The whole number this value holds: an integer as is, a text of plain decimal digits (with an
  // optional "-") converted; std::nullopt otherwise (NULL, real, other text).
  std::optional<std::int64_t> ToInteger() const;

  bool operator==(const Value& other) const = default;

 private:
  std::variant<std::monostate, std::int64_t, double, std::string> v_;
};

}  // namespace data
