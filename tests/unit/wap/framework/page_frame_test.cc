#include "wap/framework/page_frame.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/host/request_error.h"
#include "unit/wap/page_test.h"
#include "wap/framework/page_context.h"

namespace wap::page_test {
namespace {

class PageFrame : public PageTest {
 protected:
  host::Response RunScripted(std::function<void()> body, const Pairs& query,
                             std::string_view accept = kWmlAccept) {
    ScriptedPage page(std::move(body));
    return h_.Run(page, PageRequest{query, {}, std::string(accept)});
  }
};

const Pairs kSite = {{"userid", "1"}, {"username", "demo"}, {"siteid", "3"}};

TEST_F(PageFrame, PageWithoutBodyOrTitleKeepsThePlaceholders) {
  const host::Response wml = RunScripted({}, kSite, kWmlAccept);
  EXPECT_EQ(wml.Body(), WmlPage("$$card_title$$", "demo", ""));
  EXPECT_TRUE(testing_support::ValidWml(wml.Body()));
  EXPECT_EQ(wml.ContentType(), "text/vnd.wap.wml");

  const host::Response xhtml = RunScripted({}, kSite, kXhtmlAccept);
  EXPECT_EQ(xhtml.Body(), XhtmlPage("", "demo", ""));
  EXPECT_TRUE(testing_support::WellFormedXml(xhtml.Body()));
  EXPECT_EQ(xhtml.ContentType(), "text/html");
}

TEST_F(PageFrame, SendsTheNoCacheHeaders) {
  const auto before = std::chrono::system_clock::now();
  const host::Response r = RunScripted({}, kSite);
  const std::vector<host::Response::Header> expected = {{"pragma", "no-cache"},
                                                        {"cache-control", "private"}};
  EXPECT_EQ(r.Headers(), expected);
  EXPECT_EQ(r.CacheControl(), "no-cache");
  ASSERT_TRUE(r.ExpiresAt().has_value());
  // ExpiresAbsolute (a day ago) is earlier than Expires 0 (now), so it is the one sent.
  EXPECT_LE(*r.ExpiresAt(), before - std::chrono::hours(23));
}

TEST_F(PageFrame, ChoosesWmlOnlyForALowerCaseWmlInTheAcceptHeader) {
  const struct {
    const char* accept;
    bool wml;
  } cases[] = {
      {"text/vnd.wap.wml", true},
      {"text/html, text/vnd.wap.wml;q=0.5, */*", true},
      {"application/vnd.wap.wmlc", true},
      {"TEXT/VND.WAP.WML", false},
      {"*/*", false},
      {"", false},
  };
  for (const auto& c : cases) {
    const host::Response r = RunScripted({}, kSite, c.accept);
    EXPECT_EQ(r.Body().find("<wml>") != std::string::npos, c.wml) << c.accept;
    EXPECT_EQ(r.ContentType(), c.wml ? "text/vnd.wap.wml" : "text/html") << c.accept;
  }
}

TEST_F(PageFrame, MissingSiteValuesLeaveEmptyPlaces) {
  const host::Response r = RunScripted([] { AppendHomeLink(); }, {}, kXhtmlAccept);
  EXPECT_EQ(r.Body(), XhtmlPage("", "", HomeLink("userid=&amp;username=&amp;siteid=")));
}

TEST_F(PageFrame, SetPageTitleFillsThePlaceholderOnce) {
  const auto twice = [] {
    SetPageTitle("");
    SetPageTitle("say \"x\"");
  };
  // WML: the first call (even an empty title) consumes the placeholder.
  EXPECT_EQ(RunScripted(twice, kSite).Body(), WmlPage("", "demo", ""));
  // XHTML: an empty title leaves "<title></title>", which the second call fills.
  EXPECT_EQ(RunScripted(twice, kSite, kXhtmlAccept).Body(), XhtmlPage("say \"x\"", "demo", ""));
  const auto quote = [] { SetPageTitle("say \"x\""); };
  EXPECT_EQ(RunScripted(quote, kSite).Body(), WmlPage("say \"x\"", "demo", ""));
}

TEST_F(PageFrame, EscapesRequestValuesInTheHeaderAndTheLinkSuffix) {
  const Pairs hostile = {{"userid", "1\"><x>"}, {"username", "a&b'c"}, {"siteid", "<"}};
  const std::string suffix =
      "userid=1&quot;&gt;&lt;x&gt;&amp;username=a&amp;b&#39;c&amp;siteid=&lt;";
  const auto body = [] { AppendHomeLink(); };
  const std::string wml = RunScripted(body, hostile).Body();
  EXPECT_EQ(wml, WmlPage("$$card_title$$", "a&amp;b&#39;c", HomeLink(suffix)));
  EXPECT_TRUE(testing_support::ValidWml(wml));
  EXPECT_TRUE(testing_support::WellFormedXml(RunScripted(body, hostile, kXhtmlAccept).Body()));
}

TEST_F(PageFrame, WritesThePageOnceAtPageEnd) {
  bool empty_while_building = false;
  const host::Response r = RunScripted(
      [&] {
        PageContext::Current().page += "<p>x</p>\r\n";
        empty_while_building = PageContext::Current().response->Body().empty();
      },
      kSite);
  EXPECT_TRUE(empty_while_building);
  EXPECT_EQ(r.Body(), WmlPage("$$card_title$$", "demo", "<p>x</p>\r\n"));
}

TEST_F(PageFrame, SecondRequestOnTheThreadStartsAfresh) {
  const auto first = [] {
    SetPageTitle("first");
    PageContext::Current().page += "<p>first</p>\r\n";
  };
  EXPECT_EQ(RunScripted(first, kSite).Body(), WmlPage("first", "demo", "<p>first</p>\r\n"));
  const host::Response second = RunScripted({}, {{"username", "other"}});
  EXPECT_EQ(second.Body(), WmlPage("$$card_title$$", "other", ""));
  EXPECT_FALSE(PageContext::HasCurrent());
}

TEST_F(PageFrame, EndPageClosesWhatThePageLeftOpenOrReleased) {
  const auto opened_and_left = [] {
    PageContext& c = PageContext::Current();
    c.recordset->Open("select * from wap_classes", *c.connection);
  };
  const auto closed_and_released = [] {
    PageContext& c = PageContext::Current();
    c.recordset->Open("select * from wap_classes", *c.connection);
    c.recordset->Close();
    c.recordset.reset();
  };
  const std::function<void()> bodies[] = {opened_and_left, closed_and_released};
  for (const auto& body : bodies) {
    EXPECT_EQ(RunScripted(body, kSite).Status(), 200);
    // The connection went back to the pool.
    EXPECT_EQ(h_.Pool().IdleCount(PageHarness::kConnectionString), 1u);
  }
}

TEST_F(PageFrame, ContextIsUninstalledWhenThePageThrows) {
  ScriptedPage page([] { throw host::RequestError("bad"); });
  EXPECT_THROW(h_.Run(page, PageRequest{kSite}), host::RequestError);
  EXPECT_FALSE(PageContext::HasCurrent());
  EXPECT_THROW(PageContext::Current(), std::logic_error);
}

}  // namespace
}  // namespace wap::page_test
