#include "wap/framework/wml_dollars.h"

#include "wap/framework/char_refs.h"

namespace wap {

std::string WmlDollars(std::string_view markup) {
  std::string out;
  out.reserve(markup.size());
  for (std::size_t pos = 0; pos < markup.size();) {
    if (markup[pos] == '$') {
      out.append("$$");
      ++pos;
    } else if (const auto ref = ReadNumericCharRef(markup.substr(pos)); ref && ref->value == '$') {
      out.append("$$");
      pos += ref->length;
    } else {
      out.push_back(markup[pos++]);
    }
  }
  return out;
}

}  // namespace wap
