// The back office's class management (through the request it reads) and site creation, each as one
// table of outcomes on a fresh web root with an SQLite site database.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "platform/fs/file_system_object.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/local_session.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/request_error.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/scripting_context.h"
#include "platform/host/objects/server.h"
#include "support/temp_dir.h"
#include "wap/admin/admin_context.h"
#include "wap/admin/admin_requests.h"
#include "wap/admin/site_creation.h"
#include "wap/framework/page.h"

namespace wap {
namespace {

namespace fs = std::filesystem;
enum Outcome { kDone, kBadRequest, kFails };

// A web root with conn.asp naming its SQLite database, which holds the schema and `rows`: member 12
// owns class 5 (contents 1, 2), member 13 class 6 (content 3); member 12 uses template 3.
class SiteRoot {
 public:
  SiteRoot() {
    Write("conn.asp", "<%\r\nstrSQLServer=\"sqlite:site.db\"\r\nstrSQLDataBase=\"site\"\r\n%>");
    Write("inc/fso.asp", "<%Const_ScriptFileSystem=\"Scripting.FileSystemObject\"%>");
    Write("site.db", "");
    std::ifstream schema(std::string(WAPSITE_SOURCE_DIR) + "/schema/sqlite.sql");
    std::ostringstream text;
    text << schema.rdbuf()
         << "insert into wap_classes (id,userid,type,classname,sortid) values (5,12,1,'Mine',1),"
            "(6,13,1,'Theirs',1); insert into wap_contents (id,cid,title) values (1,5,'a'),"
            "(2,5,'b'),(3,6,'c'); insert into wap_setting (userid,templeteid) values (12,3);";
    Open().ExecuteScript(text.str());
  }
  fs::path Root() const { return dir_.path(); }
  void Write(const std::string& relative, const std::string& bytes) const {
    fs::create_directories((Root() / relative).parent_path());
    std::ofstream(Root() / relative, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& relative) const {
    return testing_support::ReadFile(Root() / relative);
  }
  data::Connection& Open() {
    if (!connection_.IsOpen()) connection_.Open("Data Source=sqlite:site.db");
    return connection_;
  }
  // Every row of `sql`, fields joined by ":", rows by " ".
  std::string Rows(const std::string& sql) {
    std::string out;
    data::Recordset rs;
    for (rs.Open(sql, Open()); !rs.Eof(); rs.MoveNext()) {
      out += out.empty() ? "" : " ";
      for (std::size_t i = 0; i < rs.FieldCount(); ++i)
        out += (i ? ":" : "") + rs.Field(i).ToText();
    }
    return out;
  }

 private:
  testing_support::TempDir dir_;
  data::ConnectionPool pool_{dir_.path()};
  data::Connection connection_{pool_};
};

TEST(ClassManagement, EachRequestChangesOnlyWhatItAsksForOfTheSessionMembersClasses) {
  const std::string before = "5:12:1:Mine:1 6:13:1:Theirs:1", all = "1 2 3";
  const char *del5 = "act=del&id=5", *add = "submit=新建&classname=X&type=3&sortid=2";
  const std::string kept =
      "CREATE TRIGGER kept BEFORE DELETE ON wap_classes "
      "BEGIN SELECT RAISE(ABORT, 'classes are kept'); END;";
  // query and form url-encoded; the wap_classes and wap_contents rows after; SQL run before.
  const struct {
    const char *what, *query, *form;
    std::optional<std::string> userid;
    Outcome outcome;
    std::string classes, contents, sql = "";
  } cases[] = {
      {"add: blanks then apostrophes go", "", "submit=新建&classname=++Ne'ws++&type=1&sortid=3",
       "12", kDone, before + " 7:12:1:News:3", all},
      {"add: inner blanks stay, halves round to even, absent is 0", "",
       "submit=新建&classname=+'+x+'+&type=+2.5+", "12", kDone, before + " 7:12:2: x :0", all},
      {"add: a name empty once cleaned", "", "submit=新建&classname=+''+", "oops", kDone, before,
       all},
      {"rename, id in the form", "", "submit=保存&edtclassname=+New+&edtsortid=-3.5&id=5", "12",
       kDone, "5:12:1:New:-4 6:13:1:Theirs:1", all},
      {"rename, id in the query string", "id=5", "submit=保存&edtclassname=N", "12", kDone,
       "5:12:1:N:0 6:13:1:Theirs:1", all},
      {"rename another member's class", "", "submit=保存&edtclassname=Taken&id=6", "12", kDone,
       before, all},
      {"delete with its contents", del5, "", "12", kDone, "6:13:1:Theirs:1", "3"},
      {"delete another member's class", "act=del&id=6", "", "12", kDone, before, all},
      {"act=del in the form", "id=5", "act=del", "12", kDone, before, all},
      {"add and delete in one request", del5, add, "12", kDone, "6:13:1:Theirs:1 7:12:3:X:2", "3"},
      {"a type that is no number", "", "submit=新建&classname=X&type=1x", "12", kBadRequest, before,
       all},
      {"an id out of range after an add", "act=del&id=40000", add, "12", kBadRequest,
       before + " 7:12:3:X:2", all},
      {"a NUL in the name", "", "submit=新建&classname=a%00b", "12", kBadRequest, before, all},
      {"a userid that is no whole number", "", add, "12 or 1=1", kFails, before, all},
      {"a failed delete is rolled back", del5, "", "12", kFails, before, all, kept},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SiteRoot site;
    if (!c.sql.empty()) site.Open().ExecuteScript(c.sql);
    host::Application application;
    host::Request request(host::Collection::ParseUrlEncoded(c.query),
                          host::Collection::ParseUrlEncoded(c.form), {}, {});
    host::Response response;
    host::LocalSession session;
    if (c.userid) session.Set("userid", *c.userid);
    host::Server server(site.Root(), "/admin", [](std::string_view) { return nullptr; });
    data::ConnectionPool pool(site.Root());
    host::ScriptingContext context{application, request, response, session, server, pool};
    Outcome outcome = kDone;
    {
      Page page(context);
      ASSERT_TRUE(AdminSetUp(page));
      try {
        AdminClassDoAction(page);
      } catch (const host::RequestError&) {
        outcome = kBadRequest;
      } catch (const std::exception&) {
        outcome = kFails;
      }
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(response.Body(), "");
    EXPECT_EQ(site.Rows("select id,userid,type,classname,sortid from wap_classes order by id"),
              c.classes);
    EXPECT_EQ(site.Rows("select id from wap_contents order by id"), c.contents);
  }
}

TEST(SiteCreation, MakesTheFoldersCopiesTheTemplateAndWritesTheEntryPageInThatOrder) {
  const std::string entry = "<%\r\n'Create by Orbel\r\nresponse.Redirect(\"";
  const std::string tail = "/wap/index.asp?userid=12&username=";
  const std::string kept = "mine style.css upfile", copied = "README index.asp " + kept;
  const struct {
    const char* what;
    std::string name, setting;  // setting: SQL run before
    const char* address;        // inc/siteaddress.txt, nullptr for none
    bool done;
    std::string files;         // in the member folder afterwards, sorted
    std::string style, index;  // its style.css and index.asp
  } cases[] = {
      {"template 3", "abc", "", "http://m.example \r\nsecond", true, copied, "tpl",
       entry + "http://m.example" + tail + "abc\")\r\n%>"},
      {"byte-order mark, quotes doubled, name encoded", "张 三", "",
       "\xEF\xBB\xBFhttp://q/\"x\"\rnext", true, copied, "tpl",
       entry + "http://q/\"\"x\"\"" + tail + "%E5%BC%A0%20%E4%B8%89\")\r\n%>"},
      {"no template number: the template root", "abc", "update wap_setting set templeteid=NULL", "",
       true, "index.asp mine root.css style.css upfile", "own", entry + tail + "abc\")\r\n%>"},
      {"a template number with a path", "abc", "update wap_setting set templeteid='3/..'", "",
       false, kept, "own", ""},
      {"a template without files", "abc", "update wap_setting set templeteid=9", "", false, kept,
       "own", ""},
      {"no site address", "abc", "", nullptr, false, "README " + kept, "tpl", ""},
      {"an unsafe name: nothing made", "a/b", "", "", false, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SiteRoot site;
    site.Write("wapTemplete/3/style.css", "tpl");
    site.Write("wapTemplete/3/README", "no dot");
    site.Write("wapTemplete/3/sub/deep.txt", "not copied");
    site.Write("wapTemplete/9/only/inner.txt", "a folder is not copied");
    site.Write("wapTemplete/root.css", "root");
    const std::string folder = "waphome/" + c.name + "/";
    if (!c.style.empty()) {  // a member folder without its upload folder
      site.Write(folder + "mine", "a file of the member's");
      site.Write(folder + "style.css", "own");
    }
    if (c.address) site.Write("inc/siteaddress.txt", c.address);
    if (!c.setting.empty()) site.Open().Execute(c.setting);
    fso::FileSystemObject files;
    bool done = true;
    try {
      CreateMemberSite(site.Open(), files, site.Root(), site.Root() / "waphome", 12, c.name);
    } catch (const std::exception&) {
      done = false;
    }
    EXPECT_EQ(done, c.done);
    std::set<std::string> made;
    std::error_code no_folder;  // nothing made
    for (const auto& e : fs::directory_iterator(site.Root() / folder, no_folder))
      made.insert(e.path().filename().string());
    std::string listed;
    for (const std::string& name : made) listed += (listed.empty() ? "" : " ") + name;
    EXPECT_EQ(listed, c.files);
    EXPECT_EQ(site.Read(folder + "style.css"), c.style);
    EXPECT_EQ(site.Read(folder + "index.asp"), c.index);
  }
}

// The entry page's redirect is a valid address: unsafe bytes of the name and the address are
// percent-encoded, a plain name and address are written as they always were; and an entry page
// moved to a new address keeps its id and name byte for byte.
TEST(EntryPage, PercentEncodesOnlyUnsafeBytesAndMovesToANewAddress) {
  const std::string head = "<%\r\n'Create by Orbel\r\nresponse.Redirect(\"";
  const struct {
    const char *address, *name, *redirect;
  } cases[] = {
      {"http://m.example.com", "abc", "http://m.example.com/wap/index.asp?userid=12&username=abc"},
      {"http://m.example.com", "茶庄", ".../wap/index.asp?userid=12&username=%E8%8C%B6%E5%BA%84"},
      {"http://m.example.com", "a&b=c+d#e",
       ".../wap/index.asp?userid=12&username=a%26b%3Dc%2Bd%23e"},
      {"http://例子.cn/a b", "abc",
       "http://%E4%BE%8B%E5%AD%90.cn/a%20b/wap/index.asp?userid=12&username=abc"},
      {"http://x/\"q", "abc", "http://x/\"\"q/wap/index.asp?userid=12&username=abc"},
  };
  for (const auto& c : cases) {
    std::string redirect = c.redirect;
    if (redirect.starts_with("...")) redirect.replace(0, 3, c.address);
    const std::string page = EntryPageText(c.address, 12, c.name);
    EXPECT_EQ(page, head + redirect + "\")\r\n%>") << c.name;
    const auto moved = EntryPageWithAddress(page, "https://new.example/m");
    ASSERT_TRUE(moved.has_value()) << c.name;
    EXPECT_EQ(*moved, EntryPageText("https://new.example/m", 12, c.name)) << c.name;
  }
  // A page written by hand (or a legacy name written raw) keeps all but the address.
  EXPECT_EQ(EntryPageWithAddress(head + "http://old/wap/index.asp?userid=3&username=老\")\r\n%>",
                                 "http://new"),
            head + "http://new/wap/index.asp?userid=3&username=老\")\r\n%>");
  for (const char* other :
       {"", "<% Response.Redirect(\"http://x/\") %>", "<%\r\n'Create by Orbel\r\n"})
    EXPECT_FALSE(EntryPageWithAddress(other, "http://new").has_value()) << other;
}

}  // namespace
}  // namespace wap
