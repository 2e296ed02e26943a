#include "wap/pages/lyb.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/host/request_error.h"
#include "unit/wap/page_test.h"

namespace wap::page_test {
namespace {

const std::string kSuffix = "userid=1&amp;username=demo&amp;siteid=9";
const std::string kTitle = "&#x7559;&#x8A00;&#x677F;";  // 留言板

Pairs Site(std::optional<std::string> page) {
  Pairs q = {{"userid", "1"}, {"username", "demo"}, {"siteid", "9"}};
  if (page) q.emplace_back("page", *page);
  return q;
}

std::string NewMessageLink(const std::string& domain = "") {
  return "<p align=\"left\"><a href=\"" + domain + "/wap/newly.asp?" + kSuffix +
         "&amp;\" title=\"\">&#x586B;&#x5199;&#x7559;&#x8A00;</a></p>\r\n";
}

std::string FirstPrevious(int previous) {
  return "<p><a href=\"lyb.asp?" + kSuffix + "&amp;Page=1\">第一页</a> <a href=\"lyb.asp?" +
         kSuffix + "&amp;Page=" + std::to_string(previous) + "\">上一页</a></p>";
}

std::string NextLast(int next, int last) {
  return "<p><a href=\"lyb.asp?" + kSuffix + "&amp;Page=" + std::to_string(next) +
         "\">下一页</a> <a href=\"lyb.asp?" + kSuffix + "&amp;Page=" + std::to_string(last) +
         "\">最后页</a></p>";
}

// A message of the rows AddMessages writes.
std::string Entry(int n) {
  const std::string s = std::to_string(n);
  std::string e = "<p>W" + s + "：T" + s + "<br />2024-01-0" + s + " 10:00:00<br /> C" + s;
  if (n % 2 == 0) e += "\r\n回复：<br />R" + s + "(2024-02-0" + s + " 11:00:00)";
  return e + "</p>\r\n";
}

class Guestbook : public PageTest {
 protected:
  // Messages 1..count; the even ones carry a reply.
  void AddMessages(int count) {
    for (int i = 1; i <= count; ++i) {
      const std::string s = std::to_string(i);
      const bool reply = i % 2 == 0;
      h_.Sql("insert into wap_lyb (id,userid,lyr,title,lytime,content,hf,hftime) values (" + s +
             ",1,'W" + s + "','T" + s + "','2024-01-0" + s + " 10:00:00','C" + s + "'," +
             (reply ? "'R" + s + "','2024-02-0" + s + " 11:00:00'" : "'unused',NULL") + ")");
    }
    h_.Sql("insert into wap_lyb (id,userid,lyr) values (99,2,'other site')");
  }
  void ExpectBook(std::optional<std::string> page, const std::string& navigation,
                  const std::string& entry, const std::string& domain = "") {
    ExpectPage("lyb", Site(page), kTitle, "demo",
               NewMessageLink(domain) + navigation + entry + navigation + NewMessageLink(domain) +
                   HomeLink(kSuffix),
               domain);
  }
};

TEST_F(Guestbook, PagesOneMessageAtATimeNewestFirst) {
  AddMessages(3);  // shown in the order 3, 2, 1
  const struct {
    std::optional<std::string> page;
    int message;
    std::optional<int> previous;
    std::optional<int> next;
  } cases[] = {
      {std::nullopt, 3, std::nullopt, 1},
      {"1", 3, std::nullopt, 2},
      {"2", 2, 1, 3},
      {"3", 1, 2, std::nullopt},
      {"7", 1, 6, 8},
      {"0", 3, std::nullopt, 1},
      {"-1", 3, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page.value_or("absent"));
    const std::string nav =
        (c.previous ? FirstPrevious(*c.previous) : "") + (c.next ? NextLast(*c.next, 3) : "");
    ExpectBook(c.page, nav, Entry(c.message));
  }
  // The last request's page, asked of the database: the count, then the page and the row after.
  EXPECT_EQ(h_.Statements(),
            (std::vector<std::string>{
                "select count(*) from (\nselect * from wap_lyb where userid=1\n) w",
                "select * from wap_lyb where userid=1 order by id desc\nLIMIT ? OFFSET ?\t2, 0"}));
}

TEST_F(Guestbook, EmptyGuestbook) {
  h_.App().Set("domain", "http://m.example");
  ExpectBook(std::nullopt, "", "", "http://m.example");
  ExpectBook("2", FirstPrevious(1) + NextLast(3, 0), "", "http://m.example");
}

TEST_F(Guestbook, ReplyLineOnlyWhenTheReplyHasATime) {
  h_.Sql(
      "insert into wap_lyb (id,userid,lyr,title,lytime,content,hf,hftime) values "
      "(1,1,'a','b','t','c','ignored',''),(2,1,'a','b','t','c','',"
      "'2024-03-04 05:06:07')");
  ExpectBook("1", NextLast(2, 2),
             "<p>a：b<br />t<br /> c\r\n回复：<br />(2024-03-04 05:06:07)</p>\r\n");
  ExpectBook("2", FirstPrevious(1), "<p>a：b<br />t<br /> c</p>\r\n");
}

TEST_F(Guestbook, VisitorTextsAreEscapedAndOwnerMarkupKept) {
  h_.Sql(
      "insert into wap_lyb (id,userid,lyr,title,lytime,content,hf,hftime) values "
      "(1,1,'<b>me</b>','\"hi\" & bye','<t>','<script>alert(1)</script>',"
      "'<b>thanks</b><br/>&amp; welcome','<t2>')");
  ExpectBook("1", "",
             "<p>&lt;b&gt;me&lt;/b&gt;：&quot;hi&quot; &amp; bye<br />&lt;t&gt;<br /> "
             "&lt;script&gt;alert(1)&lt;/script&gt;\r\n"
             "回复：<br /><b>thanks</b><br/>&amp; welcome(&lt;t2&gt;)</p>\r\n");
  h_.Sql("update wap_lyb set hf='<i>unclosed', lyr=NULL, title=NULL, content=NULL");
  ExpectBook("1", "",
             "<p>：<br />&lt;t&gt;<br /> \r\n回复：<br />&lt;i&gt;unclosed(&lt;t2&gt;)</p>\r\n");
}

TEST_F(Guestbook, BadValuesAreBadRequests) {
  AddMessages(2);
  for (const char* page : {"", "two", "32768", "32767"}) {
    EXPECT_THROW(Run("lyb", Site(page)), host::RequestError) << page;
  }
  for (const char* userid : {"", "1 or 1=1", "-"}) {
    EXPECT_THROW(Run("lyb", {{"userid", userid}}), host::RequestError) << userid;
    EXPECT_TRUE(h_.Statements().empty());
  }
}

}  // namespace
}  // namespace wap::page_test
