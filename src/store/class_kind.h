// ClassKind: what a class (a section of a member's site) holds, as stored in wap_classes.type.
// The stored numbers are part of the site's data and never change.
#pragma once

#include <cstdint>
#include <optional>

namespace store {

enum class ClassKind : std::int64_t {
  kSingleContent = 0,  // one text, shown by showcontent
  kNews = 1,           // a list of articles, newslist and shownews
  kProducts = 2,       // the member's products, productlist
  kGuestbook = 3,      // the member's guestbook, lyb
  kCallNumber = 4,     // a click-to-call entry
};

// The kind stored as `type`; nullopt for a number no kind has (such a class is not shown).
constexpr std::optional<ClassKind> ClassKindOf(std::int64_t type) {
  if (type < 0 || type > 4) return std::nullopt;
  return static_cast<ClassKind>(type);
}

}  // namespace store
