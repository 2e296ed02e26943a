#include "wap/admin/member_name.h"

#include <cstddef>

#include "platform/text/utf8.h"
#include "wap/framework/folder_name.h"

namespace wap {

bool IsSafeMemberName(std::string_view name) {
  if (!IsPlainFolderName(name) || name.front() == '.') return false;
  for (std::size_t i = 0; i < name.size();) {
    const char32_t c = text::NextCodePoint(name, i);
    // An unreadable byte comes back as the replacement character, which no name needs.
    if (c == text::kReplacementChar || c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
    switch (c) {
      case '"':
      case '<':
      case '>':
      case '%':
        return false;
      default:
        break;
    }
  }
  return true;
}

}  // namespace wap
