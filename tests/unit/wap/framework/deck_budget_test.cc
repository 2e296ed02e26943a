#include "wap/framework/deck_budget.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "support/temp_dir.h"
#include "support/wbxml.h"

namespace wap {
namespace {

using testing_support::XmlToWbxmlBytes;

// The estimate is an upper bound of the real compiled size, and close to it.
void ExpectCloseAbove(const std::string& deck, const std::string& what) {
  const std::size_t real = XmlToWbxmlBytes(deck);
  const std::size_t estimate = CompiledWmlBytes(deck);
  EXPECT_GE(estimate, real) << what;
  EXPECT_LE(estimate * 4, real * 5) << what << ": estimate " << estimate << ", real " << real;
}

TEST(CompiledWmlBytes, BoundsEveryGoldenDeckFromAboveWithinAQuarter) {
  int decks = 0;
  for (const auto& entry : std::filesystem::directory_iterator(
           std::filesystem::path(WAPSITE_SOURCE_DIR) / "tests/data/golden")) {
    if (entry.path().extension() != ".wml") continue;
    ExpectCloseAbove(testing_support::ReadFile(entry.path()), entry.path().filename().string());
    ++decks;
  }
  EXPECT_GT(decks, 10);
}

std::string Deck(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD "
         "WML "
         "1.1//EN\" \"http://www.wapforum.org/DTD/wml_1.1.xml\">\r\n<wml>\r\n<card id=\"card1\" "
         "title=\"&#x9996;&#x9875;\">\r\n" +
         body + "  </card>\r\n</wml>\r\n";
}

TEST(CompiledWmlBytes, BoundsRecurringStringsTokensAndLongTextsFromAbove) {
  const std::string link = "<a href=\"lyb.asp?userid=1&amp;username=demo&amp;Page=2\">next</a>";
  const struct {
    const char* what;
    std::string body;
  } cases[] = {
      {"short recurring strings", "<p>abcd<br/>abcd<br/>abc<br/>abc<br/>  abcd  </p>\r\n"},
      {"recurring links", "<p>" + link + " " + link + "</p><p>" + link + "</p>\r\n"},
      {"value tokens",
       "<p><a href=\"http://www.x.com/a\" title=\"x.com/yz\">a</a>"
       "<a href=\"http://www.x.com/a\" title=\"x.com/yz\">a</a></p>"},
      {"owner markup", "<p>Tom &amp; Jerry<b>bold</b><i>it</i><br /> &lt;x&gt; $$ </p>"},
      {"long Chinese text", "<p align=\"left\">" + std::string(600, 'x') +
                                [] {
                                  std::string s;
                                  for (int i = 0; i < 400; ++i) s += "&#x4E2D;";
                                  return s;
                                }() +
                                "</p>\r\n"},
  };
  for (const auto& c : cases) ExpectCloseAbove(Deck(c.body), c.what);
}

host::Request WithHeaders(host::Request::ServerVariables headers) {
  return host::Request({}, {}, {}, std::move(headers));
}

TEST(PageByteLimit, TakesTheDeclaredSizeIgnoringGarbageAndRaisingTinyValues) {
  host::Application app;
  const struct {
    const char* sdu;
    const char* pdu;
    std::size_t expected;
  } cases[] = {
      {"", "", 1400},     {"3000", "", 3000},     {" 3000 ", "", 3000},
      {"", "2500", 2500}, {"3000", "2500", 3000}, {"0", "", 1400},
      {"-5", "", 1400},   {"abc", "", 1400},      {"99999999999", "", 1400},
      {"1e9", "", 1400},  {"120", "", 300},       {"0", "2000", 2000},
  };
  for (const auto& c : cases) {
    host::Request::ServerVariables vars;
    if (*c.sdu) vars.emplace_back("HTTP_X_WAP_CLIENT_SDU_SIZE", c.sdu);
    if (*c.pdu) vars.emplace_back("HTTP_X_UP_DEVCAP_MAX_PDU", c.pdu);
    EXPECT_EQ(PageByteLimit(WithHeaders(vars), app, true), c.expected) << c.sdu << "/" << c.pdu;
  }
}

TEST(PageByteLimit, FallsBackOnTheServersSettingsAndNeverLetsXhtmlReadTheSdu) {
  host::Application app;
  const host::Request declared = WithHeaders({{"HTTP_X_WAP_CLIENT_SDU_SIZE", "3000"}});
  EXPECT_EQ(PageByteLimit(declared, app, false), 20000u);
  app.Set(std::string(kWmlDeckBytesSetting), "2000");
  app.Set(std::string(kXhtmlPageBytesSetting), "5000");
  EXPECT_EQ(PageByteLimit(WithHeaders({}), app, true), 2000u);
  EXPECT_EQ(PageByteLimit(declared, app, true), 3000u);
  EXPECT_EQ(PageByteLimit(declared, app, false), 5000u);
  app.Set(std::string(kWmlDeckBytesSetting), "junk");
  EXPECT_EQ(PageByteLimit(WithHeaders({}), app, true), 1400u);
}

}  // namespace
}  // namespace wap
