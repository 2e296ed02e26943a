#include "backoffice/text_field.h"

#include "platform/text/utf8.h"

namespace backoffice {

std::string CheckText(const TextField& field, std::string_view value) {
  const std::string label(field.label);
  if (field.required && value.empty()) return label + "不能为空。";
  if (!text::IsWellFormedUtf8(value) || value.find('\0') != std::string_view::npos) {
    return label + "含有无法保存的字符。";
  }
  const std::size_t count = text::CharacterCount(value);
  if (count > static_cast<std::size_t>(field.max_chars)) {
    return label + "最多 " + std::to_string(field.max_chars) + " 个字，现在有 " +
           std::to_string(count) + " 个字；请删减后再保存（不会自动截断）。";
  }
  return "";
}

}  // namespace backoffice
