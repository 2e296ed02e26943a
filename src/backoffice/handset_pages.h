// How many handset pages a long text will take: the editors of single contents, news articles,
// product descriptions and guestbook replies say it beside the text, before the owner saves, so
// that an owner sees when a handset will have to page through it. Counted as the live page splits
// it: WML decks within the default compiled deck limit (a handset that declares nothing). Pure;
// thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

#include "backoffice/office_request.h"
#include "backoffice/page_templates.h"

namespace backoffice {

// How the live page writes the text.
enum class HandsetText {
  kPlain,        // every character as a reference (single contents, news articles)
  kOwnerMarkup,  // the owner markup kept when it passes its check (products, replies)
};

// The number of WML decks (1 or more) that `text` takes on its live page of `username`'s site at
// the default deck limit. `lead` is the markup the live page writes in front of the text in the
// same paragraph (a product's name and picture, a guestbook message before its reply), or "".
int HandsetPages(std::string_view text, HandsetText how, std::string_view username,
                 std::string_view lead = "");

// Sets in `field_view` (a FieldView) "deck_bytes" (the default limit) and, when `text` is not
// empty, "handset_pages" (the count), "handset_look" (the text as a handset shows it, an HTML
// fragment: handset_view.h) and "handset_notes" (what the handset changes that the owner may not
// expect: line breaks dropped, markup shown as typed).
void SetHandsetPages(View& field_view, std::string_view text, HandsetText how,
                     std::string_view username, std::string_view lead = "");

// True when the request is an editor form's "count handset pages" round (a POST with the form
// value "count"): the editor shows the form again with the typed values and their page counts,
// and saves nothing.
bool IsCountRound(const OfficeRequest& request);

}  // namespace backoffice
