#include "wap/framework/deck_budget.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/text/utf8.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/whole_number.h"

namespace wap {
namespace {

// WML 1.1 elements and attributes: each has a one-byte token in code page 0.
constexpr std::array<std::string_view, 36> kElements = {
    "a",         "anchor", "access", "b",        "big",      "br",     "card",    "do",     "em",
    "fieldset",  "go",     "head",   "i",        "img",      "input",  "meta",    "noop",   "p",
    "postfield", "pre",    "prev",   "onevent",  "optgroup", "option", "refresh", "select", "small",
    "strong",    "table",  "td",     "template", "timer",    "tr",     "u",       "setvar", "wml"};
constexpr std::array<std::string_view, 45> kAttributes = {
    "accept-charset", "align",         "alt",
    "class",          "columns",       "content",
    "domain",         "emptyok",       "format",
    "forua",          "height",        "href",
    "hspace",         "http-equiv",    "id",
    "ivalue",         "iname",         "label",
    "localsrc",       "maxlength",     "method",
    "mode",           "multiple",      "name",
    "newcontext",     "onpick",        "onenterbackward",
    "onenterforward", "ontimer",       "optional",
    "path",           "scheme",        "sendreferer",
    "size",           "src",           "ordered",
    "tabindex",       "title",         "type",
    "value",          "vspace",        "width",
    "xml:lang",       "cache-control", "enctype"};
// Attribute values a compiler may replace by a one-byte token wherever they stand in a value; a
// value holding one is written in pieces and never shared through the string table.
constexpr std::array<std::string_view, 27> kValueTokens = {
    ".com/",          ".edu/",   ".net/",   ".org/",    "accept",
    "bottom",         "clear",   "delete",  "help",     "http://",
    "https://",       "middle",  "nowrap",  "onpick",   "onenterbackward",
    "onenterforward", "ontimer", "options", "password", "reset",
    "text",           "top",     "unknown", "wrap",     "www.",
    "center",         "right"};
// Values of align that share one token with the attribute name.
constexpr std::array<std::string_view, 6> kAlignValues = {"bottom", "center", "left",
                                                          "middle", "right",  "top"};

// A string that is shared through the string table once it recurs and is this long.
constexpr std::size_t kShortestSharedString = 4;

bool Contains(const auto& list, std::string_view item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimXmlSpace(std::string_view s) {
  while (!s.empty() && IsXmlSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsXmlSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Bytes of a multi-byte unsigned integer.
std::size_t MbBytes(std::size_t n) {
  std::size_t bytes = 1;
  while (n >= 128) {
    n >>= 7;
    ++bytes;
  }
  return bytes;
}

// `markup` with its references resolved to UTF-8 (as the XML parser in front of a compiler does);
// line ends normalized to LF.
std::string Resolve(std::string_view markup) {
  std::string out;
  out.reserve(markup.size());
  for (std::size_t i = 0; i < markup.size();) {
    const char c = markup[i];
    if (c == '&') {
      if (auto ref = ReadNumericCharRef(markup.substr(i))) {
        const char32_t v = ref->value;
        text::AppendUtf8(out, (v >= 0xD800 && v <= 0xDFFF) ? text::kReplacementChar : v);
        i += ref->length;
        continue;
      }
      static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
          {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}}};
      bool done = false;
      for (const auto& [name, ch] : kEntities) {
        if (markup.substr(i, name.size()) == name) {
          out.push_back(ch);
          i += name.size();
          done = true;
          break;
        }
      }
      if (done) continue;
    }
    if (c == '\r' && i + 1 < markup.size() && markup[i + 1] == '\n') {
      ++i;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

// One string of the compiled deck: a text node or an attribute value.
struct DeckString {
  std::string value;
  bool shareable;  // may go to the string table when it recurs
};

// Counts the token bytes of `deck` into `tokens` and collects its strings.
void Scan(std::string_view deck, std::size_t& tokens, std::vector<DeckString>& strings) {
  std::string pending_text;
  auto flush_text = [&] {
    const std::string resolved = Resolve(pending_text);
    const std::string_view trimmed = TrimXmlSpace(resolved);
    if (!trimmed.empty()) strings.push_back({std::string(trimmed), true});
    pending_text.clear();
  };
  std::size_t i = 0;
  while (i < deck.size()) {
    if (deck[i] != '<') {
      const std::size_t next = std::min(deck.find('<', i), deck.size());
      pending_text.append(deck.substr(i, next - i));
      i = next;
      continue;
    }
    flush_text();
    if (deck.compare(i, 4, "<!--") == 0) {
      const std::size_t end = deck.find("-->", i);
      i = end == std::string_view::npos ? deck.size() : end + 3;
      continue;
    }
    if (deck.compare(i, 2, "<?") == 0 || deck.compare(i, 2, "<!") == 0) {
      const std::size_t end = deck.find('>', i);
      i = end == std::string_view::npos ? deck.size() : end + 1;
      continue;
    }
    if (deck.compare(i, 2, "</") == 0) {
      tokens += 1;  // END of the element's content
      const std::size_t end = deck.find('>', i);
      i = end == std::string_view::npos ? deck.size() : end + 1;
      continue;
    }
    // A start tag or an empty element.
    std::size_t j = i + 1;
    while (j < deck.size() && !IsXmlSpace(deck[j]) && deck[j] != '>' && deck[j] != '/') ++j;
    const std::string_view name = deck.substr(i + 1, j - i - 1);
    tokens += Contains(kElements, name) ? 1 : 1 + 3 + name.size() + 1;
    bool has_attributes = false;
    while (j < deck.size()) {
      while (j < deck.size() && IsXmlSpace(deck[j])) ++j;
      if (j >= deck.size()) break;
      if (deck[j] == '>') {
        ++j;
        break;
      }
      if (deck[j] == '/') {
        ++j;
        continue;
      }
      const std::size_t name_at = j;
      while (j < deck.size() && deck[j] != '=' && !IsXmlSpace(deck[j]) && deck[j] != '>') ++j;
      const std::string_view attribute = deck.substr(name_at, j - name_at);
      while (j < deck.size() && (deck[j] == '=' || IsXmlSpace(deck[j]))) ++j;
      std::string value;
      if (j < deck.size() && (deck[j] == '"' || deck[j] == '\'')) {
        const char quote = deck[j];
        const std::size_t end = std::min(deck.find(quote, j + 1), deck.size());
        value = Resolve(deck.substr(j + 1, end - j - 1));
        j = std::min(end + 1, deck.size());
      }
      has_attributes = true;
      if (attribute == "align" && Contains(kAlignValues, value)) {
        tokens += 1;
        continue;
      }
      tokens += Contains(kAttributes, attribute) ? 1 : 1 + 3 + attribute.size() + 1;
      // href and src share one token with a leading "http://" or "https://"; the rest of such a
      // value is never shared.
      bool prefixed = false;
      if (attribute == "href" || attribute == "src") {
        for (std::string_view scheme : {"http://", "https://"}) {
          if (value.starts_with(scheme)) {
            value.erase(0, scheme.size());
            prefixed = true;
            break;
          }
        }
      }
      if (value.empty()) {
        tokens += 2;
        continue;
      }
      const bool tokenized = prefixed || std::any_of(kValueTokens.begin(), kValueTokens.end(),
                                                     [&](std::string_view t) {
                                                       return value.find(t) != std::string::npos;
                                                     });
      strings.push_back({std::move(value), !tokenized});
    }
    if (has_attributes) tokens += 1;  // END of the attribute list
    i = j;
  }
  flush_text();
}

}  // namespace

std::size_t CompiledWmlBytes(std::string_view deck) {
  std::size_t tokens = 0;
  std::vector<DeckString> strings;
  Scan(deck, tokens, strings);

  std::unordered_map<std::string_view, std::size_t> uses;
  for (const DeckString& s : strings) {
    if (s.shareable && s.value.size() >= kShortestSharedString) ++uses[s.value];
  }
  std::size_t table = 0;
  for (const auto& [value, count] : uses) {
    if (count >= 2) table += value.size() + 1;
  }
  const std::size_t reference = 1 + MbBytes(table);
  std::size_t body = tokens;
  for (const DeckString& s : strings) {
    const auto it = uses.find(s.value);
    const bool shared = s.shareable && it != uses.end() && it->second >= 2;
    body += shared ? reference : s.value.size() + 2;
  }
  // Version, public identifier, charset, the table's length and the table.
  return 3 + MbBytes(table) + table + body;
}

namespace {

// A declared or configured limit; nullopt when it is to be ignored.
std::optional<std::size_t> ReadLimit(std::string_view text) {
  const std::optional<std::int64_t> n = ParseWholeNumber(text);
  if (!n || *n < 1 || *n > static_cast<std::int64_t>(kLargestDeckBytes)) return std::nullopt;
  return std::max(static_cast<std::size_t>(*n), kSmallestDeckBytes);
}

}  // namespace

std::size_t PageByteLimit(const host::Request& request, const host::Application& application,
                          bool wml) {
  if (wml) {
    for (std::string_view header : {"HTTP_X_WAP_CLIENT_SDU_SIZE", "HTTP_X_UP_DEVCAP_MAX_PDU"}) {
      if (auto declared = ReadLimit(request.ServerVariable(header))) return *declared;
    }
  }
  const std::optional<std::string> configured =
      application.Get(wml ? kWmlDeckBytesSetting : kXhtmlPageBytesSetting);
  if (configured) {
    if (auto limit = ReadLimit(*configured)) return *limit;
  }
  return wml ? kDefaultWmlDeckBytes : kDefaultXhtmlPageBytes;
}

}  // namespace wap
