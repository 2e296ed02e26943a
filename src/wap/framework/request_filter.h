// The keyword filter: a request whose form or query-string value is, as a whole and in any letter
// case, one of a fixed list of SQL keywords and punctuation marks is answered with an ended,
// empty response.
#pragma once

namespace host {
class Request;
class Response;
}  // namespace host

namespace wap {

// Screens the form values, then the query-string values, of `request`. Ends `response` at each hit;
// returns true when there was one. Keys, cookies and server variables are not examined.
bool FilterRequest(const host::Request& request, host::Response& response);

}  // namespace wap
