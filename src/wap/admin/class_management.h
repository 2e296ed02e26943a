// Class management: the back office's add, rename and delete of a member's classes (the sections
// of its site). Plain functions of their values: they read no request, session or page, so the
// back-office object and the command line run the same statements. One connection, one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace data {
class Connection;
}

namespace wap {

// The name as it is stored: blanks (U+0020 only) trimmed at both ends, then every apostrophe
// removed.
std::string CleanClassName(std::string_view name);

// Adds a class of member `userid` named CleanClassName(name). Returns the new class's id, or
// std::nullopt, having done nothing, when that name is empty. Throws std::invalid_argument when it
// holds a NUL, and what the database throws. Requires: type and sortid lie in -32768..32767.
std::optional<std::int64_t> AddClass(data::Connection& connection, std::int64_t userid,
                                     std::string_view name, int type, int sortid);

// Renames class `id` to CleanClassName(name) and gives it `sortid`, if member `userid` owns it
// (another member's class stays as it is). Returns false, and does nothing, when the cleaned name
// is empty. Throws as AddClass. Requires: id and sortid lie in -32768..32767.
bool RenameClass(data::Connection& connection, std::int64_t userid, int id, std::string_view name,
                 int sortid);

// True when member `userid` owns class `id`. Throws what the database throws.
bool MemberOwnsClass(data::Connection& connection, std::int64_t userid, int id);

// Deletes class `id` with its contents, both in one transaction, if member `userid` owns it.
// Returns false, and deletes nothing, when it does not. Throws what the database throws (a failed
// delete is rolled back).
bool DeleteClass(data::Connection& connection, std::int64_t userid, int id);

}  // namespace wap
