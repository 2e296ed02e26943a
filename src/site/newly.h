// site.newly: the new-message form of a member site's guestbook (/wap/newly.asp), in the page's
// markup. The form posts the visitor's name, title and message to newly.asp itself, with the site's
// userid, username and siteid in the address. A valid post stores the message in wap_lyb for the
// site's userid, with the time of writing, and redirects to the guestbook; an invalid one shows the
// form again with what was typed and a message saying what to change. A post with a field the form
// does not have gets 400 "unexpected form field"; a post for a site owner without a wap_setting
// row (no such member site) gets 404; neither stores anything. Created and called on one thread by
// the host.
#pragma once

#include <cstddef>

#include "wap/framework/page_object.h"

namespace site {

// The longest texts a message may have, in characters.
inline constexpr std::size_t kMaxWriterChars = 50;
inline constexpr std::size_t kMaxTitleChars = 100;
inline constexpr std::size_t kMaxMessageChars = 1000;

class NewMessagePage : public wap::PageObject {
 protected:
  // The site's userid must be a whole number, else host::RequestError (status 400) and no
  // statement. A request with form values is a post: the form fields lyr (the writer's name), title
  // and content must each hold something besides blanks, stay within their lengths and hold no NUL.
  void StartPage(wap::Page& page) override;
};

}  // namespace site
