#include "wap/pages/productlist.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/host/request_error.h"
#include "unit/wap/page_test.h"

namespace wap::page_test {
namespace {

const std::string kSuffix = "userid=1&amp;username=demo&amp;siteid=9";
const std::string kTitle = "&#x4EA7;&#x54C1;&#x5C55;&#x793A;";  // 产品展示

Pairs Site(std::optional<std::string> page) {
  Pairs q = {{"userid", "1"}, {"username", "demo"}, {"siteid", "9"}};
  if (page) q.emplace_back("Page", *page);
  return q;
}

std::string FirstPrevious(int previous) {
  return "<p><a href=\"productlist.asp?" + kSuffix +
         "&amp;Page=1\">&#x7B2C;&#x4E00;&#x9875;</a> <a href=\"productlist.asp?" + kSuffix +
         "&amp;Page=" + std::to_string(previous) + "\">&#x4E0A;&#x4E00;&#x9875;</a></p>";
}

std::string NextLast(int next, int last) {
  return "<p><a href=\"productlist.asp?" + kSuffix + "&amp;Page=" + std::to_string(next) +
         "\">&#x4E0B;&#x4E00;&#x9875;</a> <a href=\"productlist.asp?" + kSuffix +
         "&amp;Page=" + std::to_string(last) + "\">&#x6700;&#x540E;&#x9875;</a></p>";
}

std::string Product(int n) {
  const std::string s = std::to_string(n);
  return "<p>P" + s + "<br /><img alt=\"\" src=\"/waphome/demo/upfile/p" + s + ".jpg\" /><br /> D" +
         s + "</p>\r\n";
}

class ProductList : public PageTest {
 protected:
  void AddProducts(int count) {
    for (int i = 1; i <= count; ++i) {
      const std::string s = std::to_string(i);
      h_.Sql("insert into wap_product (id,userid,pname,ppic,pcontent) values (" + s + ",1,'P" + s +
             "','p" + s + ".jpg','D" + s + "')");
    }
    h_.Sql("insert into wap_product (id,userid,pname) values (99,2,'other site')");
  }
  void ExpectList(std::optional<std::string> page, const std::string& navigation,
                  const std::string& product) {
    ExpectPage("productlist", Site(page), kTitle, "demo",
               navigation + product + navigation + HomeLink(kSuffix));
  }
};

TEST_F(ProductList, PagesOneProductAtATimeNewestFirst) {
  AddProducts(3);  // shown in the order 3, 2, 1
  const struct {
    std::optional<std::string> page;
    int product;
    std::optional<int> previous;
    std::optional<int> next;
  } cases[] = {
      {std::nullopt, 3, std::nullopt, 1},  // absent: the next link repeats page 1
      {"1", 3, std::nullopt, 2},
      {"2", 2, 1, 3},
      {"3", 1, 2, std::nullopt},
      {"5", 1, 4, 6},  // beyond the end: the last product
      {"0", 3, std::nullopt, 1},
      {"-2", 3, std::nullopt, -1},
      {"2.5", 2, 1, 3},  // rounds to 2
      {" 2 ", 2, 1, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page.value_or("absent"));
    const std::string nav =
        (c.previous ? FirstPrevious(*c.previous) : "") + (c.next ? NextLast(*c.next, 3) : "");
    ExpectList(c.page, nav, Product(c.product));
  }
  // The last request's page, asked of the database: the count, then the page and the row after.
  EXPECT_EQ(h_.Statements(),
            (std::vector<std::string>{
                "select count(*) from (\nselect * from wap_product where userid=1\n) w",
                "select * from wap_product where userid=1 order by id desc\nLIMIT ? OFFSET ?\t2, 1"}));
}

TEST_F(ProductList, OneProductOrNone) {
  ExpectList(std::nullopt, "", "");     // empty, no page value: only the home link
  ExpectList("1", NextLast(2, 0), "");  // empty with a page value is no error
  ExpectList("3", FirstPrevious(2) + NextLast(4, 0), "");
  AddProducts(1);
  ExpectList(std::nullopt, NextLast(1, 1), Product(1));
  ExpectList("1", "", Product(1));
}

TEST_F(ProductList, BadPageValuesAreBadRequests) {
  AddProducts(3);
  for (const char* page : {"", "x", "32768", "-32769", "1e1", "32767"}) {
    EXPECT_THROW(Run("productlist", Site(page)), host::RequestError) << page;
  }
}

TEST_F(ProductList, LastOfAFullRangeIsNoOverflow) {
  h_.Sql(
      "with recursive n(i) as (select 1 union all select i+1 from n where i<32767) "
      "insert into wap_product (id,userid,pname,ppic,pcontent) "
      "select i,1,'P'||i,'p'||i||'.jpg','D'||i from n");
  ExpectList("32767", FirstPrevious(32766), Product(1));
}

TEST_F(ProductList, UserIdMustBeAWholeNumber) {
  for (const char* userid : {"", "1 or 1=1", "1)", "abc"}) {
    EXPECT_THROW(Run("productlist", {{"userid", userid}}), host::RequestError) << userid;
    EXPECT_TRUE(h_.Statements().empty());
  }
  EXPECT_THROW(Run("productlist", {}), host::RequestError);
}

TEST_F(ProductList, OwnerMarkupIsKeptAndEverythingElseEscaped) {
  const struct {
    const char* pname;
    const char* ppic;
    const char* pcontent;
    std::string line;
  } cases[] = {
      {"<b>Bold</b> &amp; more", "a.jpg", "line<br/>two",
       "<p><b>Bold</b> &amp; more<br /><img alt=\"\" src=\"/waphome/demo/upfile/a.jpg\" /><br /> "
       "line<br/>two</p>\r\n"},
      {"Tom & Jerry", "a'b\".jpg", "<script>x</script>",
       "<p>Tom &amp; Jerry<br /><img alt=\"\" src=\"/waphome/demo/upfile/a&#39;b&quot;.jpg\" />"
       "<br /> &lt;script&gt;x&lt;/script&gt;</p>\r\n"},
      {nullptr, nullptr, nullptr,
       "<p><br /><img alt=\"\" src=\"/waphome/demo/upfile/\" /><br /> </p>\r\n"},
  };
  for (const auto& c : cases) {
    h_.Sql("delete from wap_product");
    const auto literal = [](const char* s) {
      if (s == nullptr) return std::string("NULL");
      std::string out = "'";
      for (const char* p = s; *p; ++p) out += (*p == '\'') ? std::string("''") : std::string(1, *p);
      return out + "'";
    };
    h_.Sql("insert into wap_product (userid,pname,ppic,pcontent) values (1," + literal(c.pname) +
           "," + literal(c.ppic) + "," + literal(c.pcontent) + ")");
    ExpectList("1", "", c.line);
  }
}

}  // namespace
}  // namespace wap::page_test
