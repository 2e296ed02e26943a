// Member login (checklogin) and logout.
#include <gtest/gtest.h>

#include "platform/host/request_error.h"
#include "unit/wap/page_test.h"
#include "wap/member/checklogin.h"

namespace wap::page_test {
namespace {

const std::string kSuffix = "userid=1&amp;username=demo&amp;siteid=9";
const std::string kFailed =
    "<p>&#x767B;&#x5F55;&#x5931;&#x8D25;&#xFF0C;&#x8BF7;&#x91CD;&#x65B0;&#x767B;&#x5F55;&#x3002;"
    "</p>";
const Pairs kSite = {{"userid", "1"}, {"username", "demo"}, {"siteid", "9"}};

class MemberLogin : public PageTest {
 protected:
  void SetUp() override {
    h_.App().Set("domain", "http://m.example");
    h_.Sql(
        "insert into web_member (id,m_id,m_name,m_password) values "
        "(5,1,'alice','pw'),(6,2,'alice','pw2'),(7,1,'o''neil','p''w'),(8,3,'twin','x'),"
        "(9,3,'twin','x')");
  }
  host::Response Login(const std::string& name, const std::string& password, Pairs query = kSite,
                       std::string_view accept = kWmlAccept) {
    return Run("checklogin", query, accept, {{"username", name}, {"password", password}});
  }
  void ExpectFailurePage(const std::string& name, const std::string& password,
                         Pairs query = kSite) {
    SCOPED_TRACE(name + " / " + password);
    const host::Response wml = Login(name, password, query);
    EXPECT_EQ(wml.Status(), 200);
    EXPECT_EQ(wml.Body(),
              WmlPage("蓝杉工坊", "demo", kFailed + HomeLink(kSuffix), "http://m.example"));
    EXPECT_TRUE(testing_support::ValidWml(wml.Body()));
    const host::Response xhtml = Login(name, password, query, kXhtmlAccept);
    EXPECT_EQ(xhtml.Body(),
              XhtmlPage("蓝杉工坊", "demo", kFailed + HomeLink(kSuffix), "http://m.example"));
    EXPECT_TRUE(testing_support::WellFormedXml(xhtml.Body()));
    EXPECT_FALSE(h_.Session().Get("memberid").has_value());
    EXPECT_EQ(h_.Session().Renewals(), 0);
  }
};

TEST_F(MemberLogin, GoodLoginRenewsTheSessionAndGoesHome) {
  const host::Response r = Login("alice", "pw");
  EXPECT_EQ(r.Status(), 302);
  EXPECT_EQ(r.Location(), "http://m.example/wap/index.asp?userid=1&username=demo&siteid=9");
  EXPECT_EQ(r.Body(), "");
  EXPECT_EQ(h_.Session().Get("memberid"), "5");
  EXPECT_EQ(h_.Session().Get("membername"), "alice");
  EXPECT_EQ(h_.Session().Renewals(), 1);
  EXPECT_EQ(h_.Statements(),
            std::vector<std::string>{"select * from web_member where m_Name='alice' And m_id=1 "
                                     "and m_password='pw'"});
}

TEST_F(MemberLogin, RedirectCarriesTheSiteValuesPercentEncoded) {
  const host::Response r =
      Login("alice", "pw", {{"userid", " 1"}, {"username", "张 三&x=y"}, {"siteid", "a/b"}});
  EXPECT_EQ(r.Location(),
            "http://m.example/wap/index.asp?userid=%201&username=%E5%BC%A0%20%E4%B8%89%26x%3Dy"
            "&siteid=a%2Fb");
}

TEST_F(MemberLogin, ComparesNameAndPasswordAsTyped) {
  EXPECT_EQ(Login("o'neil", "p'w").Status(), 302);
  EXPECT_EQ(h_.Session().Get("memberid"), "7");
  EXPECT_EQ(h_.Statements(),
            std::vector<std::string>{"select * from web_member where m_Name='o''neil' And m_id=1 "
                                     "and m_password='p''w'"});
}

TEST_F(MemberLogin, FirstMatchingRowDecides) {
  EXPECT_EQ(Login("twin", "x", {{"userid", "3"}}).Status(), 302);
  EXPECT_EQ(h_.Session().Get("memberid"), "8");
}

TEST_F(MemberLogin, FailedLoginsShowTheFailurePage) {
  ExpectFailurePage("alice", "wrong");
  ExpectFailurePage("Alice", "pw");
  ExpectFailurePage("", "");
  ExpectFailurePage("alice", "pw2");  // another site's member
  ExpectFailurePage("x' or '1'='1", "x' or '1'='1");
  ExpectFailurePage("alice'--", "");
  ExpectFailurePage("alice", "pw' or 'a'='a");
  EXPECT_EQ(h_.Statements().size(), 1u);
}

TEST_F(MemberLogin, NulInNameOrPasswordFailsWithoutStatement) {
  ExpectFailurePage(std::string("alice\0", 6), "pw");
  EXPECT_TRUE(h_.Statements().empty());
  ExpectFailurePage("alice", std::string("pw\0x", 4));
  EXPECT_TRUE(h_.Statements().empty());
}

TEST_F(MemberLogin, UserIdMustBeAWholeNumber) {
  for (const Pairs& query :
       {Pairs{}, Pairs{{"userid", ""}}, Pairs{{"Userid", "1 or 1=1"}}, Pairs{{"userid", "1.5"}}}) {
    EXPECT_THROW(Login("alice", "pw", query), host::RequestError)
        << testing_support::FormText(query);
    EXPECT_TRUE(h_.Statements().empty());
    EXPECT_FALSE(h_.Session().Get("memberid").has_value());
  }
}

TEST_F(MemberLogin, LogoutEmptiesTheValuesAndGoesHome) {
  ASSERT_EQ(Login("alice", "pw").Status(), 302);
  const host::Response r = Run("logout", kSite);
  EXPECT_EQ(r.Status(), 302);
  EXPECT_EQ(r.Location(), "http://m.example/wap/index.asp?userid=1&username=demo&siteid=9");
  EXPECT_EQ(h_.Session().Get("memberid"), "");
  EXPECT_EQ(h_.Session().Get("membername"), "");
}

TEST_F(MemberLogin, LogoutWithoutLoginStoresEmptyValues) {
  h_.App().Set("domain", "");
  host::LocalSession visitor;
  const std::unique_ptr<host::HostObject> page = CreateObject("logout");
  const host::Response r = h_.Run(*page, PageRequest{{}}, visitor);
  EXPECT_EQ(r.Location(), "/wap/index.asp?userid=&username=&siteid=");
  EXPECT_EQ(visitor.Get("memberid"), "");
  EXPECT_EQ(visitor.Get("membername"), "");
  EXPECT_TRUE(h_.Statements().empty());
}

}  // namespace
}  // namespace wap::page_test
