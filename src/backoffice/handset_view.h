// A WML deck as a handset shows it, for an owner in a desktop browser: each card becomes a
// section headed by its title, holding the card's text, line breaks, emphasis, pictures, tables,
// links and the controls a handset would offer (as inert buttons and fields). Everything else of
// the deck (head, timers, variables, tasks) shows nothing, as on a handset. The result is an HTML
// fragment safe to put in a page: only the elements and attributes named here are written, text
// stays escaped as it was in the deck, the fragment is well-formed XML as the deck was, and a picture comes only from a path of this site. Pure;
// thread-safe.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace backoffice {

// Where a link of the deck leads in the view: given the href as written in the deck (escaped),
// the href to write (escaped), or "" for a link that leads nowhere from the view.
using HandsetLink = std::function<std::string(std::string_view href)>;

// `wml` (a deck as this server writes it: well-formed, its text escaped) as an HTML fragment, its
// links given by `link`. Markup that is not well-formed is shown as far as it can be read; never
// throws but std::bad_alloc.
std::string HandsetView(std::string_view wml, const HandsetLink& link);

}  // namespace backoffice
