// The back office's operations as the adminmanage object runs them for one request: the values
// come from the request and the session of the page context, are checked there (a value of the
// request that does not convert is a host::RequestError, a 400), and go to the store's class
// changes (store/classes.h) and to site_creation.h. Run on the object's Page, on one thread, after
// AdminSetUp(page) succeeded. Neither writes to the response.
#pragma once

namespace wap {

class Page;

// Performs, in this order and each independently, whichever actions the request asks for:
//  - add, when the form value submit is "新建": AddClass of the form values classname, type and
//    sortid;
//  - rename, when submit is "保存": RenameClass of Request("id") with the form values
//    edtclassname and edtsortid;
//  - delete, when the query-string value act is "del": DeleteClass of the query-string id.
// The member is the session's userid, read only for an action whose name is not empty once
// cleaned (a delete always reads it). Numbers are small integers (an absent value is 0); a value
// that does not convert, and a name that holds a NUL, throw host::RequestError before that
// action's statement (earlier actions have run). Each change that happens is recorded in the
// audit trail, as the session's member at the client's address, in the change's transaction; a
// refused change (a name empty once cleaned, another member's class) records nothing. Throws
// std::runtime_error when the session's userid is not a whole number, and what the database throws.
void AdminClassDoAction(Page& page);

// CreateMemberSite for the session's member (userid and UserName), with the file-system object
// over the web root's folders, member folders in MapPath("waphome") (relative to the
// calling page's folder) and the web root's templates and site address. Throws
// std::runtime_error when the session's userid is not a whole number (before anything is made),
// and what the creation throws.
void CreateSite(Page& page);

}  // namespace wap
