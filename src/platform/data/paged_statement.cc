#include "platform/data/paged_statement.h"

#include <vector>

#include "platform/text/ascii.h"

namespace data {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// `sql` without its closing ORDER BY (outside parentheses and quotes), which a count does not
// need and which would keep the engine from counting over an index alone. Unchanged when there
// is none, or when the ORDER BY holds a placeholder.
std::string_view WithoutOrderBy(std::string_view sql) {
  std::size_t cut = std::string_view::npos;
  int depth = 0;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      const std::size_t end = sql.find(c, i + 1);
      if (end == std::string_view::npos) return sql;
      i = end;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && (i == 0 || IsBlank(sql[i - 1]) || sql[i - 1] == ')') &&
               i + 5 < sql.size() && text::EqualsIgnoreCase(sql.substr(i, 5), "order") &&
               IsBlank(sql[i + 5])) {
      std::size_t j = i + 5;
      while (j < sql.size() && IsBlank(sql[j])) ++j;
      if (j + 2 < sql.size() && text::EqualsIgnoreCase(sql.substr(j, 2), "by") &&
          IsBlank(sql[j + 2])) {
        cut = i;
      }
    }
  }
  if (cut == std::string_view::npos || sql.find('?', cut) != std::string_view::npos) return sql;
  return TrimStatement(sql.substr(0, cut));
}

struct Word {
  std::string_view text;
  std::size_t at;  // offset in the statement
};

// The blank-separated words of `sql`.
std::vector<Word> Words(std::string_view sql) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < sql.size()) {
    while (i < sql.size() && IsBlank(sql[i])) ++i;
    const std::size_t start = i;
    while (i < sql.size() && !IsBlank(sql[i])) ++i;
    if (i > start) words.push_back({sql.substr(start, i - start), start});
  }
  return words;
}

bool IsIdentifier(std::string_view word) {
  if (word.empty()) return false;
  for (const char c : word) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) {
      return false;
    }
  }
  return true;
}

std::string Direction(const KeyedSelect& list) { return list.descending ? "desc" : "asc"; }
std::string Bound(const KeyedSelect& list) { return list.descending ? "<=" : ">="; }
std::string Where(const KeyedSelect& list) {
  return list.condition.empty() ? " where " : " where (" + list.condition + ") and ";
}

}  // namespace

std::string_view TrimStatement(std::string_view sql) {
  while (!sql.empty() && (IsBlank(sql.back()) || sql.back() == ';')) sql.remove_suffix(1);
  return sql;
}

bool IsWindowable(std::string_view sql) {
  while (!sql.empty() && IsBlank(sql.front())) sql.remove_prefix(1);
  if (!text::StartsWithIgnoreCase(sql, "select") || sql.size() == 6 || !IsBlank(sql[6])) {
    return false;
  }
  for (std::size_t i = 0; i + 5 <= sql.size(); ++i) {
    if (text::EqualsIgnoreCase(sql.substr(i, 5), "limit")) return false;
  }
  return true;
}

std::string CountStatement(std::string_view sql) {
  return "select count(*) from (\n" + std::string(WithoutOrderBy(sql)) + "\n) w";
}

std::string WindowStatement(std::string_view sql) {
  return std::string(sql) + "\nLIMIT ? OFFSET ?";
}

std::optional<KeyedSelect> ParseKeyedSelect(std::string_view sql) {
  sql = TrimStatement(sql);
  if (sql.find_first_of("()'\";`[") != std::string_view::npos || !IsWindowable(sql)) {
    return std::nullopt;
  }
  const std::vector<Word> words = Words(sql);
  std::size_t from = 0;
  for (std::size_t i = 0; i < words.size(); ++i) {
    for (const char* refused : {"distinct", "group", "having", "join", "union", "intersect",
                                "except", "offset", "window"}) {
      if (text::EqualsIgnoreCase(words[i].text, refused)) return std::nullopt;
    }
    if (from == 0 && text::EqualsIgnoreCase(words[i].text, "from")) from = i;
  }
  // select … from TABLE [where …] order by id [asc|desc]
  std::size_t end = words.size();
  KeyedSelect list;
  if (end > 0 && (text::EqualsIgnoreCase(words[end - 1].text, "desc") ||
                  text::EqualsIgnoreCase(words[end - 1].text, "asc"))) {
    list.descending = text::EqualsIgnoreCase(words[end - 1].text, "desc");
    --end;
  }
  if (from < 2 || end < from + 5 || !text::EqualsIgnoreCase(words[end - 1].text, "id") ||
      !text::EqualsIgnoreCase(words[end - 2].text, "by") ||
      !text::EqualsIgnoreCase(words[end - 3].text, "order") || !IsIdentifier(words[from + 1].text)) {
    return std::nullopt;
  }
  const std::size_t order = end - 3;
  if (order != from + 2) {
    if (!text::EqualsIgnoreCase(words[from + 2].text, "where") || order == from + 3) {
      return std::nullopt;
    }
    const std::size_t start = words[from + 3].at;
    list.condition = std::string(TrimStatement(sql.substr(start, words[order].at - start)));
  }
  for (std::size_t i = from + 3; i < order; ++i) {
    if (text::EqualsIgnoreCase(words[i].text, "order")) return std::nullopt;
  }
  const std::size_t head_end = words[from + 1].at + words[from + 1].text.size();
  if (sql.substr(0, words[from + 1].at).find('?') != std::string_view::npos) return std::nullopt;
  list.head = std::string(sql.substr(0, head_end));
  list.table = std::string(words[from + 1].text);
  return list;
}

std::string KeysStatement(const KeyedSelect& list) {
  return "select id from " + list.table +
         (list.condition.empty() ? "" : " where (" + list.condition + ")") + " order by id " +
         Direction(list);
}

std::string WindowFromKeyStatement(const KeyedSelect& list) {
  return list.head + Where(list) + "id " + Bound(list) + " ? order by id " + Direction(list) +
         "\nLIMIT ?";
}

std::string WindowFromPositionStatement(const KeyedSelect& list) {
  return list.head + Where(list) + "id " + Bound(list) + " (" + KeysStatement(list) +
         " limit 1 offset ?) order by id " + Direction(list) + "\nLIMIT ?";
}

}  // namespace data
