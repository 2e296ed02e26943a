#include "wap/framework/owner_markup.h"

#include <array>
#include <optional>
#include <vector>

#include "platform/text/utf8.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/xml_escape.h"

namespace wap {
namespace {

constexpr std::array<std::string_view, 7> kInlineElements = {"b",      "i",   "u",    "em",
                                                             "strong", "big", "small"};

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsAllowedElement(std::string_view name) {
  if (name == "br") return true;
  for (const std::string_view e : kInlineElements) {
    if (name == e) return true;
  }
  return false;
}

// A scanner over one owner text; each Read… consumes what it accepts and
// returns false on anything else.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool Run() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      bool ok = false;
      if (c == '<') {
        ok = ReadTag();
      } else if (open_.size() > 0 && open_.back() == "br") {
        ok = false;  // a br element holds nothing
      } else if (c == '&') {
        ok = ReadReference();
      } else {
        ok = ReadChar();
      }
      if (!ok) return false;
    }
    return open_.empty();
  }

 private:
  std::string_view Name() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= 'a' && text_[pos_] <= 'z') ++pos_;
    return text_.substr(start, pos_ - start);
  }

  void SkipSpace() {
    while (pos_ < text_.size() && IsXmlSpace(text_[pos_])) ++pos_;
  }

  bool Consume(std::string_view s) {
    if (text_.substr(pos_, s.size()) != s) return false;
    pos_ += s.size();
    return true;
  }

  bool ReadTag() {
    ++pos_;  // '<'
    if (Consume("/")) {
      const std::string_view name = Name();
      SkipSpace();
      if (!Consume(">") || open_.empty() || open_.back() != name) return false;
      open_.pop_back();
      return true;
    }
    if (open_.size() > 0 && open_.back() == "br") return false;
    const std::string_view name = Name();
    if (!IsAllowedElement(name)) return false;
    SkipSpace();
    if (Consume("/>")) return true;
    if (!Consume(">")) return false;
    open_.push_back(name);
    return true;
  }

  bool ReadReference() {
    const std::size_t at = pos_;
    ++pos_;  // '&'
    for (const std::string_view entity : {"amp;", "lt;", "gt;", "quot;", "apos;"}) {
      if (Consume(entity)) return true;
    }
    const std::optional<NumericCharRef> ref = ReadNumericCharRef(text_.substr(at));
    if (!ref || !text::IsXmlChar(ref->value)) return false;
    pos_ = at + ref->length;
    return true;
  }

  bool ReadChar() {
    if (text_.substr(pos_, 3) == "]]>") return false;
    const std::size_t start = pos_;
    const char32_t c = text::NextCodePoint(text_, pos_);
    if (c == text::kReplacementChar && pos_ - start != 3) return false;  // not well-formed UTF-8
    return text::IsXmlChar(c);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::vector<std::string_view> open_;
};

}  // namespace

bool IsOwnerMarkup(std::string_view utf8) { return Scanner(utf8).Run(); }

std::string OwnerText(std::string_view utf8) {
  return IsOwnerMarkup(utf8) ? std::string(utf8) : EscapeXmlText(utf8);
}

}  // namespace wap
