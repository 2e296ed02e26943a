// Site creation: the files of the session member's mobile site, made by the back office when it
// creates the site.
#pragma once

namespace wap {

class Page;

// For the member named by the session value UserName, in this order:
//  1. refuses an unsafe member name (IsSafeMemberName) before anything is made;
//  2. (the file system is reached directly: the Const_ScriptFileSystem setting chooses nothing);
//  3. makes the member folder MapPath("waphome/" + name) (relative to the calling page's folder)
//     and its upload folder "upfile", each only when missing;
//  4. reads the member's templeteid from wap_setting (no row or NULL: empty); anything but digits
//     or empty fails here, with nothing copied;
//  5. copies every file directly in web root + "/wapTemplete/" + templeteid into the member
//     folder, overwriting files of the same name and keeping the others;
//  6. reads the site address, the first line of the web root's inc/siteaddress.txt less trailing
//     white space, anew at each call;
//  7. writes the entry page index.asp in the member folder, replacing it, as UTF-8: the lines
//     "<%", "'Create by Orbel" and response.Redirect("ADDRESS/wap/index.asp?userid=ID&username=
//     NAME") each ending in CR LF, then "%>" without a line end. A double quote of the address is
//     doubled, as the page's string literal needs.
// Throws on any failure and leaves what the earlier steps made: std::runtime_error for an unsafe
// name, a session userid that is not a whole number, a bad templeteid, a template that matches no
// file, a site address that cannot be read or cannot stand in the page (a control character or
// "%>"), and what the host, the database and the file system throw. Writes nothing to the response
// and changes no row. Requires: AdminSetUp(page) succeeded.
void CreateSite(Page& page);

}  // namespace wap
