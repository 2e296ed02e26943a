// The statements a recordset runs to page through a SELECT: its count, a window of its rows, and,
// for a list of one table ordered by its key "id", the list of keys and a window that starts at a
// key. Pure text functions; thread-safe.
//
// A window of rows from position p is the statement followed by "LIMIT ? OFFSET ?". For a keyed
// list ("select COLUMNS from TABLE [where CONDITION] order by id [asc|desc]", with no parenthesis,
// quote or "?" outside the condition and none of DISTINCT, GROUP, HAVING, JOIN, UNION, LIMIT) the
// same rows in the same order are "where (CONDITION) and id <= K order by id desc LIMIT ?" (">="
// when ascending), K being the key at position p: taken from the list of keys, or asked of the
// database at once by a subquery that steps over p entries of an index of keys alone. "id" must be
// unique in TABLE (it is every table's key in the schema).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace data {

// `sql` without trailing blanks and ";".
std::string_view TrimStatement(std::string_view sql);
// Whether `sql` is a SELECT without a LIMIT of its own, so that a window may be taken of it.
bool IsWindowable(std::string_view sql);
// "select count(*) from (\nSQL\n) w", without a closing ORDER BY of `sql` that has no "?".
std::string CountStatement(std::string_view sql);
// `sql` + "\nLIMIT ? OFFSET ?".
std::string WindowStatement(std::string_view sql);

// A keyed list, taken apart; its placeholders are all in `condition`.
struct KeyedSelect {
  std::string head;       // "select COLUMNS from TABLE"
  std::string table;
  std::string condition;  // empty when there is no WHERE
  bool descending = false;
};
std::optional<KeyedSelect> ParseKeyedSelect(std::string_view sql);

// "select id from TABLE [where (CONDITION)] order by id DIR": the keys in the list's order.
std::string KeysStatement(const KeyedSelect& list);
// The window that starts at a key bound after the condition's values, then its row count:
// "HEAD where [(CONDITION) and ]id <= ? order by id DIR\nLIMIT ?".
std::string WindowFromKeyStatement(const KeyedSelect& list);
// The window from a position: the condition's values, again the condition's values, the position
// and the row count are bound in that order. Its key is asked of the database by a subquery.
std::string WindowFromPositionStatement(const KeyedSelect& list);

}  // namespace data
