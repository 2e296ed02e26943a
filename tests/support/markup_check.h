// Checks of page bodies with libxml2, never touching the network (no external DTD is loaded):
//   EXPECT_TRUE(ValidWml(body));          well-formed, DOCTYPE names WML 1.1, valid against
//                                         tests/data/wml_1.1.dtd
//   EXPECT_TRUE(WellFormedXml(body));
//   EXPECT_TRUE(ValidPage(body));         ValidWml for a WML DOCTYPE, WellFormedXml otherwise
//   XPathString(body, "string(//h:title)")   `h` names the XHTML namespace; references resolved
//   EXPECT_TRUE(MatchesGolden("home.wml", body));   tests/data/golden/NAME byte for byte;
//                                         WAPSITE_UPDATE_GOLDEN=1 writes the file instead
// The XPath functions throw std::runtime_error for a body that is not XML. Thread-safe once
// libxml2 is set up (any call on the main thread does it).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

::testing::AssertionResult ValidWml(std::string_view body);
::testing::AssertionResult WellFormedXml(std::string_view body);
::testing::AssertionResult ValidPage(std::string_view body);

// The string value of every selected node (a non-node result gives one element).
std::vector<std::string> XPathStrings(std::string_view body, std::string_view expression);
// XPath's string() of the result.
std::string XPathString(std::string_view body, std::string_view expression);

::testing::AssertionResult MatchesGolden(std::string_view name, std::string_view actual);

}  // namespace testing_support
