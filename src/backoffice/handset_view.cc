#include "backoffice/handset_view.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace backoffice {
namespace {

// What each WML element becomes; an element not listed writes nothing of its own (its text and
// children still show unless it is dropped whole).
struct ElementView {
  std::string_view wml;
  std::string_view html;  // "" writes no tag
};
constexpr std::array<ElementView, 18> kElements = {{
    {"p", "p"},
    {"br", "br"},
    {"b", "b"},
    {"i", "i"},
    {"u", "u"},
    {"em", "em"},
    {"strong", "strong"},
    {"big", "big"},
    {"small", "small"},
    {"table", "table"},
    {"tr", "tr"},
    {"td", "td"},
    {"a", "a"},
    {"anchor", "a"},
    {"img", "img"},
    {"select", "select"},
    {"option", "option"},
    {"fieldset", "fieldset"},
}};
// Elements whose content a handset does not show as text.
constexpr std::array<std::string_view, 8> kDropped = {"head",   "template",  "onevent", "timer",
                                                      "setvar", "postfield", "go",      "access"};

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == ':';
}

struct Tag {
  std::string name;
  bool closing = false;
  bool empty = false;                                           // <br/>
  std::vector<std::pair<std::string, std::string>> attributes;  // values as written (escaped)
};

// The tag in `text` (from just after '<' to just before '>'); std::nullopt for a declaration, a
// comment or a processing instruction.
std::optional<Tag> ReadTag(std::string_view text) {
  if (text.empty() || text[0] == '!' || text[0] == '?') return std::nullopt;
  Tag tag;
  std::size_t i = 0;
  if (text[0] == '/') tag.closing = true, i = 1;
  while (i < text.size() && IsNameChar(text[i])) tag.name.push_back(text[i++]);
  if (!text.empty() && text.back() == '/') tag.empty = true, text.remove_suffix(1);
  while (i < text.size()) {
    while (i < text.size() && !IsNameChar(text[i])) ++i;
    std::string name;
    while (i < text.size() && IsNameChar(text[i])) name.push_back(text[i++]);
    while (i < text.size() && (text[i] == ' ' || text[i] == '=')) ++i;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) break;
    const char quote = text[i++];
    const std::size_t end = text.find(quote, i);
    if (end == std::string_view::npos) break;
    tag.attributes.emplace_back(std::move(name), std::string(text.substr(i, end - i)));
    i = end + 1;
  }
  return tag;
}

// The value of attribute `name`, as written, ready for a double-quoted HTML attribute.
std::string Attribute(const Tag& tag, std::string_view name) {
  for (const auto& [n, v] : tag.attributes) {
    if (n != name) continue;
    std::string value;
    for (const char c : v) c == '"' ? value += "&quot;" : value += c;
    return value;
  }
  return "";
}

// A picture's address, when it is a path of this site (absolute or relative); "" otherwise.
std::string SiteLink(const std::string& href) {
  const std::size_t colon = href.find(':');
  if (colon != std::string::npos && colon < href.find_first_of("/?#")) return "";
  if (href.starts_with("//")) return "";
  return href;
}

// WML writes a dollar sign as "$$"; a lone one starts a variable, which shows its value (none).
std::string Text(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '$' && i + 1 < text.size() && text[i + 1] == '$') ++i;
    shown.push_back(text[i]);
  }
  return shown;
}

}  // namespace

std::string HandsetView(std::string_view wml, const HandsetLink& link) {
  std::string html;
  int dropped = 0;  // depth inside elements whose content shows nothing
  std::size_t at = 0;
  while (at < wml.size()) {
    const std::size_t open = wml.find('<', at);
    if (dropped == 0) html += Text(wml.substr(at, open - at));
    if (open == std::string_view::npos) break;
    const std::size_t close = wml.find('>', open);
    if (close == std::string_view::npos) break;
    at = close + 1;
    const std::optional<Tag> tag = ReadTag(wml.substr(open + 1, close - open - 1));
    if (!tag) continue;
    if (std::find(kDropped.begin(), kDropped.end(), tag->name) != kDropped.end()) {
      if (!tag->empty) dropped += tag->closing ? -1 : 1;
      dropped = std::max(dropped, 0);
      continue;
    }
    if (dropped > 0) continue;
    if (tag->name == "card") {
      html += tag->closing ? "</section>\n"
                           : "<section class=\"card\"><h2>" + Attribute(*tag, "title") + "</h2>\n";
      continue;
    }
    if (tag->name == "do" && !tag->closing) {
      const std::string label = Attribute(*tag, "label");
      html += "<button type=\"button\" disabled=\"disabled\">" + (label.empty() ? "确定" : label) +
              "</button>";
      if (!tag->empty) ++dropped;
      continue;
    }
    if (tag->name == "input" && !tag->closing) {
      html += "<input type=\"" +
              std::string(Attribute(*tag, "type") == "password" ? "password" : "text") +
              "\" value=\"" + Attribute(*tag, "value") + "\" aria-label=\"" +
              Attribute(*tag, "name") + "\" disabled=\"disabled\" />";
      continue;
    }
    const auto element = std::find_if(kElements.begin(), kElements.end(),
                                      [&](const ElementView& e) { return e.wml == tag->name; });
    if (element == kElements.end() || element->html.empty()) continue;
    const std::string name(element->html);
    if (tag->closing) {
      if (name != "br" && name != "img") html += "</" + name + ">";
      continue;
    }
    html += "<" + name;
    if (name == "a") {
      if (const std::string href = link(Attribute(*tag, "href")); !href.empty()) {
        html += " href=\"" + href + "\"";
      }
    } else if (name == "img") {
      if (const std::string src = SiteLink(Attribute(*tag, "src")); !src.empty()) {
        html += " src=\"" + src + "\"";
      }
      html += " alt=\"" + Attribute(*tag, "alt") + "\"";
    } else if (name == "select") {
      html += " disabled=\"disabled\"";
    }
    const bool is_void = name == "br" || name == "img";
    html += is_void ? " />" : ">";
    if (tag->empty && !is_void) html += "</" + name + ">";
  }
  return html;
}

}  // namespace backoffice
