// XPath over a page body, with libxml2, for tests that assert on what a page shows rather than on
// how its markup is spelled:
//
//   EXPECT_EQ(XPathStrings(body, "//a/@href"), (std::vector<std::string>{"/wap/index.asp?…"}));
//   EXPECT_EQ(XPathString(body, "string(//h:title)"), "首页");
//
// The body is parsed as XML without network access and without loading external DTDs; character
// and entity references come back resolved (UTF-8). The prefix `h` names the XHTML namespace, so
// XHTML pages are queried as //h:p, WML pages as //p. Thread-safe (no shared state).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// The string value of every node `expression` selects, in document order; a string, number or
// boolean result gives one element. Throws std::runtime_error when the body is not well-formed
// XML or the expression does not compile.
std::vector<std::string> XPathStrings(std::string_view body, std::string_view expression);

// The string value of `expression` as XPath's string() gives it (the first node's for a node set,
// "" for an empty one). Throws as XPathStrings.
std::string XPathString(std::string_view body, std::string_view expression);

// How many nodes `expression` selects. Throws as XPathStrings, and when the result is no node set.
int XPathCount(std::string_view body, std::string_view expression);

}  // namespace testing_support
