// The back office's editors over HTTP: each kind of row (single content, news, products,
// guestbook replies, site members) created, changed and deleted by its owner, refused (404,
// nothing changed) to another owner, over-long texts refused whole; product pictures replaced
// with their old files removed, the logo upload, a picture that cannot be written changing no row
// and no file; a visitor's plain password hashed at its next login. The live pages show the
// changes and stay DTD-valid WML.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <regex>

#include "support/back_office.h"
#include "support/demo_pages.h"
#include "support/server_process.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

const Pairs kWml = {{"Accept", "text/vnd.wap.wml"}};
// A 1×1 GIF, as small as a picture gets.
const std::string kGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00"
    "\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
    43);

// Every file under `folder`, by path, with its bytes.
std::map<std::string, std::string> Files(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().string()] = ReadFile(entry.path());
  }
  return files;
}

class BackOfficeEditors : public testing::Test {
 protected:
  void SetUp() override {
    demo_.UseCookies(true);
    token_ = SignInOwner(demo_, "demo", "demo");
  }
  // A second owner, signed in with shop_ (a password hash each: only in the tests that need it).
  void SignInShop() {
    ASSERT_EQ(AddOwner(site_.Path(), "shop"), "2\n");
    shop_.UseCookies(true);
    shop_token_ = SignInOwner(shop_, "shop", "shop-pw");
  }
  std::string One(const std::string& sql) const {
    const auto rows = site_.Column(sql);
    return rows.empty() ? "none" : rows[0];
  }

  fs::path Upfile(const std::string& name) const {
    return site_.Path() / "waphome" / "demo" / "upfile" / name;
  }

  TempDir dir_;
  DemoRoot site_{dir_.path() / "site"};
  ServerProcess server_{site_.Path()};
  HttpClient demo_{server_.Port()}, shop_{server_.Port()};
  std::string token_, shop_token_;
};

TEST_F(BackOfficeEditors, OwnersChangeTheirOwnRowsOnlyAndOverlongTextsAreRefusedWhole) {
  SignInShop();
  for (const char* type : {"1", "0"}) {
    ASSERT_EQ(shop_
                  .Post("/admin/class.asp", FormEncode({{"submit", "新建"},
                                                        {"classname", type},
                                                        {"type", type},
                                                        {"token", shop_token_}}))
                  .status,
              302);
  }
  const std::string shop_news = One("select id from wap_classes where userid=2 and type=1");
  const std::string shop_single = One("select id from wap_classes where userid=2 and type=0");
  const std::string long_title(101, 'x'), long_reply = std::string(500, 'x') + "长";
  const std::string article =
      "select title||'/'||(select count(*) from wap_contents where cid=2) from wap_contents where "
      "cid=2 order by id desc limit 1";
  const std::string intro = "select content from wap_contents where cid=1";
  const std::string title3 = "select title from wap_contents where id=3";
  const std::string reply3 = "select hf from wap_lyb where id=3";
  const std::string member1 = "select count(*) from web_member where id=1";
  // The form is url-encoded, the token added; `check` is a query and `expected` its first value.
  const struct {
    const char* what;
    bool by_demo;
    std::string target, form;
    int status;
    std::string check, expected;
  } cases[] = {
      {"single content edited", true, "/admin/contents.asp?cid=1", "act=save&content=新的介绍", 302,
       intro, "新的介绍"},
      {"another owner's class", false, "/admin/contents.asp?cid=1", "act=save&content=x", 404,
       intro, "新的介绍"},
      {"first text of a single-content class", false, "/admin/contents.asp?cid=" + shop_single,
       "act=save&content=店", 302,
       "select content||count(*) from wap_contents where cid=" + shop_single + " group by content",
       "店1"},
      {"news written", true, "/admin/contents.asp?cid=2", "act=save&title=Z新闻&content=正文", 302,
       article, "Z新闻/4"},
      {"news title over its limit", true, "/admin/contents.asp?cid=2",
       "act=save&title=" + long_title, 200, article, "Z新闻/4"},
      {"news edited", true, "/admin/contents.asp?cid=2", "act=save&id=3&title=改过", 302, title3,
       "改过"},
      {"another owner's article in one's own class", false, "/admin/contents.asp?cid=" + shop_news,
       "act=delete&id=3", 404, title3, "改过"},
      {"news deleted", true, "/admin/contents.asp?cid=2", "act=delete&id=3", 302,
       "select count(*) from wap_contents where id=3", "0"},
      {"reply written", true, "/admin/guestbook.asp", "act=reply&id=3&hf=<b>有货</b>", 302,
       "select hf||case when hftime is null then '' else '@' end from wap_lyb where id=3",
       "<b>有货</b>@"},
      {"reply over its limit", true, "/admin/guestbook.asp", "act=reply&id=3&hf=" + long_reply, 200,
       reply3, "<b>有货</b>"},
      {"another owner replies", false, "/admin/guestbook.asp", "act=reply&id=3&hf=x", 404, reply3,
       "<b>有货</b>"},
      {"reply removed", true, "/admin/guestbook.asp", "act=unreply&id=1", 302,
       "select coalesce(hf,'~')||case when hftime is null then '~' else '@' end from wap_lyb "
       "where id=1",
       "~~"},
      {"another owner deletes a message", false, "/admin/guestbook.asp", "act=delete&id=4", 404,
       "select count(*) from wap_lyb where id=4", "1"},
      {"message deleted", true, "/admin/guestbook.asp", "act=delete&id=4", 302,
       "select count(*) from wap_lyb where id=4", "0"},
      {"another owner deletes a product", false, "/admin/products.asp", "act=delete&id=2", 404,
       "select count(*) from wap_product where id=2", "1"},
      {"product name over its limit", true, "/admin/products.asp",
       "act=save&id=2&pname=" + std::string(51, 'x'), 200,
       "select pname from wap_product where id=2", "安溪铁观音"},
      {"member added", true, "/admin/members.asp", "act=add&m_name=neo&password=neo-pw", 302,
       "select substr(m_password,1,10) from web_member where m_name='neo'", "$argon2id$"},
      {"member name taken", true, "/admin/members.asp", "act=add&m_name=neo&password=x", 200,
       "select count(*) from web_member where m_name='neo'", "1"},
      {"another owner's member", false, "/admin/members.asp", "act=delete&id=1", 404, member1, "1"},
      {"member removed", true, "/admin/members.asp", "act=delete&id=1", 302, member1, "0"},
  };
  for (const auto& c : cases) {
    HttpClient& client = c.by_demo ? demo_ : shop_;
    const HttpResponse r = client.Post(
        c.target, c.form + "&" + FormEncode({{"token", c.by_demo ? token_ : shop_token_}}));
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(One(c.check), c.expected) << c.what;
    if (c.status == 200) {
      EXPECT_NE(r.body.find("class=\"error\""), std::string::npos) << c.what;  // says why
    }
  }
  // The editors' pages list the owner's rows and link the live page; a refused change is also
  // refused without the token.
  EXPECT_NE(demo_.Get("/admin/contents.asp?cid=2").body.find("Z新闻"), std::string::npos);
  EXPECT_EQ(shop_.Get("/admin/contents.asp?cid=2&edit=2").status, 404);
  EXPECT_EQ(demo_.Post("/admin/members.asp", "act=add&m_name=x&password=y").status, 403);
  EXPECT_EQ(One("select count(*) from web_member where m_name='x'"), "0");

  // The handset pages show the changes, as valid WML; the editors' previews show the signed-in
  // owner's page in either markup, whatever site the query names.
  const std::string site = "userid=1&username=demo&siteid=1";
  const struct {
    std::string page, query, shows;
  } live[] = {
      {"showcontent", "&id=1&classname=x", "新的介绍"},
      {"newslist", "&id=2&classname=x", "Z新闻"},
      {"lyb", "&Page=3", "有货"},  // one message a page: 6, 5, 3
  };
  for (const auto& l : live) {
    const HttpResponse r = demo_.Get("/wap/" + l.page + ".asp?" + site + l.query, kWml);
    EXPECT_TRUE(ValidWml(r.body)) << l.page;
    EXPECT_NE(XPathString(r.body, "string(/)").find(l.shows), std::string::npos) << l.page;
    const HttpResponse wml =
        demo_.Get("/admin/preview.asp?markup=wml&source=1&of=" + l.page + l.query + "&userid=2");
    EXPECT_EQ(wml.body, r.body) << l.page;
    EXPECT_EQ(wml.Header("Content-Type"), "text/plain; charset=utf-8");
    // Without source=1 the card is shown as a handset shows it, within the back office's page.
    const std::string card = demo_.Get("/admin/preview.asp?markup=wml&of=" + l.page + l.query).body;
    EXPECT_TRUE(WellFormedXml(
        card.substr(card.find("<section"), card.find("</section>") + 10 - card.find("<section"))))
        << card;
    EXPECT_EQ(card.find("<wml>"), std::string::npos) << l.page;
    const HttpResponse xhtml = demo_.Get("/admin/preview.asp?markup=xhtml&of=" + l.page + l.query);
    EXPECT_TRUE(WellFormedXml(xhtml.body)) << l.page;
    EXPECT_NE(XPathString(xhtml.body, "string(/)").find(l.shows), std::string::npos) << l.page;
  }
  EXPECT_EQ(demo_.Get("/admin/preview.asp?markup=wml&of=checklogin").status, 404);
  EXPECT_EQ(HttpClient(server_.Port()).Get("/admin/preview.asp?markup=wml&of=lyb").status, 302);
}

TEST_F(BackOfficeEditors, PicturesReplaceTheOldFileOnlyWhenTheNewOneIsStored) {
  SignInShop();
  const std::string logo = ReadFile(Upfile("logo.gif"));
  EXPECT_EQ(PostPicture(demo_, "/admin/settings.asp", {{"act", "logo"}}, kGif, token_).status, 302);
  const std::string stored_logo = ReadFile(Upfile("logo.gif"));
  EXPECT_TRUE(stored_logo.starts_with("GIF") && stored_logo != logo);

  // A product: a new one needs a picture; its picture replaced (the old file removed), a lying
  // replacement refused with the row and file as they were, deleted with its file.
  const std::string picture_of_1 = "select ppic from wap_product where id=1";
  const auto product = [&](const Pairs& fields, const std::string& picture) {  // saved by demo
    Pairs form = {{"act", "save"}};
    form.insert(form.end(), fields.begin(), fields.end());
    return PostPicture(demo_, "/admin/products.asp", form, picture, token_);
  };
  EXPECT_NE(product({{"pname", "新茶"}}, "").body.find("请选择产品图片"), std::string::npos);
  ASSERT_TRUE(fs::exists(Upfile("longjing.jpg")));
  EXPECT_EQ(product({{"id", "1"}, {"pname", "龙井"}}, kGif).status, 302);
  const std::string replaced = One(picture_of_1);
  EXPECT_TRUE(replaced.starts_with("p") && fs::exists(Upfile(replaced))) << replaced;
  EXPECT_FALSE(fs::exists(Upfile("longjing.jpg")));
  const HttpResponse refused = product({{"id", "1"}, {"pname", "换"}}, "GIF8 not really");
  EXPECT_NE(refused.body.find("原有图片未改变"), std::string::npos);
  EXPECT_EQ(One("select pname||'/'||ppic from wap_product where id=1"), "龙井/" + replaced);
  EXPECT_EQ(PostPicture(shop_, "/admin/products.asp",
                        {{"act", "save"}, {"id", "1"}, {"pname", "x"}}, kGif, shop_token_)
                .status,
            404);
  EXPECT_EQ(product({{"id", "1"}, {"pname", "龙井2"}}, "").status, 302);
  EXPECT_EQ(One(picture_of_1), replaced);  // no new picture: the old one stays
  EXPECT_EQ(demo_
                .Post("/admin/products.asp",
                      FormEncode({{"act", "delete"}, {"id", "1"}, {"token", token_}}))
                .status,
            302);
  EXPECT_FALSE(fs::exists(Upfile(replaced)));
}

TEST_F(BackOfficeEditors, APictureThatCannotBeWrittenChangesNoRowAndLeavesNoFile) {
  // Root writes through any permission, so a file size limit (SIGXFSZ ignored: the write fails
  // as on a full disk) stops the picture: above the site database and its log, and the upload's
  // temporary file, so pages and rows still change, below the re-encoded picture. /bin/sh counts
  // it in 512-byte blocks.
  std::uintmax_t database = 0;
  for (const char* file : {"site.db", "site.db-wal"}) {
    std::error_code missing;  // on PostgreSQL there is none
    const std::uintmax_t size = fs::file_size(site_.Path() / "data" / file, missing);
    if (!missing) database += size;
  }
  const std::uintmax_t limit = database + 256 * 1024;
  // Small as a file, while re-encoded as a JPEG it takes over 1 MB (about 125 bytes a row).
  const std::string picture =
      ReadFile(fs::path(WAPSITE_SOURCE_DIR) / "tests/data/pictures/noise_240x9600.png");
  ASSERT_LT(picture.size(), limit / 4);
  ASSERT_LT(limit, 9600u * 100);
  ServerProcess limited(site_.Path(), {"--max-upload-bytes", std::to_string(picture.size() + 4096)},
                        "trap '' XFSZ; ulimit -f " + std::to_string(limit / 512) + ";");
  HttpClient owner(limited.Port());
  owner.UseCookies(true);
  const std::string token = SignInOwner(owner, "demo", "demo");
  const fs::path member = site_.Path() / "waphome" / "demo";
  const struct {
    const char* what;
    Pairs fields;
    std::string target, check;  // a query whose value must not change (the banner: no audit row)
  } cases[] = {
      {"banner", {{"act", "banner"}}, "/admin/settings.asp", "select count(*) from wap_audit"},
      {"new product",
       {{"act", "save"}, {"pname", "新茶"}},
       "/admin/products.asp",
       "select count(*)||'/'||max(id) from wap_product"},
      {"product's picture replaced",
       {{"act", "save"}, {"id", "1"}, {"pname", "换"}},
       "/admin/products.asp",
       "select pname||'/'||ppic from wap_product where id=1"},
  };
  for (const auto& c : cases) {
    const auto files = Files(member);
    const std::string row = One(c.check);
    EXPECT_EQ(PostPicture(owner, c.target, c.fields, picture, token).status, 500) << c.what;
    EXPECT_EQ(One(c.check), row) << c.what;
    EXPECT_TRUE(Files(member) == files) << c.what;  // the old picture whole, no temporary file
  }
  // The same change with a small picture goes through: only the picture's write failed.
  EXPECT_EQ(PostPicture(owner, "/admin/products.asp",
                        {{"act", "save"}, {"id", "1"}, {"pname", "换"}}, kGif, token)
                .status,
            302);
  EXPECT_FALSE(fs::exists(Upfile("longjing.jpg")));
}

// The demo's member "member" has the plain password of an older installation: a wrong password
// leaves it, the right one replaces it by a hash.
TEST_F(BackOfficeEditors, AVisitorsPlainPasswordIsHashedAtItsNextLogin) {
  const struct {
    const char* password;
    int status;
    const char* stored;
  } logins[] = {{"wap12", 200, "wap123"}, {"wap123", 302, "$argon2id$"}};
  for (const auto& l : logins) {
    const HttpResponse r =
        HttpClient(server_.Port())
            .Post("/wap/checklogin.asp?userid=1&username=demo&siteid=1",
                  FormEncode({{"username", "member"}, {"password", l.password}}));
    EXPECT_EQ(r.status, l.status) << l.password;
    EXPECT_EQ(One("select substr(m_password,1,10) from web_member where m_name='member'"), l.stored)
        << l.password;
  }
}

}  // namespace

namespace {

// The confirmation form of `html` (the first form of its main part): its action (entities undone)
// and form body, token included.
std::pair<std::string, std::string> ConfirmationForm(const std::string& html) {
  const std::string page = html.substr(std::min(html.find("<main>"), html.size()));
  std::smatch action;
  EXPECT_TRUE(
      std::regex_search(page, action, std::regex("<form method=\"post\" action=\"([^\"]*)\"")))
      << page;
  Pairs fields;
  const std::regex hidden("<input type=\"hidden\" name=\"(\\w+)\" value=\"([^\"]*)\">");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), hidden);
       it != std::sregex_iterator(); ++it) {
    fields.emplace_back((*it)[1], (*it)[2]);
  }
  return {std::regex_replace(action[1].str(), std::regex("&amp;"), "&"), FormEncode(fields)};
}

}  // namespace

TEST_F(BackOfficeEditors, EveryDeleteAsksFirstSayingWhatGoesAndThenSaysWhatWent) {
  SignInShop();
  const struct {
    std::string link, asks, check, told;
  } cases[] = {
      {"/admin/class.asp?delete=3", "栏目“茶艺知识”及其中的 2 篇文章",
       "select count(*) from wap_contents where cid=3", "已删除栏目“茶艺知识”及其中的 2 篇文章"},
      {"/admin/contents.asp?cid=2&delete=2", "文章“明前龙井新茶到店”",
       "select count(*) from wap_contents where id=2", "已删除文章“明前龙井新茶到店”"},
      {"/admin/products.asp?delete=2", "产品“安溪铁观音”和它的图片",
       "select count(*) from wap_product where id=2", "已删除产品“安溪铁观音”"},
      {"/admin/guestbook.asp?unreply=1", "对张先生 的留言“龙井什么时候到货”的回复",
       "select count(hf) from wap_lyb where id=1", "已删除回复"},
      {"/admin/guestbook.asp?delete=4", "陈同学 的留言“分店地址”和您的回复",
       "select count(*) from wap_lyb where id=4", "已删除留言"},
      {"/admin/members.asp?delete=1", "会员“member”（此后不能再用这个会员名登录）",
       "select count(*) from web_member where id=1", "已删除会员“member”"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    EXPECT_EQ(shop_.Get(c.link).status, 404);  // another owner's row: not even named
    const HttpResponse asked = demo_.Get(c.link);
    EXPECT_EQ(asked.status, 200);
    EXPECT_NE(asked.body.find("将要删除：" + c.asks + "。"), std::string::npos) << asked.body;
    EXPECT_NE(One(c.check), "0");  // asking deleted nothing
    const auto [action, form] = ConfirmationForm(asked.body);
    const HttpResponse done = demo_.Post(action, form);
    ASSERT_EQ(done.status, 302) << done.body;
    EXPECT_EQ(One(c.check), "0");
    const std::string after = demo_.Get(done.Header("Location").value_or("")).body;
    EXPECT_NE(after.find(c.told), std::string::npos) << after;
    EXPECT_EQ(after.find("已保存"), std::string::npos);
  }
}
