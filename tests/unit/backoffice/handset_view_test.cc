#include "backoffice/handset_view.h"

#include <gtest/gtest.h>

namespace backoffice {
namespace {

std::string Linked(std::string_view href) {
  return href.starts_with("/wap/") ? "/p?" + std::string(href.substr(5)) : "";
}

TEST(HandsetView, ShowsWhatAHandsetShowsAndNothingElse) {
  const struct {
    const char* what;
    const char* wml;
    const char* html;
  } cases[] = {
      {"the card, headed by its title", "<card id=\"c\" title=\"T&amp;1\"><p>x</p></card>",
       "<section class=\"card\"><h2>T&amp;1</h2>\n<p>x</p></section>\n"},
      {"text and emphasis as written, references kept",
       "<p>a<br/><b>&#x4E2D;</b> &amp; <small>s</small></p>",
       "<p>a<br /><b>&#x4E2D;</b> &amp; <small>s</small></p>"},
      {"a dollar sign written twice shows once", "<p>$$5</p>", "<p>$5</p>"},
      {"a link through the view's rule", "<a href=\"/wap/lyb.asp?Page=2\">n</a>",
       "<a href=\"/p?lyb.asp?Page=2\">n</a>"},
      {"a link the rule refuses leads nowhere", "<a href=\"wtai://wp/mc;1\">call</a>",
       "<a>call</a>"},
      {"a picture of this site only",
       "<img src=\"/a.jpg\" alt=\"A\"/><img src=\"http://x/b\" alt=\"\"/>",
       "<img src=\"/a.jpg\" alt=\"A\" /><img alt=\"\" />"},
      {"tasks, timers and the head show nothing",
       "<head><meta/></head><onevent type=\"x\"><go href=\"/x\"/></onevent><timer value=\"5\"/>ok",
       "ok"},
      {"a softkey is an inert button; its task shows nothing",
       "<do type=\"accept\" label=\"发送\"><go href=\"/wap/x.asp\"><postfield name=\"a\" "
       "value=\"1\"/></go></do>",
       "<button type=\"button\" disabled=\"disabled\">发送</button>"},
      {"an input field is inert", "<input name=\"n\" type=\"password\"/>",
       "<input type=\"password\" value=\"\" aria-label=\"n\" disabled=\"disabled\" />"},
      {"unknown elements and attributes are left out",
       "<p onclick=\"x\" style=\"y\"><script>s</script></p>", "<p>s</p>"},
      {"a quote in a single-quoted value cannot end the attribute",
       "<img src='/a\"onerror=\"x' alt='A'/>", "<img src=\"/a&quot;onerror=&quot;x\" alt=\"A\" />"},
      {"markup cut short shows what was read", "<p>a<b", "<p>a"},
  };
  for (const auto& c : cases) EXPECT_EQ(HandsetView(c.wml, Linked), c.html) << c.what;
}

}  // namespace
}  // namespace backoffice
