// The content list, single-content and news article pages.
#include <gtest/gtest.h>

#include "platform/host/request_error.h"
#include "unit/wap/page_test.h"

namespace wap::page_test {
namespace {

const std::string kSuffix = "userid=1&amp;username=demo&amp;siteid=9";
const std::string kNothing = "&#x6CA1;&#x6709;&#x76F8;&#x5173;&#x5185;&#x5BB9;";  // 没有相关内容
const std::string kOpen = "&#x6253;&#x5F00;";                                     // 打开

Pairs Site(Pairs extra) {
  Pairs q = {{"userid", "1"}, {"username", "demo"}, {"siteid", "9"}};
  q.insert(q.end(), extra.begin(), extra.end());
  return q;
}

class ContentPages : public PageTest {
 protected:
  void SetUp() override {
    h_.Sql(
        "insert into wap_classes (id,userid,type,classname,sortid) values "
        "(12,1,1,'N',1),(14,1,0,'S',2),(20,2,1,'X',1),(21,1,1,NULL,3);"
        "insert into wap_contents (id,cid,title,content,addtime) values "
        "(100,12,'t<1>','a&b','2024-05-06 07:08:09'),(101,12,'首','c',NULL),"
        "(102,14,'one','first\r\nline <br/>',NULL),(103,14,'two','second',NULL),"
        "(104,20,'x','other site',NULL),(105,21,NULL,NULL,NULL)");
  }
  std::string ArticleLink(int id, const std::string& title_refs) {
    return "<p align=\"left\"><a href=\"shownews.asp?" + kSuffix + "&amp;id=" + std::to_string(id) +
           "\" title=\"" + kOpen + "\">" + title_refs + "</a></p>\r\n";
  }
};

TEST_F(ContentPages, NewsListLinksEveryArticleUnderTheStoredClassName) {
  ExpectPage("newslist", Site({{"id", "12"}, {"classname", "ignored"}}), "&#x4E;", "demo",
             ArticleLink(100, "&#x74;&#x3C;&#x31;&#x3E;") + ArticleLink(101, "&#x9996;") +
                 HomeLink(kSuffix));
  EXPECT_EQ(h_.Statements(), std::vector<std::string>{"select * from v_wap_contents where cid=12"});
}

TEST_F(ContentPages, NewsListOfAnEmptyClassLinksHomeTwice) {
  const std::string home_again =
      "<p><a href=\"/wap/index.asp?" + kSuffix + "&amp;\">" + kNothing + "</a></p>\r\n";
  ExpectPage("newslist", Site({{"id", "13"}, {"classname", "新<"}}), "&#x65B0;&#x3C;", "demo",
             home_again + HomeLink(kSuffix));
  ExpectPage("newslist", Site({{"id", "13"}}), "", "demo", home_again + HomeLink(kSuffix));
}

TEST_F(ContentPages, NewsListSelectsByClassIdAloneAndRendersNullAsEmpty) {
  // Another site's class is listed whatever userid the request carries.
  ExpectPage("newslist", Site({{"id", "20"}}), "&#x58;", "demo",
             ArticleLink(104, "&#x78;") + HomeLink(kSuffix));
  ExpectPage("newslist", Site({{"id", "21"}}), "", "demo",
             ArticleLink(105, "") + HomeLink(kSuffix));
}

TEST_F(ContentPages, IdsAreRoundedSmallIntegers) {
  const struct {
    const char* id;
    const char* sql;
  } cases[] = {
      {"12.5", "select * from v_wap_contents where cid=12"},
      {"13.5", "select * from v_wap_contents where cid=14"},
      {" -7 ", "select * from v_wap_contents where cid=-7"},
      {nullptr, "select * from v_wap_contents where cid=0"},
  };
  for (const auto& c : cases) {
    Render("newslist", c.id ? Site({{"id", c.id}}) : Site({}));
    EXPECT_EQ(h_.Statements(), std::vector<std::string>{c.sql}) << (c.id ? c.id : "absent");
  }
}

TEST_F(ContentPages, BadIdsAreBadRequestsWithoutStatement) {
  for (const char* page : {"newslist", "showcontent", "shownews"}) {
    for (const char* id : {"", "abc", "32768", "-32769", "1e2", "12;drop table wap_classes"}) {
      EXPECT_THROW(Run(page, Site({{"id", id}})), host::RequestError) << page << " id=" << id;
      EXPECT_TRUE(h_.Statements().empty()) << page << " id=" << id;
    }
  }
}

TEST_F(ContentPages, SingleContentShowsTheFirstRowAsCharacterReferences) {
  const std::string content =
      "&#x66;&#x69;&#x72;&#x73;&#x74;&#xD;&#xA;&#x6C;&#x69;&#x6E;&#x65;&#x20;&#x3C;&#x62;&#x72;"
      "&#x2F;&#x3E;";
  ExpectPage("showcontent", Site({{"id", "14"}, {"classname", "x"}}), "&#x53;", "demo",
             "<p align=\"left\">" + content + "</p>\r\n" + HomeLink(kSuffix));
}

TEST_F(ContentPages, SingleContentOfAnEmptyClassSaysSo) {
  ExpectPage("showcontent", Site({{"id", "99"}, {"classname", "关于"}}), "&#x5173;&#x4E8E;", "demo",
             "<p align=\"left\">" + kNothing + "</p>\r\n" + HomeLink(kSuffix));
  ExpectPage("showcontent", Site({{"id", "21"}}), "", "demo",
             "<p align=\"left\"></p>\r\n" + HomeLink(kSuffix));
}

TEST_F(ContentPages, ArticleShowsItsTimeThenItsText) {
  const std::string time =
      "&#x32;&#x30;&#x32;&#x34;&#x2D;&#x30;&#x35;&#x2D;&#x30;&#x36;&#x20;&#x30;&#x37;&#x3A;&#x30;"
      "&#x38;&#x3A;&#x30;&#x39;";
  ExpectPage("shownews", Site({{"id", "100"}}), "&#x4E;", "demo",
             "<p align=\"left\">" + time + "</p>\r\n<p align=\"left\">&#x61;&#x26;&#x62;</p>\r\n" +
                 HomeLink(kSuffix));
  EXPECT_EQ(h_.Statements(), std::vector<std::string>{"select * from v_wap_contents where id=100"});
  // A NULL time is left out.
  ExpectPage("shownews", Site({{"id", "101"}}), "&#x4E;", "demo",
             "<p align=\"left\">&#x63;</p>\r\n" + HomeLink(kSuffix));
  // NULL class name and content are empty.
  ExpectPage("shownews", Site({{"id", "105"}}), "", "demo",
             "<p align=\"left\"></p>\r\n" + HomeLink(kSuffix));
}

TEST_F(ContentPages, MissingArticleGetsTheFixedTitle) {
  ExpectPage("shownews", Site({}), "蓝杉工坊", "demo",
             "<p align=\"left\">" + kNothing + "</p>\r\n" + HomeLink(kSuffix));
  EXPECT_EQ(h_.Statements(), std::vector<std::string>{"select * from v_wap_contents where id=0"});
}

}  // namespace
}  // namespace wap::page_test
