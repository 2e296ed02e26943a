// The demo member site over HTTP: every page reachable from the home page, in both markups, is
// valid (WML against the DTD, XHTML well-formed); a few pages are compared byte for byte; bad
// request values are answered with 400.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/demo_root.h"
#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "unit/wap/expected_page.h"

namespace {

using testing_support::HttpClient;
using testing_support::HttpResponse;
using wap::page_test::HomeLink;
using wap::page_test::WmlPage;
using wap::page_test::XhtmlPage;

constexpr const char* kWml = "text/vnd.wap.wml, image/vnd.wap.wbmp, */*";
constexpr const char* kXhtml = "application/xhtml+xml, text/html;q=0.9, */*;q=0.8";
const std::string kHome = "/wap/index.asp?userid=1&username=demo&siteid=1";
const std::string kSuffix = "userid=1&amp;username=demo&amp;siteid=1";

// `utf8` as hexadecimal character references, one per character (the demo's texts are all in the
// Basic Multilingual Plane).
std::string Refs(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::uint32_t cp = len == 1 ? c : c & (0x3F >> (len - 1));
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    char buf[16];
    std::snprintf(buf, sizeof buf, "&#x%X;", cp);
    out += buf;
    i += static_cast<std::size_t>(len);
  }
  return out;
}

// The value of an href attribute as the address it means: entity and character references
// resolved.
std::string Unescape(std::string_view v) {
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '&') {
      out.push_back(v[i]);
      continue;
    }
    const std::size_t semi = v.find(';', i);
    const std::string_view ref = v.substr(i + 1, semi - i - 1);
    if (ref == "amp")
      out += '&';
    else if (ref == "lt")
      out += '<';
    else if (ref == "gt")
      out += '>';
    else if (ref == "quot")
      out += '"';
    else if (ref == "apos")
      out += '\'';
    else if (!ref.empty() && ref[0] == '#') {
      const bool hex = ref.size() > 1 && ref[1] == 'x';
      const std::uint32_t cp =
          std::stoul(std::string(ref.substr(hex ? 2 : 1)), nullptr, hex ? 16 : 10);
      if (cp < 0x80) {
        out += static_cast<char>(cp);
      } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
      }
    }
    i = semi;
  }
  return out;
}

// An address as a request target: non-ASCII bytes and blanks percent-encoded.
std::string Target(std::string_view address) {
  std::string out;
  for (const char ch : address) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80 || c == ' ') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out;
}

// The site addresses a page links to, resolved against the /wap/ folder.
std::vector<std::string> LinksOf(const std::string& body) {
  static const std::regex kHref("href=\"([^\"]*)\"");
  std::vector<std::string> links;
  for (auto it = std::sregex_iterator(body.begin(), body.end(), kHref);
       it != std::sregex_iterator(); ++it) {
    const std::string address = Unescape((*it)[1].str());
    if (address.rfind("wtai:", 0) == 0) continue;
    if (address.rfind("/waphome/", 0) == 0) continue;  // the style sheet
    links.push_back(address.front() == '/' ? address : "/wap/" + address);
  }
  return links;
}

class DemoSite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = std::make_unique<testing_support::TempDir>();
    site_ = std::make_unique<testing_support::DemoRoot>(root_->path() / "site");
    server_ = std::make_unique<testing_support::ServerProcess>(site_->Path());
  }
  static void TearDownTestSuite() {
    if (server_) {
      EXPECT_EQ(server_->Stop(), 0);
    }
    server_.reset();
    site_.reset();
    root_.reset();
  }

  HttpResponse Get(const std::string& address, const char* accept) {
    HttpClient client("127.0.0.1", server_->Port());
    return client.Get(Target(address), {{"Accept", accept}});
  }

  static std::unique_ptr<testing_support::TempDir> root_;
  static std::unique_ptr<testing_support::DemoRoot> site_;
  static std::unique_ptr<testing_support::ServerProcess> server_;
};

std::unique_ptr<testing_support::TempDir> DemoSite::root_;
std::unique_ptr<testing_support::DemoRoot> DemoSite::site_;
std::unique_ptr<testing_support::ServerProcess> DemoSite::server_;

TEST_F(DemoSite, EveryLinkedPageIsValidInBothMarkups) {
  for (const char* accept : {kWml, kXhtml}) {
    SCOPED_TRACE(accept);
    const bool wml = std::string_view(accept).find("wml") != std::string_view::npos;
    std::set<std::string> seen = {kHome};
    std::vector<std::string> queue = {kHome};
    while (!queue.empty()) {
      const std::string address = queue.back();
      queue.pop_back();
      const HttpResponse r = Get(address, accept);
      ASSERT_EQ(r.status, 200) << address << "\n" << r.body;
      if (wml) {
        EXPECT_EQ(r.Header("Content-Type"), "text/vnd.wap.wml; charset=utf-8") << address;
        EXPECT_TRUE(testing_support::ValidWml(r.body)) << address;
      } else {
        EXPECT_TRUE(testing_support::WellFormedXml(r.body)) << address;
      }
      for (const std::string& link : LinksOf(r.body)) {
        if (seen.insert(link).second) queue.push_back(link);
      }
    }
    // Every kind of page was reached: both news lists, every article, every product and message.
    const auto reached = [&](const std::string& prefix) {
      int n = 0;
      for (const std::string& s : seen) n += s.rfind(prefix, 0) == 0;
      return n;
    };
    EXPECT_EQ(reached("/wap/newslist.asp?"), 2);
    EXPECT_EQ(reached("/wap/showcontent.asp?"), 1);
    EXPECT_EQ(reached("/wap/shownews.asp?"), 5);
    for (int page = 1; page <= 6; ++page) {
      const std::string p = "&Page=" + std::to_string(page);
      EXPECT_TRUE(seen.count("/wap/productlist.asp?userid=1&username=demo&siteid=1" + p)) << p;
      EXPECT_TRUE(seen.count("/wap/lyb.asp?userid=1&username=demo&siteid=1" + p)) << p;
    }
    EXPECT_GE(reached("/wap/newly.asp?"), 1);
  }
}

TEST_F(DemoSite, HomePageIsExact) {
  const auto line = [](const std::string& href, const std::string& name, bool titled) {
    return "<p align=\"left\"><a href=\"" + href + (titled ? "\" title=\"\">" : "\">") +
           Refs(name) + "</a></p>\r\n";
  };
  const std::string body =
      "<p><img src=\"/waphome/demo/upfile/logo.gif\" alt=\"Logo\"/></p>" +
      line("/wap/showcontent.asp?" + kSuffix + "&amp;id=1&amp;classname=" + Refs("关于我们"),
           "关于我们", false) +
      line("/wap/newslist.asp?" + kSuffix + "&amp;id=2&amp;classname=" + Refs("茶庄新闻"),
           "茶庄新闻", false) +
      line("/wap/newslist.asp?" + kSuffix + "&amp;id=3&amp;classname=" + Refs("茶艺知识"),
           "茶艺知识", false) +
      line("/wap/productlist.asp?" + kSuffix + "&amp;", "产品展示", true) +
      line("/wap/lyb.asp?" + kSuffix + "&amp;", "在线留言", true) +
      line("wtai://wp/mc;13800138000", "电话订购", true);
  EXPECT_EQ(Get(kHome, kWml).body, WmlPage("首页", "demo", body));
  EXPECT_EQ(Get(kHome, kXhtml).body, XhtmlPage("首页", "demo", body));
}

TEST_F(DemoSite, NewsListAndArticleAreExact) {
  const auto article = [](int id, const std::string& title) {
    return "<p align=\"left\"><a href=\"shownews.asp?" + kSuffix + "&amp;id=" + std::to_string(id) +
           "\" title=\"" + Refs("打开") + "\">" + Refs(title) + "</a></p>\r\n";
  };
  EXPECT_EQ(Get("/wap/newslist.asp?userid=1&username=demo&siteid=1&id=2&classname=x", kWml).body,
            WmlPage(Refs("茶庄新闻"), "demo",
                    article(2, "明前龙井新茶到店") + article(3, "清风茶庄五一营业时间") +
                        article(4, "第二家分店开业") + HomeLink(kSuffix)));
  EXPECT_EQ(
      Get("/wap/shownews.asp?userid=1&username=demo&siteid=1&id=3", kXhtml).body,
      XhtmlPage(
          Refs("茶庄新闻"), "demo",
          "<p align=\"left\">" + Refs("2024-04-26 16:40:00") + "</p>\r\n<p align=\"left\">" +
              Refs("五一期间茶庄照常营业，营业时间为上午九点至晚上九点。节日期间购买任意茶叶，"
                   "均赠送精美茶样一份。") +
              "</p>\r\n" + HomeLink(kSuffix)));
}

TEST_F(DemoSite, ProductAndGuestbookPagesAreExact) {
  const std::string nav =
      "<p><a href=\"productlist.asp?" + kSuffix + "&amp;Page=1\">" + Refs("第一页") +
      "</a> <a href=\"productlist.asp?" + kSuffix + "&amp;Page=1\">" + Refs("上一页") +
      "</a></p><p><a href=\"productlist.asp?" + kSuffix + "&amp;Page=3\">" + Refs("下一页") +
      "</a> <a href=\"productlist.asp?" + kSuffix + "&amp;Page=6\">" + Refs("最后页") + "</a></p>";
  const std::string product =
      "<p>黄山毛峰<br /><img alt=\"\" src=\"/waphome/demo/upfile/maofeng.jpg\" /><br /> "
      "芽头肥壮，清香高长，滋味鲜浓，每罐二百五十克。</p>\r\n";
  EXPECT_EQ(Get("/wap/productlist.asp?userid=1&username=demo&siteid=1&Page=2", kWml).body,
            WmlPage(Refs("产品展示"), "demo", nav + product + nav + HomeLink(kSuffix)));

  const std::string link = "<p align=\"left\"><a href=\"/wap/newly.asp?" + kSuffix +
                           "&amp;\" title=\"\">" + Refs("填写留言") + "</a></p>\r\n";
  const std::string lyb_nav =
      "<p><a href=\"lyb.asp?" + kSuffix + "&amp;Page=1\">第一页</a> <a href=\"lyb.asp?" + kSuffix +
      "&amp;Page=2\">上一页</a></p><p><a href=\"lyb.asp?" + kSuffix +
      "&amp;Page=4\">下一页</a> <a href=\"lyb.asp?" + kSuffix + "&amp;Page=6\">最后页</a></p>";
  const std::string entry =
      "<p>陈同学：分店地址<br />2024-05-20 12:30:00<br /> "
      "想去新开的分店看看，请问具体在文化街哪个位置。\r\n"
      "回复：<br />分店在文化街十八号，书店旁边，欢迎光临。(2024-05-20 17:00:00)</p>\r\n";
  EXPECT_EQ(Get("/wap/lyb.asp?userid=1&username=demo&siteid=1&Page=3", kXhtml).body,
            XhtmlPage(Refs("留言板"), "demo",
                      link + lyb_nav + entry + lyb_nav + link + HomeLink(kSuffix)));
}

TEST_F(DemoSite, BadRequestValuesAreAnswered400) {
  for (const char* address : {
           "/wap/index.asp?username=demo",
           "/wap/index.asp?userid=1%20or%201=1",
           "/wap/newslist.asp?userid=1&id=abc",
           "/wap/showcontent.asp?userid=1&id=",
           "/wap/shownews.asp?userid=1&id=40000",
           "/wap/productlist.asp?userid=1&Page=x",
           "/wap/productlist.asp?userid=1&Page=32767",
           "/wap/lyb.asp?userid=1x",
       }) {
    const HttpResponse r = Get(address, kWml);
    EXPECT_EQ(r.status, 400) << address << "\n" << r.body;
  }
}

TEST_F(DemoSite, KeywordValueGetsAnEmptyAnswer) {
  const HttpResponse r = Get("/wap/index.asp?userid=1&username=demo&siteid=select", kWml);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "");
}

}  // namespace
