#include "platform/host/collection.h"

#include "platform/text/ascii.h"
#include "platform/text/percent.h"
#include "platform/text/utf8.h"

namespace host {

Collection::Collection(std::string text, std::vector<Pair> pairs)
    : text_(std::move(text)), pairs_(std::move(pairs)) {}

Collection Collection::ParseUrlEncoded(std::string_view text) {
  std::vector<Pair> pairs;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view piece = text.substr(start, end - start);
    if (!piece.empty()) {
      const std::size_t eq = piece.find('=');
      const std::string_view name = piece.substr(0, eq);
      const std::string_view value =
          eq == std::string_view::npos ? std::string_view{} : piece.substr(eq + 1);
      pairs.emplace_back(text::ReplaceIllFormedUtf8(text::PercentDecodeFormValue(name)),
                         text::ReplaceIllFormedUtf8(text::PercentDecodeFormValue(value)));
    }
    start = end + 1;
  }
  return Collection(std::string(text), std::move(pairs));
}

std::vector<std::string> Collection::Keys() const {
  std::vector<std::string> keys;
  for (const auto& [name, value] : pairs_) {
    bool seen = false;
    for (const auto& k : keys) seen = seen || text::EqualsIgnoreCase(k, name);
    if (!seen) keys.push_back(name);
  }
  return keys;
}

std::optional<std::string> Collection::Get(std::string_view name) const {
  std::optional<std::string> result;
  for (const auto& [key, value] : pairs_) {
    if (!text::EqualsIgnoreCase(key, name)) continue;
    if (result) {
      result->append(", ").append(value);
    } else {
      result = value;
    }
  }
  return result;
}

}  // namespace host
