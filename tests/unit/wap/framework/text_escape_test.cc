#include <gtest/gtest.h>

#include <string>

#include "wap/framework/folder_name.h"
#include "wap/framework/owner_markup.h"
#include "wap/framework/url_encode.h"
#include "wap/framework/xml_escape.h"

namespace wap {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(EscapeXml, EscapesMarkupCharactersAndReplacesForbiddenOnes) {
  const struct {
    std::string in;
    std::string text;
    std::string attribute;
  } cases[] = {
      {"plain 首页 😀", "plain 首页 😀", "plain 首页 😀"},
      {"Tom & Jerry", "Tom &amp; Jerry", "Tom &amp; Jerry"},
      {"<script>", "&lt;script&gt;", "&lt;script&gt;"},
      {"say \"hi\"", "say &quot;hi&quot;", "say &quot;hi&quot;"},
      {"it's", "it's", "it&#39;s"},
      {"a\x01z", "a" + kFffd + "z", "a" + kFffd + "z"},
      {std::string("a\0z", 3), "a" + kFffd + "z", "a" + kFffd + "z"},
      {"\xFF", kFffd, kFffd},
      {"tab\tline\r\n", "tab\tline\r\n", "tab\tline\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeXmlText(c.in), c.text) << c.in;
    EXPECT_EQ(EscapeXmlAttribute(c.in), c.attribute) << c.in;
  }
}

TEST(OwnerMarkup, KeepsSimpleInlineMarkupAndEscapesEverythingElse) {
  const struct {
    std::string in;
    bool kept;
  } cases[] = {
      {"", true},
      {"Plain text 产品", true},
      {"<b>bold</b> and <i>it</i>", true},
      {"<strong><em>x</em></strong><big>b</big><small>s</small><u>u</u>", true},
      {"line<br/>next<br />last", true},
      {"<br></br>", true},
      {"&amp;&lt;&gt;&quot;&apos;", true},
      {"&#x84DD;&#8364;", true},
      {"1 > 0", true},
      {"Tom & Jerry", false},
      {"&nbsp;", false},
      {"&#x0;", false},
      {"&#xD800;", false},
      {"&#;", false},
      {"<b>open", false},
      {"<b><i>x</b></i>", false},
      {"</b>", false},
      {"<B>x</B>", false},
      {"<b class=\"x\">x</b>", false},
      {"<br>", false},
      {"<br>x</br>", false},
      {"<script>alert(1)</script>", false},
      {"<img src=x/>", false},
      {"<!-- c -->", false},
      {"<![CDATA[x]]>", false},
      {"a]]>b", false},
      {"bad\x01", false},
      {"\xFF", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsOwnerMarkup(c.in), c.kept) << c.in;
    EXPECT_EQ(OwnerText(c.in), c.kept ? c.in : EscapeXmlText(c.in)) << c.in;
  }
}

TEST(IsPlainFolderName, RefusesNamesThatReachOutsideOneFolder) {
  for (const char* good : {"demo", "a.b", "张三", "x y"}) EXPECT_TRUE(IsPlainFolderName(good));
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:", "../demo", "a\tb", "a\x7F"}) {
    EXPECT_FALSE(IsPlainFolderName(bad)) << bad;
  }
}

TEST(PercentEncode, KeepsOnlyUnreservedCharacters) {
  EXPECT_EQ(PercentEncode("aZ09-._~"), "aZ09-._~");
  EXPECT_EQ(PercentEncode("a b&c=d/首"), "a%20b%26c%3Dd%2F%E9%A6%96");
}

}  // namespace
}  // namespace wap
