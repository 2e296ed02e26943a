// Splitting a page that is over its byte limit (deck_budget.h) into parts, each a whole deck of
// its own: the page's long part (a text, or a list of lines) is cut into pieces, and each part
// holds the rest of the page around one piece, with links to the previous and next parts. Nothing
// of the long part is lost or repeated, no part is empty, and no cut falls inside a UTF-8
// character, a reference or a tag: an inline element open at a cut is closed at the end of one
// piece and opened again at the start of the next. Pure; thread-safe.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wap {

// What the long part of a page is.
enum class LongPartKind {
  // Inline markup inside one open block element (the paragraph of an article): text, references,
  // and elements without block content; the part links follow the piece inside the same element.
  kText,
  // Whole lines, each ending in CR LF (one paragraph per class or article): cut between lines
  // only; the part links follow in a paragraph of their own.
  kList,
};

// The page as three markups: `before` + `long_part` + `after` is the whole page, closing lines
// included. `address` is the page's own address, ready for an attribute value, to which a part
// link appends "&amp;part=N".
struct SplittablePage {
  std::string_view before;
  std::string_view long_part;
  std::string_view after;
  LongPartKind kind = LongPartKind::kText;
  std::string_view address;
};

// The size of a whole page in the unit its limit counts (compiled WML bytes, or markup bytes).
using PageMeasure = std::function<std::size_t(std::string_view)>;

// The page cut into parts so that each part, measured by `measure`, is within `limit`, as far as
// the page allows: a part always holds at least one character of the long part, and at least a
// quarter of `limit` in markup bytes of it when the rest of the page leaves less room than that.
// Returns the whole decks of the parts, in order; one part (the page unchanged) when the long part
// is empty or the page fits.
std::vector<std::string> SplitPage(const SplittablePage& page, std::size_t limit,
                                   const PageMeasure& measure);

}  // namespace wap
