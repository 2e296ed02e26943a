// The text fields of the back office's editors: each has a limit in characters and a sentence
// that tells the owner what the handset makes of the text. A text over its limit is refused with
// a message, never cut. Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace backoffice {

struct TextField {
  std::string_view name;    // the form field
  std::string_view label;   // what the owner calls it
  int max_chars = 0;        // characters (code points), not bytes
  std::string_view format;  // what formatting the handset page keeps
  bool required = false;
};

// The formats: plain text with no line breaks kept; the owner markup of product descriptions and
// guestbook replies; a name or password (one line, no formatting).
inline constexpr std::string_view kPlainFormat = "手机上按纯文字显示，换行不保留。";
inline constexpr std::string_view kMarkupFormat =
    "可用 <b> <i> <u> <em> <strong> <big> <small>（不带属性，须成对）和 <br/> 换行；"
    "含其他标记或标记不成对时，整段按文字原样显示。回车换行不保留。";
inline constexpr std::string_view kLineFormat = "一行文字，不支持格式。";

// "" when `value` fits `field`; otherwise the message to show: the value is empty but required,
// longer than the limit (with its length and the limit), or holds a NUL or ill-formed UTF-8.
std::string CheckText(const TextField& field, std::string_view value);

}  // namespace backoffice
