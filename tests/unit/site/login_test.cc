#include "site/login.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/host/request_error.h"
#include "unit/site/site_page_test.h"
#include "wap/framework/char_refs.h"

namespace site::site_test {
namespace {

using wap::ToCharRefs;

const Pairs kSite = {{"userid", "12"}, {"username", "demo"}, {"siteid", "3"}};
constexpr const char* kSuffix = "userid=12&amp;username=demo&amp;siteid=3";

class LoginForm : public SitePageTest {};

TEST_F(LoginForm, PostsNamePasswordAndUseridToChecklogin) {
  const std::string action = "checklogin.asp?userid=12&amp;username=demo&amp;siteid=3";
  const struct {
    std::string_view accept;
    std::vector<std::string> fragments;
  } cases[] = {
      {kWmlAccept,
       {"<card id=\"card1\" title=\"" + ToCharRefs("会员登录") + "\">",
        "<input name=\"username\" type=\"text\"", "<input name=\"password\" type=\"password\"",
        "<do type=\"accept\" label=\"" + ToCharRefs("登录") + "\"><go href=\"" + action + "\"",
        "<anchor>" + ToCharRefs("登录") + "<go href=\"" + action + "\" method=\"post\"",
        "<postfield name=\"username\" value=\"$(username)\"/><postfield name=\"password\" "
        "value=\"$(password)\"/><postfield name=\"Userid\" value=\"12\"/></go>",
        "</anchor></p>\r\n" + HomeLink(kSuffix) + "  </card>"}},
      {kXhtmlAccept,
       {"<title>" + ToCharRefs("会员登录") + "</title>",
        "<form action=\"" + action + "\" method=\"post\"", "<input name=\"username\" type=\"text\"",
        "<input name=\"password\" type=\"password\"",
        "<input name=\"Userid\" type=\"hidden\" value=\"12\" />",
        "</form>\r\n" + HomeLink(kSuffix) + "  </body>"}},
  };
  for (const auto& c : cases) {
    const std::string page = Render("login", kSite, c.accept);
    for (const auto& fragment : c.fragments) {
      EXPECT_NE(page.find(fragment), std::string::npos) << fragment << "\n" << page;
    }
  }
}

TEST_F(LoginForm, TheSiteValuesArePercentEncodedThenEscapedInTheAction) {
  const Pairs site = {{"userid", " 12"}, {"username", "a b&c$<\"'"}, {"siteid", "页"}};
  const std::string action =
      "checklogin.asp?userid=%2012&amp;username=a%20b%26c%24%3C%22%27&amp;siteid=%E9%A1%B5";
  const std::string wml = Render("login", site, kWmlAccept);
  EXPECT_NE(wml.find("<go href=\"" + action + "\""), std::string::npos) << wml;
  EXPECT_NE(wml.find("<postfield name=\"Userid\" value=\"12\"/>"), std::string::npos);
  const std::string xhtml = Render("login", site, kXhtmlAccept);
  EXPECT_NE(xhtml.find("<form action=\"" + action + "\""), std::string::npos) << xhtml;
}

TEST_F(LoginForm, AnswersABadRequestForAUseridThatIsNotAWholeNumber) {
  for (const Pairs& query : {Pairs{{"username", "demo"}}, Pairs{{"userid", "12 or 1=1"}},
                             Pairs{{"userid", ""}}, Pairs{{"userid", "1.5"}}}) {
    EXPECT_THROW(Run("login", query), host::RequestError);
  }
}

TEST_F(LoginForm, TheKeywordFilterEndsTheResponse) {
  const host::Response r = Run("login", {{"userid", "12"}, {"username", "SELECT"}});
  EXPECT_TRUE(r.Ended());
  EXPECT_EQ(r.Body(), "");
}

}  // namespace
}  // namespace site::site_test
