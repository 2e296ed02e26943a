// Markup checks for rendered pages, with libxml2, for use as EXPECT_TRUE(ValidWml(body)).
// Nothing touches the network: the WML 1.1 DTD is read from tests/data/wml_1.1.dtd, and the
// documents are parsed with network access off and without loading external DTDs.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

namespace testing_support {

// Success when `body` is a well-formed XML document whose DOCTYPE names the WML 1.1 DTD (public
// id "-//WAPFORUM//DTD WML 1.1//EN", system id "http://www.wapforum.org/DTD/wml_1.1.xml") and which
// is valid against that DTD. The failure message holds libxml2's error texts.
::testing::AssertionResult ValidWml(std::string_view body);

// Success when `body` is a well-formed XML document. The failure message holds libxml2's error
// texts.
::testing::AssertionResult WellFormedXml(std::string_view body);

// ValidWml for a body that starts with "<?xml" and names the WML DTD; WellFormedXml otherwise.
::testing::AssertionResult ValidPage(std::string_view body);

}  // namespace testing_support
