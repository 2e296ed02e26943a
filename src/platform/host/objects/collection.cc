#include "platform/host/objects/collection.h"

#include "platform/text/ascii.h"
#include "platform/text/percent.h"
#include "platform/text/utf8.h"

namespace host {

Collection::Collection(std::string text, std::vector<Pair> pairs)
    : text_(std::move(text)), pairs_(std::move(pairs)) {
  by_name_.reserve(pairs_.size());
  for (const auto& [name, value] : pairs_) {
    const auto [it, added] = by_name_.try_emplace(text::AsciiLower(name), fields_.size());
    if (added) {
      fields_.push_back({name, value});
    } else {
      fields_[it->second].value.append(", ").append(value);
    }
  }
}

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

void Collection::NoteWhole() const {
  if (!source_) return;
  if (PageReads* reads = PageReads::Current()) reads->Note(*source_, {}, text_, /*whole=*/true);
}

std::vector<std::string> Collection::Keys() const {
  NoteWhole();
  std::vector<std::string> keys;
  keys.reserve(fields_.size());
  for (const Field& field : fields_) keys.push_back(field.name);
  return keys;
}

std::optional<std::string> Collection::Get(std::string_view name) const {
  std::optional<std::string> value;
  if (!fields_.empty()) {
    const auto it = by_name_.find(text::AsciiLower(name));
    if (it != by_name_.end()) value = fields_[it->second].value;
  }
  if (source_) {
    if (PageReads* reads = PageReads::Current()) reads->Note(*source_, name, value);
  }
  return value;
}

}  // namespace host
