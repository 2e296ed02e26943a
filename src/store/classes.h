// A member site's classes (its sections), read and changed. The changes refuse another member's
// class and say what they did; when given an actor, a change that happened writes its audit row
// ("新建栏目", "修改栏目", "移动栏目", "删除栏目" on ClassAuditName of the class's name) in the
// change's own transaction, and a refused change writes none. One connection, one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/audit.h"
#include "store/class_kind.h"

namespace data {
class Connection;
}

namespace store {

struct SiteClass {
  std::int64_t id = 0;
  std::optional<ClassKind> kind;  // nullopt for a type no kind has (NULL or out of range)
  std::string name;
  std::int64_t sortid = 0;
};

// Member `userid`'s classes in the site's order (position, then id).
std::vector<SiteClass> ClassesOf(data::Connection& connection, std::int64_t userid);

// Class `id` when member `userid` owns it.
std::optional<SiteClass> OwnedClass(data::Connection& connection, std::int64_t userid,
                                    std::int64_t id);

// How the audit trail names the class called `name`: 栏目“NAME”.
std::string ClassAuditName(std::string_view name);

// The name as it is stored: blanks (U+0020 only) trimmed at both ends, then every apostrophe
// removed.
std::string CleanClassName(std::string_view name);

// Adds a class of member `userid` named CleanClassName(name), stored with the raw `type` (as
// posted; a type no kind has is kept and never shown). Returns the new class's id, or
// std::nullopt, having done nothing, when that name is empty. Throws std::invalid_argument when the
// cleaned name holds a NUL, and what the database throws (then nothing is stored).
std::optional<std::int64_t> AddClass(data::Connection& connection, std::int64_t userid,
                                     std::string_view name, std::int64_t type, std::int64_t sortid,
                                     const AuditActor* actor = nullptr);

// Renames class `id` to CleanClassName(name) and gives it `sortid`, if member `userid` owns it.
// Returns true when the class was changed; false, having done nothing, when the cleaned name is
// empty or the member does not own the class. Throws as AddClass.
bool RenameClass(data::Connection& connection, std::int64_t userid, std::int64_t id,
                 std::string_view name, std::int64_t sortid, const AuditActor* actor = nullptr);

// Moves class `id` of member `userid` one place earlier (`earlier`) or later in the site's order,
// numbering the member's classes 1, 2, 3… in their new order. Returns false, having changed
// nothing, when the member does not own the class or it is already first (last). The audit row
// ("移动栏目") names the class as the member knows it. Throws what the database throws.
bool MoveClass(data::Connection& connection, std::int64_t userid, std::int64_t id, bool earlier,
               const AuditActor& actor);

// How many texts (articles, or a single content) class `id` holds: what deleting it deletes.
std::int64_t ContentCountOfClass(data::Connection& connection, std::int64_t id);

// Deletes class `id` with its contents, if member `userid` owns it. Returns false, and deletes
// nothing, when it does not. Throws what the database throws (then nothing is deleted).
bool DeleteClass(data::Connection& connection, std::int64_t userid, std::int64_t id,
                 const AuditActor* actor = nullptr);

}  // namespace store
