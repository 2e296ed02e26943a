// The back office's pages by path, answered in C++ (host::NativePages) at /admin/... and at
// /createsite.asp, which stays in the top folder so that the site folders it makes sit under
// /waphome/. Every page gets the back office's headers (never framed, no type sniffing, a content
// policy without script, never cached) and the site's database opened for the request. Before
// every page but the front page (/admin/: the sign-in form, the sign-in and the dashboard), the
// guard runs once:
//   - a browser without a signed-in owner is sent to the sign-in form, and back to the page after
//     it (for site creation, to the settings page that offers it);
//   - for site creation, whose every request changes something, a GET leads to the settings page;
//   - a changing request (POST, or a query string with "act") must carry the owner's form token
//     and, when the browser sent Origin, an Origin naming this request's Host, else it gets 403
//     and the page does not run.
// A form too large for the server to take (AnswerTooLarge) gets /admin/toolarge.asp, which says the
// limit in MB and leads back to the page.
#pragma once

#include <optional>

#include "platform/host/http/http_server.h"
#include "platform/host/request_dispatcher.h"

namespace backoffice {

host::NativePages Pages();

// The answer to a request of a back-office page that the server refused for its size
// (HttpServerOptions::on_refusal): the back office's own page (through `dispatcher`, as a GET of
// /admin/toolarge.asp behind the guard), saying the limit in MB and leading back to the page, with
// the refusal's status. std::nullopt for a request of another page. Never throws.
std::optional<host::HttpReply> AnswerTooLarge(host::RequestDispatcher& dispatcher,
                                              const host::HttpRequestData& head,
                                              const host::HttpRefusal& refusal);

}  // namespace backoffice
