// Site creation: the files of a member's mobile site, which the back office makes when it creates
// the site. Plain functions of their values: they read no request, session or page, so the
// back-office object and the command line make the same site. One call per member at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace data {
class Connection;
}
namespace fso {
class FileSystemObject;
}

namespace wap {

// The entry page of a member's site, as UTF-8: the lines "<%", "'Create by Orbel" and
// response.Redirect("ADDRESS/wap/index.asp?userid=ID&username=NAME"), each ending in CR LF, then
// "%>" without a line end. A double quote of the address is doubled, as the page's string literal
// needs. The redirect's target must be a valid address: a blank or a byte outside ASCII of the
// address, and in the name every byte but A–Z a–z 0–9 - . _ ~ ! $ ' ( ) * , ; @, is written
// percent-encoded; a name or address without such bytes is written as it is.
std::string EntryPageText(std::string_view site_address, std::int64_t userid,
                          std::string_view username);

// The entry page `page` redirecting to `site_address` instead, its id and name as they are (written
// as EntryPageText writes an address); std::nullopt when `page` is not an entry page of that form.
std::optional<std::string> EntryPageWithAddress(std::string_view page,
                                                std::string_view site_address);

// Makes the site of member `userid`, whose login name is `name`, with `files`, in this order:
//  1. refuses an unsafe name (IsSafeMemberName) before anything is made;
//  2. makes the member folder `member_folders`/name and its upload folder "upfile", each only
//     when missing;
//  3. reads the member's template number from its settings (none or NULL: empty); anything but
//  digits
//     or empty fails here, with nothing copied;
//  4. copies every file directly in `web_root`/wapTemplete/templeteid into the member folder,
//     overwriting files of the same name and keeping the others;
//  5. reads the site address, the first line of `web_root`/inc/siteaddress.txt less a byte-order
//     mark and trailing white space, anew at each call;
//  6. writes the entry page index.asp (EntryPageText) in the member folder, replacing it.
// Throws on any failure and leaves what the earlier steps made: std::runtime_error for an unsafe
// name, a bad templeteid, a template that matches no file, a site address that cannot be read or
// cannot stand in the page (a control character or "%>"), and what the database and the file
// system throw. Changes no row.
void CreateMemberSite(data::Connection& connection, fso::FileSystemObject& files,
                      const std::filesystem::path& web_root,
                      const std::filesystem::path& member_folders, std::int64_t userid,
                      std::string_view name);

}  // namespace wap
