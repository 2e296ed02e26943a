#include "platform/text/path.h"

namespace text {

std::optional<std::vector<std::string>> ApplyPathParts(std::vector<std::string> parts,
                                                       std::string_view path,
                                                       std::string_view separators) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of(separators, start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part == "..") {
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    start = end + 1;
  }
  return parts;
}

}  // namespace text
