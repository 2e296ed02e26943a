// The editors of long texts say how many handset pages a text will take at the default deck
// limit, on the form as it is shown and on a "count" round that saves nothing: single content,
// news articles, product descriptions and guestbook replies, over HTTP as an owner's browser
// works. The count matches the parts the live page then makes.
#include <gtest/gtest.h>

#include <regex>

#include "support/back_office.h"
#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;

std::string Chinese(int characters) {
  std::string s;
  for (int i = 0; i < characters; ++i) s += i % 20 == 19 ? "。" : "中文字";
  return s.substr(0, static_cast<std::size_t>(characters) * 3);
}

// The largest page count the page shows (a guestbook shows one per message), 0 when none.
int ShownCount(const std::string& html) {
  const std::regex count("约分 (\\d+) 页显示");
  int largest = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), count);
       it != std::sregex_iterator(); ++it) {
    largest = std::max(largest, std::stoi((*it)[1]));
  }
  return largest;
}

class HandsetPages : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_.UseCookies(true);
    token_ = SignInOwner(owner_, "demo", "demo");
  }
  std::string One(const std::string& sql) const { return site_.Column(sql).at(0); }
  HttpResponse Post(const std::string& target, Pairs form) {
    form.emplace_back("token", token_);
    return owner_.Post(target, FormEncode(form));
  }

  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
  ServerProcess server_{site_.Path()};
  HttpClient owner_{server_.Port()};
  std::string token_;
};

TEST_F(HandsetPages, TheFormShowsTheCountOfTheStoredText) {
  const HttpResponse single = owner_.Get("/admin/contents.asp?cid=1");
  ASSERT_EQ(single.status, 200);
  EXPECT_EQ(ShownCount(single.body), 1);
  EXPECT_NE(single.body.find("name=\"count\""), std::string::npos);
  // A new article has no text yet, so no count.
  EXPECT_EQ(ShownCount(owner_.Get("/admin/contents.asp?cid=2").body), 0);
}

TEST_F(HandsetPages, ACountRoundShowsTheTypedTextsCountSavesNothingAndMatchesTheLivePage) {
  const std::string before = One("select content from wap_contents where cid=1");
  const std::string text = Chinese(5000);
  const HttpResponse counted =
      Post("/admin/contents.asp?cid=1", {{"act", "save"}, {"content", text}, {"count", "1"}});
  ASSERT_EQ(counted.status, 200);
  const int shown = ShownCount(counted.body);
  EXPECT_GT(shown, 10);
  EXPECT_NE(counted.body.find(text.substr(0, 300)), std::string::npos);  // the typed text stays
  EXPECT_EQ(One("select content from wap_contents where cid=1"), before);

  ASSERT_EQ(Post("/admin/contents.asp?cid=1", {{"act", "save"}, {"content", text}}).status, 302);
  HttpClient handset(server_.Port());
  const std::string live =
      handset
          .Get("/wap/showcontent.asp?userid=1&username=demo&siteid=1&id=1&classname=x",
               {{"Accept", "text/vnd.wap.wml"}})
          .body;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(live, m, std::regex("1/(\\d+)")));
  const int parts = std::stoi(m[1]);
  EXPECT_GE(shown, parts);
  EXPECT_LE(shown, parts + 1);
}

}  // namespace

namespace {

// The first handset view on `html` that holds `shows`, and the notes beside it.
std::pair<std::string, std::string> LookAndNotes(const std::string& html,
                                                 const std::string& shows) {
  for (std::size_t at = html.find("<div class=\"handset\">"); at != std::string::npos;
       at = html.find("<div class=\"handset\">", at + 1)) {
    const std::string look = html.substr(at, html.find("</div>", at) - at);
    if (look.find(shows) == std::string::npos) continue;
    const std::size_t notes = html.rfind("约分", at);
    return {look, notes == std::string::npos ? "" : html.substr(notes, at - notes)};
  }
  return {"", ""};
}

}  // namespace

TEST_F(HandsetPages, EditorsShowHowTheTextLooksAndSayWhatTheHandsetChanges) {
  const struct {
    const char* what;
    std::string target;
    Pairs form;
    std::string shows, note;  // in the handset view; in the notes ("" for none)
  } cases[] = {
      {"markup kept",
       "/admin/products.asp",
       {{"id", "2"}, {"pcontent", "<b>新</b>茶"}},
       "<b>新</b>茶",
       ""},
      {"a lone ampersand shows the markup as typed",
       "/admin/products.asp",
       {{"id", "2"}, {"pcontent", "<b>茶</b> & 壶"}},
       "&lt;b&gt;茶&lt;/b&gt; &amp; 壶",
       "标记不会生效"},
      {"line breaks of a plain text",
       "/admin/contents.asp?cid=1",
       {{"content", "一段\n二段"}},
       "&#x4E00;&#x6BB5;",
       "各段会连成一段"},
      {"line breaks of a reply",
       "/admin/guestbook.asp",
       {{"id", "3"}, {"hf", "好\r\n的"}},
       "好",
       "要换行请写"},
  };
  for (const auto& c : cases) {
    Pairs form = c.form;
    form.insert(form.end(),
                {{"act", c.target.find("guestbook") != std::string::npos ? "reply" : "save"},
                 {"pname", "x"},
                 {"count", "1"}});
    const HttpResponse shown = Post(c.target, form);
    ASSERT_EQ(shown.status, 200) << c.what;
    const auto [look, notes] = LookAndNotes(shown.body, c.shows);
    EXPECT_NE(look.find(c.shows), std::string::npos) << c.what << ": " << look;
    if (c.note.empty()) {
      EXPECT_EQ(notes.find("class=\"error\""), std::string::npos) << c.what << ": " << notes;
    } else {
      EXPECT_NE(notes.find(c.note), std::string::npos) << c.what << ": " << notes;
    }
  }
}
