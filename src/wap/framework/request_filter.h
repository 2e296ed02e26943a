// The keyword filter: a request whose form or query-string value is, as a whole and in any letter
// case, one of a fixed list of SQL keywords and punctuation marks is answered with an ended,
// empty response.
#pragma once

namespace wap {

// Screens the form values, then the query-string values, of the current request. Ends the
// response at each hit; returns true when there was one. Keys, cookies and server variables are
// not examined. Requires: the host objects are captured.
bool FilterRequest();

}  // namespace wap
