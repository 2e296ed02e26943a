#include "wap/pages/main.h"

#include <gtest/gtest.h>

#include "platform/host/request_error.h"
#include "unit/wap/page_test.h"

namespace wap::page_test {
namespace {

const Pairs kDemo = {{"userid", "1"}, {"username", "demo"}, {"siteid", "9"}};
const std::string kSuffix = "userid=1&amp;username=demo&amp;siteid=9";

class HomePage : public PageTest {};

TEST_F(HomePage, WritesOneLinePerClassByTypeCode) {
  h_.App().Set("domain", "http://m.example");
  h_.Sql(
      "insert into wap_classes (id,userid,type,classname,sortid) values "
      "(1,1,0,'A',1),(2,1,1,'B',2),(3,1,2,'C',3),(4,1,3,'D',4),(5,1,4,'E',5),"
      "(6,1,5,'F',6),(7,1,NULL,'G',7),(8,2,1,'H',1);"
      "insert into wap_setting (userid,dircall) values (1,'13800138000');");
  const std::string d = "http://m.example";
  const std::string body =
      "<p align=\"left\"><a href=\"" + d + "/wap/showcontent.asp?" + kSuffix +
      "&amp;id=1&amp;classname=&#x41;\">&#x41;</a></p>\r\n"
      "<p align=\"left\"><a href=\"" +
      d + "/wap/newslist.asp?" + kSuffix +
      "&amp;id=2&amp;classname=&#x42;\">&#x42;</a></p>\r\n"
      "<p align=\"left\"><a href=\"" +
      d + "/wap/productlist.asp?" + kSuffix +
      "&amp;\" title=\"\">&#x43;</a></p>\r\n"
      "<p align=\"left\"><a href=\"" +
      d + "/wap/lyb.asp?" + kSuffix +
      "&amp;\" title=\"\">&#x44;</a></p>\r\n"
      "<p align=\"left\"><a href=\"wtai://wp/mc;13800138000\" title=\"\">&#x45;</a></p>\r\n";
  ExpectPage("main", kDemo, "首页", "demo", body, d);
}

TEST_F(HomePage, ShowsTheLogoOnlyWhenTheFileExists) {
  h_.Sql("insert into wap_classes (userid,type,classname,sortid) values (1,3,'D',1)");
  const std::string line = "<p align=\"left\"><a href=\"/wap/lyb.asp?" + kSuffix +
                           "&amp;\" title=\"\">&#x44;</a></p>\r\n";
  ExpectPage("main", kDemo, "首页", "demo", line);

  h_.WriteFile("waphome/demo/upfile/logo.gif", "GIF89a");
  const std::string logo = "<p><img src=\"/waphome/demo/upfile/logo.gif\" alt=\"Logo\"/></p>";
  ExpectPage("main", kDemo, "首页", "demo", logo + line);
}

TEST_F(HomePage, LooksForTheLogoOnlyUnderAPlainFolderName) {
  // A file that "../x" would reach from the member folders.
  h_.WriteFile("x/upfile/logo.gif", "GIF89a");
  h_.WriteFile("waphome/x/upfile/logo.gif", "GIF89a");
  for (const char* name : {"../x", "..\\x", "", "."}) {
    const std::string body = Render("main", {{"userid", "1"}, {"username", name}});
    EXPECT_EQ(body.find("logo.gif"), std::string::npos) << name;
  }
}

TEST_F(HomePage, MemberWithoutClassesGetsOnlyTheBanner) {
  ExpectPage("main", kDemo, "首页", "demo", "");
}

TEST_F(HomePage, ListsEqualSortIdsByAscendingId) {
  h_.Sql(
      "insert into wap_classes (id,userid,type,classname,sortid) values "
      "(30,1,3,'c',2),(10,1,3,'a',2),(20,1,3,'b',1)");
  const auto line = [](const char* refs) {
    return "<p align=\"left\"><a href=\"/wap/lyb.asp?" + kSuffix + "&amp;\" title=\"\">" + refs +
           "</a></p>\r\n";
  };
  ExpectPage("main", kDemo, "首页", "demo", line("&#x62;") + line("&#x61;") + line("&#x63;"));
}

TEST_F(HomePage, CallEntryWithoutSettingDialsNothingAndEachEntryAsksAgain) {
  h_.Sql("insert into wap_classes (userid,type,classname,sortid) values (1,4,'T',1),(1,4,'U',2)");
  const std::string empty_call =
      "<p align=\"left\"><a href=\"wtai://wp/mc;\" title=\"\">&#x54;</a></p>\r\n"
      "<p align=\"left\"><a href=\"wtai://wp/mc;\" title=\"\">&#x55;</a></p>\r\n";
  ExpectPage("main", kDemo, "首页", "demo", empty_call);
  EXPECT_EQ(h_.Statements(),
            (std::vector<std::string>{"select * from wap_classes where userid=1 order by sortid,id",
                                      "select dircall from wap_setting where userid=1",
                                      "select dircall from wap_setting where userid=1"}));

  h_.Sql("insert into wap_setting (userid,dircall) values (1,'12&3'),(1,'999')");
  const std::string call =
      "<p align=\"left\"><a href=\"wtai://wp/mc;12&amp;3\" title=\"\">&#x54;</a></p>\r\n"
      "<p align=\"left\"><a href=\"wtai://wp/mc;12&amp;3\" title=\"\">&#x55;</a></p>\r\n";
  ExpectPage("main", kDemo, "首页", "demo", call);
}

TEST_F(HomePage, WritesClassNamesAsCharacterReferencesEverywhere) {
  h_.Sql(
      "insert into wap_classes (id,userid,type,classname,sortid) values "
      "(1,1,1,'<&>',1),(2,1,0,'新闻😀',2),(3,1,2,NULL,3)");
  const std::string body =
      "<p align=\"left\"><a href=\"/wap/newslist.asp?" + kSuffix +
      "&amp;id=1&amp;classname=&#x3C;&#x26;&#x3E;\">&#x3C;&#x26;&#x3E;</a></p>\r\n"
      "<p align=\"left\"><a href=\"/wap/showcontent.asp?" +
      kSuffix +
      "&amp;id=2&amp;classname=&#x65B0;&#x95FB;&#x1F600;\">&#x65B0;&#x95FB;&#x1F600;</a></p>\r\n"
      "<p align=\"left\"><a href=\"/wap/productlist.asp?" +
      kSuffix + "&amp;\" title=\"\"></a></p>\r\n";
  ExpectPage("main", kDemo, "首页", "demo", body);
}

TEST_F(HomePage, HostileSiteValuesStayInsideTheirAttributes) {
  h_.Sql("insert into wap_classes (userid,type,classname,sortid) values (1,3,'D',1)");
  const Pairs hostile = {{"userid", " 1 "}, {"username", "\"><b>x</b>"}, {"siteid", "&'"}};
  const std::string suffix =
      "userid= 1 &amp;username=&quot;&gt;&lt;b&gt;x&lt;/b&gt;&amp;siteid=&amp;&#39;";
  const std::string line = "<p align=\"left\"><a href=\"/wap/lyb.asp?" + suffix +
                           "&amp;\" title=\"\">&#x44;</a></p>\r\n";
  ExpectPage("main", hostile, "首页", "&quot;&gt;&lt;b&gt;x&lt;/b&gt;", line);
  EXPECT_EQ(h_.Statements().front(), "select * from wap_classes where userid=1 order by sortid,id");
}

TEST_F(HomePage, UserIdThatIsNoWholeNumberIsABadRequestWithoutStatement) {
  for (const Pairs& query :
       {Pairs{{"username", "demo"}}, Pairs{{"userid", ""}}, Pairs{{"userid", "1 or 1=1"}},
        Pairs{{"userid", "1;delete from wap_classes"}}, Pairs{{"userid", "1.0"}}}) {
    EXPECT_THROW(Run("main", query), host::RequestError) << testing_support::FormText(query);
    EXPECT_TRUE(h_.Statements().empty());
  }
}

}  // namespace
}  // namespace wap::page_test
