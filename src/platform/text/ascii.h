// ASCII text: trimming blanks, and lower-casing and comparing names without
// regard to case, as the "C" locale the server runs in does it. Only A–Z fold;
// every other byte (UTF-8 included) compares as it is, so "É" and "é" stay
// different. Pure; thread-safe. Inline: every lookup of a request value, a
// column or a setting compares names this way.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// `c` with A–Z lowered.
constexpr char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// `s` with A–Z lowered.
inline std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = AsciiLower(c);
  return out;
}

// True when `a` and `b` are equal ignoring ASCII letter case.
constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// True when `s` begins with `prefix`, ignoring ASCII letter case.
constexpr bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// True when `s` ends with `suffix`, ignoring ASCII letter case.
constexpr bool EndsWithIgnoreCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && EqualsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

// `s` without the spaces and tabs at either end (the blanks of HTTP headers and
// of settings).
constexpr std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace text
