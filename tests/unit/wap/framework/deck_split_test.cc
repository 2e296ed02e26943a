#include "wap/framework/deck_split.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/markup_check.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/deck_budget.h"

namespace wap {
namespace {

using testing_support::ValidWml;

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML "
    "1.1//EN\" \"http://www.wapforum.org/DTD/wml_1.1.xml\">\r\n<wml>\r\n<card id=\"card1\" "
    "title=\"t\">\r\n";
const std::string kTail =
    "<p><a href=\"/wap/index.asp?userid=1&amp;\">home</a></p>\r\n"
    "  </card>\r\n</wml>\r\n";
const std::string kAddress = "shownews.asp?userid=1&amp;username=u&amp;siteid=1&amp;id=5";

std::string Chinese(int characters) {
  std::string s;
  const char* words[] = {"天", "地", "玄", "黄", "。", "宇", "宙", "洪", "荒", "，"};
  for (int i = 0; i < characters; ++i) s += words[i % 10];
  return s;
}

std::string StripTags(const std::string& markup) {
  return std::regex_replace(markup, std::regex("<[^>]*>"), "");
}

// The long part's markup of one part deck of a text split: between the opening paragraph and the
// part links.
std::string TextPiece(const std::string& deck, const std::string& before) {
  const std::size_t links = deck.rfind("<br/>");
  return deck.substr(before.size(), links - before.size());
}

TEST(SplitPage, LeavesAPageWithinItsLimitAsItIs) {
  const std::string text = ToCharRefs(Chinese(20));
  const std::string before = kHead + "<p align=\"left\">", after = "</p>\r\n" + kTail;
  const auto parts =
      SplitPage({before, text, after, LongPartKind::kText, kAddress}, 1400, CompiledWmlBytes);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0], before + text + after);
}

TEST(SplitPage, CutsALongTextIntoValidDecksWithinTheLimitHoldingItOnce) {
  // Character references, owner markup open across cuts, line breaks and plain text.
  const std::string text = ToCharRefs(Chinese(1500)) + "<b>" + ToCharRefs(Chinese(700)) +
                           "<br />bold &amp; more</b>\r\n" + std::string(900, 'x') + "<i>end</i>";
  const std::string before = kHead + "<p align=\"left\">", after = "</p>\r\n" + kTail;
  for (std::size_t limit : {std::size_t{1400}, std::size_t{3000}, std::size_t{300}}) {
    const auto parts =
        SplitPage({before, text, after, LongPartKind::kText, kAddress}, limit, CompiledWmlBytes);
    ASSERT_GT(parts.size(), 1u) << limit;
    std::string joined;
    for (std::size_t k = 0; k < parts.size(); ++k) {
      const std::string& deck = parts[k];
      EXPECT_TRUE(ValidWml(deck)) << limit << " part " << k + 1;
      if (limit >= 1400) {
        EXPECT_LE(CompiledWmlBytes(deck), limit) << "part " << k + 1;
      }
      const std::string piece = TextPiece(deck, before);
      EXPECT_FALSE(StripTags(piece).empty()) << "part " << k + 1;
      joined += piece;
      // Links to the neighbours only, carrying the page's address.
      EXPECT_EQ(deck.find(kAddress + "&amp;part=" + std::to_string(k)) != std::string::npos, k > 0);
      EXPECT_EQ(deck.find(kAddress + "&amp;part=" + std::to_string(k + 2)) != std::string::npos,
                k + 1 < parts.size());
      EXPECT_NE(deck.find(std::to_string(k + 1) + "/" + std::to_string(parts.size())),
                std::string::npos);
    }
    EXPECT_EQ(StripTags(joined), StripTags(text)) << limit;
  }
}

TEST(SplitPage, CutsALongListBetweenLinesOnly) {
  std::string lines;
  for (int i = 0; i < 40; ++i) {
    lines += "<p align=\"left\"><a href=\"/wap/newslist.asp?userid=1&amp;id=" + std::to_string(i) +
             "\">" + ToCharRefs(Chinese(8)) + "</a></p>\r\n";
  }
  const std::string before = kHead + "<p>banner</p>", after = kTail;
  const auto parts = SplitPage({before, lines, after, LongPartKind::kList,
                                "/wap/index.asp?userid=1&amp;username=u&amp;siteid=1"},
                               1400, CompiledWmlBytes);
  ASSERT_GT(parts.size(), 1u);
  std::string joined;
  for (const std::string& deck : parts) {
    EXPECT_TRUE(ValidWml(deck));
    EXPECT_LE(CompiledWmlBytes(deck), 1400u);
    // The part links are the paragraph in front of the page's own end.
    const std::size_t links = deck.rfind("<p>", deck.size() - after.size() - 1);
    const std::string piece = deck.substr(before.size(), links - before.size());
    EXPECT_TRUE(piece.ends_with("\r\n"));
    joined += piece;
  }
  EXPECT_EQ(joined, lines);
}

TEST(SplitPage, MeasuresXhtmlInMarkupBytes) {
  const std::string text = ToCharRefs(Chinese(3000));
  const std::string before = "<html><body><p>", after = "</p></body></html>";
  const auto measure = [](std::string_view p) { return p.size(); };
  const auto parts = SplitPage({before, text, after, LongPartKind::kText, kAddress}, 5000, measure);
  ASSERT_GT(parts.size(), 4u);
  std::string joined;
  for (const std::string& page : parts) {
    EXPECT_LE(page.size(), 5000u);
    EXPECT_TRUE(testing_support::WellFormedXml(page));
    joined += TextPiece(page, before);
  }
  EXPECT_EQ(joined, text);
}

}  // namespace
}  // namespace wap
