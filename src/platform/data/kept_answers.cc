#include "platform/data/kept_answers.h"

namespace data {

KeptAnswers::Integers KeptAnswers::Find(std::string_view sql, std::span<const Param> params) const {
  if (answers_.empty()) return nullptr;
  const auto it = answers_.find(Key(std::string(sql), Params(params.begin(), params.end())));
  return it != answers_.end() ? it->second : nullptr;
}

void KeptAnswers::Keep(std::string_view sql, std::span<const Param> params, Integers answer) {
  const std::size_t size = answer->size() + 1;
  if (size > capacity_) return;
  if (kept_ + size > capacity_) Clear();
  const auto [it, added] = answers_.try_emplace(
      Key(std::string(sql), Params(params.begin(), params.end())), std::move(answer));
  if (added) kept_ += size;
}

void KeptAnswers::Clear() noexcept {
  answers_.clear();
  kept_ = 0;
}

}  // namespace data
