// Class management: the back office's add, rename and delete of the classes (sections) of the
// session's member, driven by the request a class-management page posts.
#pragma once

#include <string>
#include <string_view>

namespace wap {

class Page;

// Performs, in this order and each independently, whichever actions the request asks for:
//  - add, when the form value submit is "新建": inserts (userid, type, cleaned classname, sortid);
//  - rename, when submit is "保存": sets the cleaned edtclassname and edtsortid of the class
//    Request("id"), if that class belongs to the session's member;
//  - delete, when the query-string value act is "del": if the member owns the class of the
//    query-string id, deletes its contents and then the class, both in one transaction.
// An add or rename with an empty cleaned name does nothing; a delete of a class the member does not
// own does nothing. Numbers are small integers (an absent value is 0); a value that does not
// convert, and a name that holds a NUL, throw host::RequestError before that action's statement
// (earlier actions have run). Throws std::runtime_error when the session's userid is not a whole
// number, and what the database throws (a failed delete is rolled back). Writes nothing to the
// response.
// Requires: AdminSetUp(page) succeeded.
void AdminClassDoAction(Page& page);

// The name as it is stored: blanks (U+0020 only) trimmed at both ends, then every apostrophe
// removed.
std::string CleanClassName(std::string_view name);

}  // namespace wap
