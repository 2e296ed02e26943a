#include "backoffice/call_number.h"

namespace backoffice {

bool IsCallNumber(std::string_view number) {
  if (number.empty()) return true;
  if (number.size() > 30) return false;
  bool digit = false;
  for (const char c : number) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '+' && c != '-' && c != ' ') {
      return false;
    }
  }
  return digit;
}

}  // namespace backoffice
