// UTF-8: reading it one character at a time, checking and repairing it, writing it, and the
// characters XML 1.0 allows. Well-formed means no overlong forms, no encoded surrogates, nothing
// above U+10FFFF and no cut-off sequence. Pure; thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// The code point that marks an unreadable or forbidden character.
inline constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes the character that starts at `text[pos]` and advances `pos` past it. A byte that does not
// start a well-formed sequence gives kReplacementChar and advances by one byte.
// Requires: pos < text.size().
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// The number of characters (code points) of `text`, as NextCodePoint reads them: a byte that starts
// no well-formed sequence counts as one.
std::size_t CharacterCount(std::string_view text);

// True when all of `text` is well-formed UTF-8.
bool IsWellFormedUtf8(std::string_view text);

// `text` with every byte that does not start a well-formed sequence replaced by U+FFFD (so a bad
// sequence of n bytes gives up to n replacement characters); well-formed text comes back as it is.
std::string ReplaceIllFormedUtf8(std::string_view text);

// True when XML 1.0 allows `c` in a document: TAB, LF, CR, U+0020–U+D7FF, U+E000–U+FFFD,
// U+10000–U+10FFFF.
bool IsXmlChar(char32_t c);

// Appends `c` encoded as UTF-8. Requires: c is a Unicode scalar value.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace text
