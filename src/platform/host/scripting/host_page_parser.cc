#include "platform/host/scripting/host_page_parser.h"

#include <cctype>
#include <optional>

#include "platform/text/ascii.h"

namespace host {
namespace {

namespace ps = page_statement;

[[noreturn]] void Fail(std::string_view file, int line, std::string_view reason) {
  throw HostPageError(std::string(file) + ":" + std::to_string(line) + ": " + std::string(reason));
}

// The number of line ends (CR LF, LF or a lone CR) in `text`.
int CountLineEnds(std::string_view text) {
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++count;
    } else if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) {
      ++count;
    }
  }
  return count;
}

// The lines of `code`, without their ends.
std::vector<std::string_view> SplitLines(std::string_view code) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= code.size(); ++i) {
    if (i == code.size()) {
      lines.push_back(code.substr(start));
    } else if (code[i] == '\n' || code[i] == '\r') {
      lines.push_back(code.substr(start, i - start));
      if (code[i] == '\r' && i + 1 < code.size() && code[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// True when `text` from `pos` (after blanks) starts the comment keyword "Rem".
bool StartsWithRem(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (text.size() - pos < 3 || !text::EqualsIgnoreCase(text.substr(pos, 3), "rem")) return false;
  return pos + 3 == text.size() || IsBlank(text[pos + 3]);
}

// The statements of one line: split on ":" outside string literals, up to a comment.
std::vector<std::string_view> SplitStatements(std::string_view line, std::string_view file,
                                              int line_number) {
  std::vector<std::string_view> statements;
  std::size_t start = 0;
  bool in_string = false;
  std::size_t i = 0;
  bool comment = StartsWithRem(line, 0);
  for (; i < line.size() && !comment; ++i) {
    const char c = line[i];
    if (c == '"') {
      in_string = !in_string;  // a doubled quote toggles twice
    } else if (in_string) {
      continue;
    } else if (c == '\'') {
      break;
    } else if (c == ':') {
      statements.push_back(line.substr(start, i - start));
      start = i + 1;
      comment = StartsWithRem(line, start);
    }
  }
  if (in_string) Fail(file, line_number, "unterminated string literal");
  if (!comment) statements.push_back(line.substr(start, i - start));
  return statements;
}

struct Token {
  enum Kind { kIdent, kString, kPunct } kind;
  std::string text;  // the identifier, the string's value, or the punctuation character
};

std::vector<Token> Tokenize(std::string_view statement, std::string_view file, int line) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < statement.size()) {
    const char c = statement[i];
    if (IsBlank(c)) {
      ++i;
    } else if (IsIdentStart(c)) {
      const std::size_t start = i;
      while (i < statement.size() && IsIdentChar(statement[i])) ++i;
      tokens.push_back({Token::kIdent, std::string(statement.substr(start, i - start))});
    } else if (c == '"') {
      std::string value;
      ++i;
      for (;;) {
        if (i >= statement.size()) Fail(file, line, "unterminated string literal");
        if (statement[i] == '"') {
          if (i + 1 < statement.size() && statement[i + 1] == '"') {
            value.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value.push_back(statement[i++]);
      }
      tokens.push_back({Token::kString, std::move(value)});
    } else if (c == '.' || c == '(' || c == ')' || c == '=') {
      tokens.push_back({Token::kPunct, std::string(1, c)});
      ++i;
    } else {
      Fail(file, line, "unsupported statement: " + std::string(statement));
    }
  }
  return tokens;
}

// Matches a token sequence against a pattern. In the pattern, "$name" stands for any identifier,
// "$string" for any string literal, a punctuation character for itself and any other word for
// that keyword in any letter case. The captured identifiers and strings come back in order.
std::optional<std::vector<std::string>> Match(const std::vector<Token>& tokens,
                                              std::initializer_list<std::string_view> pattern) {
  if (tokens.size() != pattern.size()) return std::nullopt;
  std::vector<std::string> captured;
  std::size_t i = 0;
  for (const std::string_view want : pattern) {
    const Token& t = tokens[i++];
    if (want == "$name") {
      if (t.kind != Token::kIdent) return std::nullopt;
      captured.push_back(t.text);
    } else if (want == "$string") {
      if (t.kind != Token::kString) return std::nullopt;
      captured.push_back(t.text);
    } else if (want.size() == 1 && !IsIdentStart(want[0])) {
      if (t.kind != Token::kPunct || t.text != want) return std::nullopt;
    } else if (t.kind != Token::kIdent || !text::EqualsIgnoreCase(t.text, want)) {
      return std::nullopt;
    }
  }
  return captured;
}

bool IsBuiltInObject(std::string_view name) {
  for (const char* builtin : {"request", "response", "server", "session", "application"}) {
    if (text::EqualsIgnoreCase(name, builtin)) return true;
  }
  return false;
}

PageStatement::Action ParseStatement(std::string_view statement, std::string_view file, int line) {
  const std::vector<Token> tokens = Tokenize(statement, file, line);
  if (auto m = Match(tokens,
                     {"set", "$name", "=", "server", ".", "createobject", "(", "$string", ")"})) {
    if (IsBuiltInObject((*m)[0])) Fail(file, line, "cannot assign to " + (*m)[0]);
    return ps::CreateObject{(*m)[0], (*m)[1]};
  }
  for (const char* verb : {"redirect", "write"}) {
    auto m = Match(tokens, {"response", ".", verb, "(", "$string", ")"});
    if (!m) m = Match(tokens, {"response", ".", verb, "$string"});
    if (!m) continue;
    if (text::EqualsIgnoreCase(verb, "redirect")) return ps::Redirect{(*m)[0]};
    return ps::Write{(*m)[0]};
  }
  if (auto m = Match(tokens, {"session", "(", "$string", ")", "=", "$string"})) {
    return ps::SetSession{(*m)[0], (*m)[1]};
  }
  if (auto m = Match(tokens, {"application", "(", "$string", ")", "=", "$string"})) {
    return ps::SetApplication{(*m)[0], (*m)[1]};
  }
  auto m = Match(tokens, {"$name", ".", "$name"});
  if (!m) m = Match(tokens, {"$name", ".", "$name", "(", ")"});
  if (m && !IsBuiltInObject((*m)[0]) && !text::EqualsIgnoreCase((*m)[0], "set")) {
    return ps::Call{(*m)[0], (*m)[1]};
  }
  std::string shown(statement);
  while (!shown.empty() && IsBlank(shown.front())) shown.erase(0, 1);
  while (!shown.empty() && IsBlank(shown.back())) shown.pop_back();
  Fail(file, line, "unsupported statement: " + shown);
}

bool IsEmptyStatement(std::string_view statement) {
  for (const char c : statement) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

void ParseCode(std::string_view code, int first_line, std::string_view file,
               std::vector<PageStatement>& out) {
  int line_number = first_line;
  for (const std::string_view line : SplitLines(code)) {
    for (const std::string_view statement : SplitStatements(line, file, line_number)) {
      if (IsEmptyStatement(statement)) continue;
      out.push_back({ParseStatement(statement, file, line_number), line_number});
    }
    ++line_number;
  }
}

}  // namespace

HostPage ParseHostPage(std::string_view source, std::string_view file_name) {
  HostPage page;
  page.file_name = std::string(file_name);
  int line = 1;
  std::size_t pos = 0;
  while (pos < source.size()) {
    const std::size_t open = source.find("<%", pos);
    const std::string_view text =
        source.substr(pos, open == std::string_view::npos ? std::string_view::npos : open - pos);
    if (!text.empty()) page.statements.push_back({ps::Text{std::string(text)}, line});
    line += CountLineEnds(text);
    if (open == std::string_view::npos) break;
    const std::size_t close = source.find("%>", open + 2);
    if (close == std::string_view::npos) Fail(file_name, line, "\"<%\" without \"%>\"");
    const std::string_view code = source.substr(open + 2, close - open - 2);
    if (code.empty() || code.front() != '@') ParseCode(code, line, file_name, page.statements);
    line += CountLineEnds(code);
    pos = close + 2;
  }
  return page;
}

}  // namespace host
