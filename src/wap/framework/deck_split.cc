#include "wap/framework/deck_split.h"

#include <algorithm>
#include <string>
#include <vector>

namespace wap {
namespace {

// One unit of the long part that a cut never enters.
struct Token {
  enum Kind { kText, kOpen, kClose, kEmpty };
  std::string_view markup;
  Kind kind = kText;
  std::string_view name;  // element name of a tag
};

std::string_view TagName(std::string_view tag) {
  std::size_t at = tag.starts_with("</") ? 2 : 1;
  std::size_t end = at;
  while (end < tag.size() && tag[end] != ' ' && tag[end] != '>' && tag[end] != '/' &&
         tag[end] != '\t' && tag[end] != '\r' && tag[end] != '\n') {
    ++end;
  }
  return tag.substr(at, end - at);
}

// The end of the tag starting at `at` (past its '>'), quotes respected.
std::size_t TagEnd(std::string_view s, std::size_t at) {
  char quote = 0;
  for (std::size_t i = at + 1; i < s.size(); ++i) {
    if (quote) {
      if (s[i] == quote) quote = 0;
    } else if (s[i] == '"' || s[i] == '\'') {
      quote = s[i];
    } else if (s[i] == '>') {
      return i + 1;
    }
  }
  return s.size();
}

std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::vector<Token> TextTokens(std::string_view s) {
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t end;
    Token t;
    if (s[i] == '<') {
      end = TagEnd(s, i);
      const std::string_view tag = s.substr(i, end - i);
      t.kind = tag.starts_with("</") ? Token::kClose
               : tag.ends_with("/>") ? Token::kEmpty
                                     : Token::kOpen;
      t.name = TagName(tag);
    } else if (s[i] == '&') {
      end = std::min(s.find(';', i), s.size() - 1) + 1;
    } else if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      end = i + 2;
    } else {
      end = std::min(i + Utf8Length(static_cast<unsigned char>(s[i])), s.size());
    }
    t.markup = s.substr(i, end - i);
    tokens.push_back(t);
    i = end;
  }
  return tokens;
}

std::vector<Token> ListTokens(std::string_view s) {
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t eol = s.find("\r\n", i);
    const std::size_t end = eol == std::string_view::npos ? s.size() : eol + 2;
    tokens.push_back({s.substr(i, end - i), Token::kText, {}});
    i = end;
  }
  return tokens;
}

// The open tags (their markup) at the start of token `at`, outermost first.
void AdvanceOpen(const std::vector<Token>& tokens, std::size_t from, std::size_t to,
                 std::vector<const Token*>& open) {
  for (std::size_t i = from; i < to; ++i) {
    if (tokens[i].kind == Token::kOpen) {
      open.push_back(&tokens[i]);
    } else if (tokens[i].kind == Token::kClose && !open.empty()) {
      open.pop_back();
    }
  }
}

// True when a cut after this token reads well: a line end, a break, a space, end of a sentence.
bool IsBreakAfter(const Token& t) {
  if (t.kind == Token::kEmpty) return t.name == "br";
  if (t.kind != Token::kText) return false;
  static constexpr std::string_view kBreaks[] = {
      "\r\n",     " ",        "。",       "，",       "！",       "？",       "；",   "、",
      "&#x3002;", "&#xFF0C;", "&#xFF01;", "&#xFF1F;", "&#xFF1B;", "&#x3001;", "&#xA;"};
  return std::find(std::begin(kBreaks), std::end(kBreaks), t.markup) != std::end(kBreaks);
}

class Splitter {
 public:
  explicit Splitter(const SplittablePage& page) : page_(page) {
    tokens_ =
        page.kind == LongPartKind::kText ? TextTokens(page.long_part) : ListTokens(page.long_part);
  }

  std::size_t TokenCount() const { return tokens_.size(); }

  // The deck of the piece [from, to) with part links for part `part` of `parts`; `open` holds the
  // tags open at `from`.
  std::string Deck(std::size_t from, std::size_t to, const std::vector<const Token*>& open,
                   int part, int parts) const {
    std::string deck(page_.before);
    for (const Token* t : open) deck.append(t->markup);
    for (std::size_t i = from; i < to; ++i) deck.append(tokens_[i].markup);
    std::vector<const Token*> still_open = open;
    AdvanceOpen(tokens_, from, to, still_open);
    for (auto it = still_open.rbegin(); it != still_open.rend(); ++it) {
      deck.append("</").append((*it)->name).append(">");
    }
    deck.append(PartLinks(part, parts));
    deck.append(page_.after);
    return deck;
  }

  std::size_t MarkupBytes(std::size_t from, std::size_t to) const {
    std::size_t bytes = 0;
    for (std::size_t i = from; i < to; ++i) bytes += tokens_[i].markup.size();
    return bytes;
  }

  const Token& At(std::size_t i) const { return tokens_[i]; }
  const std::vector<Token>& Tokens() const { return tokens_; }

 private:
  std::string PartLink(int part, std::string_view label) const {
    std::string link = "<a href=\"";
    link.append(page_.address).append("&amp;part=").append(std::to_string(part)).append("\">");
    return link.append(label).append("</a>");
  }

  // The links of part `part` of `parts`: previous, "part/parts", next.
  std::string PartLinks(int part, int parts) const {
    std::string links;
    if (part > 1) links.append(PartLink(part - 1, "上一屏")).append(" ");
    links.append(std::to_string(part)).append("/").append(std::to_string(parts));
    if (part < parts) links.append(" ").append(PartLink(part + 1, "下一屏"));
    return page_.kind == LongPartKind::kText ? "<br/>" + links : "<p>" + links + "</p>\r\n";
  }

  const SplittablePage& page_;
  std::vector<Token> tokens_;
};

// Part numbers that no real part link is longer than, distinct so that they never share a string.
constexpr int kWidestPrevious = 99998;
constexpr int kWidestCount = 99999;

}  // namespace

std::vector<std::string> SplitPage(const SplittablePage& page, std::size_t limit,
                                   const PageMeasure& measure) {
  const std::string whole = std::string(page.before).append(page.long_part).append(page.after);
  if (page.long_part.empty() || measure(whole) <= limit) return {whole};

  const Splitter splitter(page);
  const std::size_t n = splitter.TokenCount();
  // Cut points: each piece [cuts[k], cuts[k+1]).
  std::vector<std::size_t> cuts{0};
  std::vector<const Token*> open;
  std::vector<std::vector<const Token*>> open_at{open};
  while (cuts.back() < n) {
    const std::size_t from = cuts.back();
    auto fits = [&](std::size_t to) {
      // The widest links a middle part can carry: previous and next, five-digit numbers.
      return measure(splitter.Deck(from, to, open, kWidestPrevious, kWidestCount)) <= limit;
    };
    std::size_t to;
    if (!fits(from + 1)) {
      // The rest of the page leaves (almost) no room: a quarter of the limit of the text anyway.
      to = from + 1;
      while (to < n && splitter.MarkupBytes(from, to + 1) <= limit / 4) ++to;
    } else if (fits(n)) {
      to = n;
    } else {
      std::size_t good = from + 1, bad = n;  // fits(good), !fits(bad)
      while (bad - good > 1) {
        const std::size_t mid = good + (bad - good) / 2;
        (fits(mid) ? good : bad) = mid;
      }
      to = good;
      // Prefer a cut after a line end, a break, a space or a sentence's end nearby.
      for (std::size_t back = to; back > from + 1 && to - back < 24; --back) {
        if (IsBreakAfter(splitter.At(back - 1))) {
          to = back;
          break;
        }
      }
    }
    AdvanceOpen(splitter.Tokens(), from, to, open);
    cuts.push_back(to);
    open_at.push_back(open);
  }

  const int parts = static_cast<int>(cuts.size()) - 1;
  std::vector<std::string> decks;
  decks.reserve(parts);
  for (int k = 0; k < parts; ++k) {
    decks.push_back(splitter.Deck(cuts[k], cuts[k + 1], open_at[k], k + 1, parts));
  }
  return decks;
}

}  // namespace wap
