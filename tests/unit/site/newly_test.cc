#include "site/newly.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "platform/host/application.h"
#include "platform/host/request_error.h"
#include "unit/site/site_page_test.h"
#include "wap/framework/char_refs.h"

namespace site::site_test {
namespace {

using wap::ToCharRefs;

const Pairs kSite = {{"userid", "12"}, {"username", "demo"}, {"siteid", "3"}};

std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string Repeat(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

class NewMessage : public SitePageTest {
 protected:
  void SetUp() override {
    h_.App().Set("domain", "http://m.example.com");
    h_.Sql("insert into wap_lyb (userid,lyr,title,content) values (13,'other','t','c')");
  }
  // The messages of member 12 as (lyr, title, content, lytime, hf, hftime).
  std::vector<std::vector<std::string>> Messages() {
    std::vector<std::vector<std::string>> rows;
    for (const auto& row :
         h_.Query("select lyr,title,content,lytime,hf,hftime from wap_lyb where userid=12")) {
      std::vector<std::string> texts;
      for (const auto& v : row) texts.push_back(v.IsNull() ? "NULL" : v.ToText());
      rows.push_back(texts);
    }
    return rows;
  }
};

TEST_F(NewMessage, ShowsAFormPostingToItselfInBothMarkups) {
  const std::string wml = Render("newly", kSite, kWmlAccept);
  EXPECT_NE(wml.find("<go href=\"newly.asp?userid=12&amp;username=demo&amp;siteid=3\" "
                     "method=\"post\" accept-charset=\"utf-8\"><postfield name=\"lyr\" "
                     "value=\"$(lyr)\"/><postfield name=\"title\" value=\"$(title)\"/>"
                     "<postfield name=\"content\" value=\"$(content)\"/></go>"),
            std::string::npos)
      << wml;
  EXPECT_NE(wml.find("title=\"" + ToCharRefs("填写留言") + "\""), std::string::npos);
  const std::string xhtml = Render("newly", kSite, kXhtmlAccept);
  EXPECT_NE(xhtml.find("<form action=\"newly.asp?userid=12&amp;username=demo&amp;siteid=3\" "
                       "method=\"post\""),
            std::string::npos)
      << xhtml;
  for (const char* field : {"name=\"lyr\"", "name=\"title\"", "<textarea name=\"content\""}) {
    EXPECT_NE(xhtml.find(field), std::string::npos) << field;
  }
  EXPECT_NE(xhtml.find("<a href=\"lyb.asp?userid=12&amp;username=demo&amp;siteid=3\">"),
            std::string::npos);
  EXPECT_TRUE(h_.Statements().empty());
}

TEST_F(NewMessage, AValidPostIsStoredAsTypedAndRedirectsToTheGuestbook) {
  const struct {
    const char* lyr;
    const char* title;
    const char* content;
  } cases[] = {
      {"Tom", "Hi", "It's fine"},
      {"x'); delete from wap_lyb; --", "<b>&\"", "a\\b'c 中文\r\nline two"},
      {"' or '1'='1", "$(title)", "%00 \\' --"},
  };
  const Pairs site = {{"userid", "12"}, {"username", "demo x"}, {"siteid", "3"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lyr);
    h_.Sql("delete from wap_lyb where userid=12");
    const std::string before = LocalTimeNow();
    const host::Response r = Run("newly", site, kWmlAccept,
                                 {{"lyr", c.lyr}, {"title", c.title}, {"content", c.content}});
    const std::string after = LocalTimeNow();
    EXPECT_EQ(r.Status(), 302);
    EXPECT_EQ(r.Location(),
              "http://m.example.com/wap/lyb.asp?userid=12&username=demo%20x&siteid=3");
    const auto rows = Messages();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], c.lyr);
    EXPECT_EQ(rows[0][1], c.title);
    EXPECT_EQ(rows[0][2], c.content);
    EXPECT_TRUE(std::regex_match(rows[0][3], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
        << rows[0][3];
    EXPECT_LE(before, rows[0][3]);
    EXPECT_LE(rows[0][3], after);
    EXPECT_EQ(rows[0][4], "NULL");
    EXPECT_EQ(rows[0][5], "NULL");
    EXPECT_EQ(h_.Query("select count(*) from wap_lyb where userid=13")[0][0].ToText(), "1");
  }
}

TEST_F(NewMessage, RefusesEmptyOverlongOrUnstorableFieldsOnTheFormPage) {
  const std::string ok_name = Repeat("名", 50);
  const struct {
    Pairs form;
    const char* problem;
  } cases[] = {
      {{{"title", "t"}, {"content", "c"}}, "请填写姓名。"},
      {{{"lyr", " \t"}, {"title", "t"}, {"content", "c"}}, "请填写姓名。"},
      {{{"lyr", "n"}, {"title", "　"}, {"content", "c"}}, "请填写标题。"},
      {{{"lyr", "n"}, {"title", "t"}, {"content", ""}}, "请填写内容。"},
      {{{"lyr", Repeat("名", 51)}, {"title", "t"}, {"content", "c"}}, "姓名不能超过50个字。"},
      {{{"lyr", ok_name}, {"title", Repeat("x", 101)}, {"content", "c"}}, "标题不能超过100个字。"},
      {{{"lyr", "n"}, {"title", "t"}, {"content", Repeat("字", 1001)}}, "内容不能超过1000个字。"},
      {{{"lyr", "n"}, {"title", "t"}, {"content", std::string("a\0b", 3)}},
       "内容含有不能保存的字符。"},
  };
  for (const auto& c : cases) {
    for (const auto accept : {kWmlAccept, kXhtmlAccept}) {
      SCOPED_TRACE(std::string(c.problem) + " " + std::string(accept));
      const std::string page = Render("newly", kSite, accept, c.form);
      EXPECT_NE(page.find("<p>" + ToCharRefs(c.problem) + "</p>"), std::string::npos) << page;
      EXPECT_TRUE(h_.Statements().empty());
    }
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(NewMessage, TheLimitsCountCharactersNotBytes) {
  const host::Response r = Run(
      "newly", kSite, kWmlAccept,
      {{"lyr", Repeat("名", 50)}, {"title", Repeat("题", 100)}, {"content", Repeat("字", 1000)}});
  EXPECT_EQ(r.Status(), 302);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0][2], Repeat("字", 1000));
}

TEST_F(NewMessage, KeepsWhatWasTypedEscapedForTheMarkup) {
  const Pairs form = {{"lyr", "<Tom & \"$x\">"}, {"title", ""}, {"content", "</textarea>&'$"}};
  const std::string wml = Render("newly", kSite, kWmlAccept, form);
  EXPECT_NE(wml.find("value=\"&lt;Tom &amp; &quot;$$x&quot;&gt;\""), std::string::npos) << wml;
  EXPECT_NE(wml.find("value=\"&lt;/textarea&gt;&amp;&#39;$$\""), std::string::npos) << wml;
  const std::string xhtml = Render("newly", kSite, kXhtmlAccept, form);
  EXPECT_NE(xhtml.find("value=\"&lt;Tom &amp; &quot;$x&quot;&gt;\""), std::string::npos) << xhtml;
  EXPECT_NE(xhtml.find(">&lt;/textarea&gt;&amp;&#39;$</textarea>"), std::string::npos) << xhtml;
}

TEST_F(NewMessage, TheKeywordFilterEndsTheResponseWithoutStoring) {
  const host::Response r =
      Run("newly", kSite, kWmlAccept, {{"lyr", "n"}, {"title", "t"}, {"content", "Select"}});
  EXPECT_TRUE(r.Ended());
  EXPECT_EQ(r.Body(), "");
  EXPECT_TRUE(h_.Statements().empty());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(NewMessage, AnswersABadRequestForAUseridThatIsNotAWholeNumber) {
  const Pairs form = {{"lyr", "n"}, {"title", "t"}, {"content", "c"}};
  for (const char* userid : {"12 or 1=1", "", "12;"}) {
    EXPECT_THROW(Run("newly", {{"userid", userid}}, kWmlAccept, form), host::RequestError)
        << userid;
    EXPECT_TRUE(h_.Statements().empty()) << userid;
  }
  EXPECT_THROW(Run("newly", {}, kWmlAccept, form), host::RequestError);
  EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace site::site_test
