#include "support/markup_check.h"

#include <gtest/gtest.h>

#include "unit/wap/expected_page.h"

namespace wap::page_test {
namespace {

// The checks every page test relies on must themselves reject what they are meant to catch.
TEST(MarkupCheck, RejectsInvalidWmlAndIllFormedXml) {
  EXPECT_TRUE(testing_support::ValidWml(WmlPage("t", "u", "<p>ok</p>\r\n")));
  EXPECT_FALSE(testing_support::ValidWml(WmlPage("t", "u", "<a href=\"x\">a link outside p</a>")));
  EXPECT_FALSE(testing_support::ValidWml(WmlPage("t", "u", "<p><img src=\"x\"/></p>")));  // alt
  EXPECT_FALSE(testing_support::ValidWml(WmlPage("t", "u", "<p>Tom & Jerry</p>")));
  EXPECT_FALSE(testing_support::ValidWml(XhtmlPage("t", "u", "")));  // not the WML DTD
  EXPECT_TRUE(testing_support::WellFormedXml(XhtmlPage("t", "u", "<p>x</p>")));
  EXPECT_FALSE(testing_support::WellFormedXml(XhtmlPage("t", "u", "<p>x")));
  EXPECT_FALSE(testing_support::WellFormedXml(XhtmlPage("t", "u", "&#x1;")));
  const ::testing::AssertionResult bad = testing_support::WellFormedXml("<a><b></a>");
  EXPECT_NE(std::string(bad.message()).find("line 1"), std::string::npos) << bad.message();
}

}  // namespace
}  // namespace wap::page_test
