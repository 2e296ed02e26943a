// Pages over the deck limit, over HTTP: a site with a 5,000-character article and single content,
// a 1,000-character product description, a 500-character guestbook reply, 40 classes and a news
// class of 60 articles (tests/data/long_site.sql). Every WML part, compiled by xml2wbxml, is within
// the limit (the default 1,400 bytes, or a declared client SDU of 3,000), valid against the WML
// 1.1 DTD, and the parts together hold the whole text (or list) exactly once. XHTML pages split
// the same way over their markup limit.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <regex>

#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"
#include "support/wbxml.h"

namespace {

using namespace testing_support;

constexpr const char* kWml = "text/vnd.wap.wml, image/vnd.wap.wbmp";
constexpr const char* kXhtml = "application/xhtml+xml, text/html;q=0.9";
const std::string kSite = "userid=20&username=long&siteid=20";

class LongPages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = std::make_unique<TempDir>();
    site_ = std::make_unique<DemoRoot>(root_->path() / "site");
    site_->ExecuteFile(std::string(WAPSITE_SOURCE_DIR) + "/tests/data/long_site.sql");
    server_ = std::make_unique<ServerProcess>(site_->Path());
  }
  static void TearDownTestSuite() {
    for (const auto& [kind, bytes] : largest_) {
      std::cout << "largest compiled deck, " << kind << ": " << bytes << " bytes\n";
    }
    server_.reset(), site_.reset(), root_.reset();
  }

  // Every part of the page at `target` (part 1 first, then as its counter says), checked: 200,
  // valid, within `limit` compiled (WML) or in markup bytes (XHTML).
  static std::vector<std::string> Parts(const std::string& target, std::size_t limit,
                                        const char* accept = kWml, Pairs headers = {}) {
    headers.emplace_back("Accept", accept);
    std::vector<std::string> parts;
    std::size_t count = 1;
    for (std::size_t k = 1; k <= count; ++k) {
      HttpClient client(server_->Port());
      const HttpResponse r = client.Get(target + "&part=" + std::to_string(k), headers);
      EXPECT_EQ(r.status, 200) << target;
      EXPECT_TRUE(ValidPage(r.body)) << target << " part " << k;
      const std::size_t bytes = accept == kWml ? XmlToWbxmlBytes(r.body) : r.body.size();
      EXPECT_LE(bytes, limit) << target << " part " << k;
      const std::string kind = target.substr(0, target.find('?')) + " " +
                               (accept == kWml ? "WML " : "XHTML ") + std::to_string(limit);
      largest_[kind] = std::max(largest_[kind], bytes);
      std::smatch m;
      if (k == 1 && std::regex_search(r.body, m, std::regex(" ?1/(\\d+)"))) {
        count = std::stoul(m[1]);
      }
      // A part links to its neighbours only, and says which part of how many it is.
      const auto links_to = [&](std::size_t n) {
        return r.body.find("part=" + std::to_string(n) + "\"") != std::string::npos;
      };
      EXPECT_EQ(links_to(k - 1), k > 1) << target << " part " << k;
      EXPECT_EQ(links_to(k + 1), k < count) << target << " part " << k;
      if (count > 1) {
        EXPECT_NE(r.body.find(std::to_string(k) + "/" + std::to_string(count)), std::string::npos);
      }
      parts.push_back(r.body);
    }
    return parts;
  }

  // The text of what `xpath` selects in each part without the part links, joined.
  static std::string Joined(const std::vector<std::string>& parts, const std::string& xpath) {
    std::string joined;
    const std::regex links("(上一屏 )?\\d+/\\d+( 下一屏)?$");
    for (const std::string& part : parts) {
      joined += std::regex_replace(XPathString(part, "string(" + xpath + ")"), links, "");
    }
    return joined;
  }

  static std::string Column(const std::string& sql) { return site_->Column(sql).at(0); }

  static inline std::unique_ptr<TempDir> root_;
  static inline std::unique_ptr<DemoRoot> site_;
  static inline std::unique_ptr<ServerProcess> server_;
  static inline std::map<std::string, std::size_t> largest_;
};

TEST_F(LongPages, ALongArticleAndSingleContentContinueOverDecksWithinTheLimit) {
  const struct {
    std::string target, sql;
  } pages[] = {
      {"/wap/shownews.asp?" + kSite + "&id=2001", "select content from wap_contents where id=2001"},
      {"/wap/showcontent.asp?" + kSite + "&id=2001&classname=x",
       "select content from wap_contents where id=2002"},
  };
  for (const auto& page : pages) {
    const std::string text = Column(page.sql);
    const auto parts = Parts(page.target, 1400);
    EXPECT_GT(parts.size(), 10u) << page.target;
    EXPECT_EQ(Joined(parts, "//p[@align='left'][last()]"), text) << page.target;
    const auto pages_xhtml = Parts(page.target, 20000, kXhtml);
    EXPECT_GE(pages_xhtml.size(), 2u);
    EXPECT_EQ(Joined(pages_xhtml, "//*[local-name()='p'][@align='left'][last()]"), text);
  }
}

TEST_F(LongPages, ALongProductDescriptionAndReplyKeepTheirMarkupAcrossDecks) {
  const std::string target = "/wap/productlist.asp?" + kSite;
  const std::string plain = std::regex_replace(
      Column("select pcontent from wap_product where id=2001"), std::regex("<[^>]*>"), "");
  for (std::size_t limit : {std::size_t{1400}, std::size_t{3000}}) {
    const Pairs declared = limit == 1400 ? Pairs{} : Pairs{{"x-up-devcap-max-pdu", "3000"}};
    const auto parts = Parts(target, limit, kWml, declared);
    EXPECT_GT(parts.size(), 1u);
    EXPECT_EQ(Joined(parts, "//p[contains(., '/')]"), "长产品 " + plain);
  }
  const std::string reply = Column("select hf from wap_lyb where id=2001");
  const std::string message = Column("select content from wap_lyb where id=2001");
  for (std::size_t limit : {std::size_t{1400}, std::size_t{3000}}) {
    const Pairs declared = limit == 1400 ? Pairs{} : Pairs{{"X-WAP-Client-SDU-Size", "3000"}};
    // Within 3,000 bytes the whole entry fits on one deck.
    const auto parts = Parts("/wap/lyb.asp?" + kSite, limit, kWml, declared);
    EXPECT_EQ(parts.size() > 1, limit == 1400);
    EXPECT_EQ(
        Joined(parts, "//p[contains(., '/') or contains(., '回复')]"),
        "访客：问题2024-05-06 07:08:09 " + message + "\n回复：" + reply + "(2024-05-07 08:09:10)");
  }
}

TEST_F(LongPages, FortyClassesAndSixtyArticlesContinueOverDecksEachListedOnce) {
  std::vector<std::string> names, titles;
  for (const auto& part : Parts("/wap/index.asp?" + kSite, 1400)) {
    for (auto& n : XPathStrings(part, "//p[@align='left']/a")) names.push_back(n);
  }
  for (const auto& part : Parts("/wap/newslist.asp?" + kSite + "&id=2002&classname=n", 1400)) {
    for (auto& t : XPathStrings(part, "//p[@align='left']/a")) titles.push_back(t);
  }
  EXPECT_EQ(names,
            site_->Column("select classname from wap_classes where userid=20 order by sortid, id"));
  EXPECT_EQ(titles, site_->Column("select title from wap_contents where cid=2002 order by id"));
}

TEST_F(LongPages, AGarbagePartFallsBackOnTheFirstOrLastPart) {
  const std::string target = "/wap/shownews.asp?" + kSite + "&id=2001";
  HttpClient client(server_->Port());
  const std::string first = client.Get(target, {{"Accept", kWml}}).body;
  EXPECT_EQ(client.Get(target + "&part=abc", {{"Accept", kWml}}).body, first);
  EXPECT_EQ(client.Get(target + "&part=-3", {{"Accept", kWml}}).body, first);
  const std::string last = client.Get(target + "&part=99999", {{"Accept", kWml}}).body;
  EXPECT_TRUE(ValidWml(last));
  EXPECT_EQ(last.find("下一屏"), std::string::npos);
  EXPECT_NE(last.find("上一屏"), std::string::npos);
}

}  // namespace
