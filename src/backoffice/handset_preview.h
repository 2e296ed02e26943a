// The handset preview of the back office (/admin/preview.asp): one live page of the signed-in
// owner's site rendered in the markup a handset asks for, so that an owner in a desktop browser
// sees what a WAP handset (WML) or another phone (XHTML Mobile) gets. The page runs in-process
// with a fresh visitor's session of its own (so the owner's sign-in is neither seen nor changed)
// and the owner's site values; nothing but the page's own reads touches the database.
//
// Query: markup ("wml" or "xhtml"), of (the page: index, showcontent, newslist, shownews,
// productlist, lyb, login) and the page's own id, classname and Page. XHTML is sent as the page
// made it; WML, which a desktop browser cannot show, is sent as its text (text/plain). Another page
// name is a 404. One request, one thread.
#pragma once

#include <string>
#include <string_view>

#include "backoffice/office_request.h"

namespace backoffice {

// The preview address of live page `page` (a name above) with `extra` ("&…" or "") in `markup`.
std::string PreviewAddress(std::string_view markup, std::string_view page, std::string_view extra);

// Writes the preview the request asks for.
void PreviewPage(OfficeRequest& request);

}  // namespace backoffice
