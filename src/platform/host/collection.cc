#include "platform/host/collection.h"

namespace host {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes "+" and %XX of one name or value; a "%" not followed by two hex digits stays as is.
std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Replaces every byte sequence that is not well-formed UTF-8 (overlong forms, surrogates, code
// points above U+10FFFF, truncated sequences) with U+FFFD.
std::string SanitizeUtf8(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  const auto* s = reinterpret_cast<const unsigned char*>(in.data());
  const std::size_t n = in.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    }
    bool ok = len != 0 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      const unsigned char b = s[i + k];
      const unsigned char min = k == 1 ? lo : 0x80;
      const unsigned char max = k == 1 ? hi : 0xBF;
      ok = b >= min && b <= max;
    }
    if (ok) {
      out.append(in.substr(i, len));
      i += len;
    } else {
      out.append("\xEF\xBF\xBD");
      ++i;
    }
  }
  return out;
}

// `name` with its ASCII letters in lower case: the key of the name index.
std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return folded;
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // ASCII letters only, as std::tolower in the "C" locale the server runs in; inline, because
  // every lookup of a request value compares names this way.
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

Collection::Collection(std::string text, std::vector<Pair> pairs)
    : text_(std::move(text)), pairs_(std::move(pairs)) {
  by_name_.reserve(pairs_.size());
  for (const auto& [name, value] : pairs_) {
    const auto [it, added] = by_name_.try_emplace(Folded(name), fields_.size());
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
      pairs.emplace_back(SanitizeUtf8(PercentDecode(name)), SanitizeUtf8(PercentDecode(value)));
    }
    start = end + 1;
  }
  return Collection(std::string(text), std::move(pairs));
}

std::vector<std::string> Collection::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(fields_.size());
  for (const Field& field : fields_) keys.push_back(field.name);
  return keys;
}

std::optional<std::string> Collection::Get(std::string_view name) const {
  if (fields_.empty()) return std::nullopt;
  const auto it = by_name_.find(Folded(name));
  if (it == by_name_.end()) return std::nullopt;
  return fields_[it->second].value;
}

}  // namespace host
