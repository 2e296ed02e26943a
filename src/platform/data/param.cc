#include "platform/data/param.h"

namespace data {

std::string DescribeParams(std::span<const Param> params) {
  std::string line;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (i > 0) line.append(", ");
    const Param& p = params[i];
    if (std::holds_alternative<std::monostate>(p)) {
      line.append("NULL");
    } else if (const auto* n = std::get_if<std::int64_t>(&p)) {
      line.append(std::to_string(*n));
    } else {
      line.push_back('\'');
      for (const char c : std::get<std::string>(p)) {
        if (c == '\'') line.push_back('\'');
        line.push_back(c);
      }
      line.push_back('\'');
    }
  }
  return line;
}

}  // namespace data
