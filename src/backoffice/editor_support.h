// What the back office's editors (contents, news, products, guestbook, members) share: the page
// asked for in a paged list, the id a form or link names, the view of a text field with its limit
// and format, the links to the live pages a handset sees, and the answer for an id that is not
// the signed-in owner's. One request, one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "backoffice/office_request.h"
#include "backoffice/site_classes.h"
#include "backoffice/text_field.h"

namespace backoffice {

inline constexpr int kEditorPageSize = 10;

// A whole number from the request's Item `name` (query string, then form); std::nullopt when
// missing or not a whole number.
std::optional<std::int64_t> IdItem(const OfficeRequest& request, std::string_view name);

// The page of a paged list the request asks for ("page", 1 when missing or bad).
int RequestedPage(const OfficeRequest& request);

// Sets, in `view`, page links for a list of `total` rows shown kEditorPageSize at a time on page
// `page` of `address` (which already has its "?"): has_pages, page, pages, and prev/next links
// when there are such pages.
void SetPaging(View& view, std::string_view address, int page, std::int64_t total);

// The view of `field` holding `value`: name, label, max, format, value, required.
View FieldView(const TextField& field, std::string_view value);

// The query that names `owner`'s site on a live page (userid, username, siteid).
std::string SiteQuery(const SignedInOwner& owner);

// The editor of class `c` ("" for a kind without one: the call entry).
std::string EditorAddress(const store::SiteClass& c);

// Sets, in `view`, the links to live page `page` ("shownews" for /wap/shownews.asp) of `owner`'s
// site with `extra` ("&…", may be empty) appended: live (the page itself), live_wml and
// live_xhtml (its handset previews, see handset_preview.h).
void SetLiveLinks(View& view, const SignedInOwner& owner, std::string_view page,
                  std::string_view extra);

// Answers `status` with the back office's page saying `error` and, when `next` is not empty, a
// link to it labelled `next_label`: what to do next. Ends the response.
void Refusal(OfficeRequest& request, int status, std::string_view error, std::string_view next = "",
             std::string_view next_label = "");

// Answers 403: the request came from a page of another site. Nothing has changed.
void RefuseForeignOrigin(OfficeRequest& request);

// Answers 404: the id names nothing of this owner's. Nothing has changed.
void NotOwnRow(OfficeRequest& request);

// Shows the page that asks before a delete: `title`, `what` (what will go, as the owner knows it),
// and a button posting the owner's token to `action` (with act=`act` and id=`id` when `act` is
// not empty), beside a way back to `back`. Changes nothing.
void ConfirmDelete(OfficeRequest& request, std::string_view title, std::string_view what,
                   std::string_view action, std::string_view back, std::string_view act = "",
                   std::int64_t id = 0);

// The id a list's delete link names (`name`, "delete" unless told), on a GET: the page then asks
// before the delete instead of showing the list. std::nullopt otherwise.
std::optional<std::int64_t> DeleteAsked(const OfficeRequest& request,
                                        std::string_view name = "delete");

// `path` when it is a plain path of a back-office page (under /admin/, nothing that could lead
// to another site or up a folder), else `otherwise`: for the pages a form names to go back to.
std::string OfficePathOr(const std::string& path, const std::string& otherwise);

// Sends the browser back to `address` with saved=1 after a change.
void Saved(OfficeRequest& request, std::string address);

}  // namespace backoffice
