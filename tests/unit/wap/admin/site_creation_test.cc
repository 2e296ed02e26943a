#include "wap/admin/site_creation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/fs/file_system_object.h"
#include "platform/text/ascii.h"
#include "support/page_harness.h"
#include "unit/wap/admin/admin_run.h"
#include "wap/admin/member_name.h"

namespace wap::admin_test {
namespace {

namespace fs = std::filesystem;
using testing_support::PageHarness;
using testing_support::PageRequest;
using Names = std::set<std::string>;

constexpr const char* kEntryPage =
    "<%\r\n"
    "'Create by Orbel\r\n"
    "response.Redirect(\"http://m.example.com/"
    "wap/index.asp?userid=12&username=abc\")\r\n"
    "%>";

class SiteCreation : public ::testing::Test {
 protected:
  void SetUp() override {
    h_.Session().Set("userid", "12");
    h_.Session().Set("UserName", "abc");
    h_.WriteFile("wapTemplete/3/style.css", "template css");
    h_.WriteFile("wapTemplete/3/Demo.jpg", "template banner");
    h_.WriteFile("wapTemplete/3/README", "no dot");
    h_.WriteFile("wapTemplete/3/sub/deep.txt", "not copied");
    h_.WriteFile("wapTemplete/root.css", "template root");
    h_.WriteFile("inc/siteaddress.txt", "http://m.example.com \r\nsecond line\r\n");
    h_.Sql("insert into wap_setting (userid,templeteid) values (12,3)");
  }

  // Runs CreateSite from a page in `folder`; the response must stay empty.
  void Create(const std::string& folder = "/") {
    BackOfficePage page({"CreateSite"});
    const host::Response r = h_.Run(page, PageRequest{}, folder);
    EXPECT_EQ(r.Body(), "");
    EXPECT_FALSE(r.Ended());
  }
  void CreateFails(const std::string& folder = "/") {
    BackOfficePage page({"CreateSite"});
    EXPECT_THROW(h_.Run(page, PageRequest{}, folder), std::runtime_error);
  }

  std::string Read(const std::string& relative) const {
    std::ifstream in(h_.Root() / relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  Names List(const std::string& relative) const {
    Names names;
    for (const auto& e : fs::directory_iterator(h_.Root() / relative)) {
      names.insert(e.path().filename().string());
    }
    return names;
  }

  PageHarness h_;
};

TEST_F(SiteCreation, MakesTheFoldersCopiesTheTemplateAndWritesTheEntryPage) {
  Create();
  EXPECT_EQ(List("waphome/abc"), (Names{"upfile", "style.css", "Demo.jpg", "README", "index.asp"}));
  EXPECT_TRUE(List("waphome/abc/upfile").empty());
  EXPECT_EQ(Read("waphome/abc/style.css"), "template css");
  EXPECT_EQ(Read("waphome/abc/index.asp"), kEntryPage);
  EXPECT_EQ(h_.Statements(),
            (std::vector<std::string>{"select templeteid from wap_setting where userid=?\t12"}));
}

TEST_F(SiteCreation, RunningAgainOverwritesTemplateFilesKeepsOthersAndRereadsTheAddress) {
  Create();
  h_.WriteFile("waphome/abc/style.css", "member's own edit");
  h_.WriteFile("waphome/abc/upfile/logo.gif", "logo");
  h_.WriteFile("waphome/abc/extra.txt", "kept");
  h_.WriteFile("waphome/abc/index.asp", "old entry page, longer than the new one ...........");
  h_.WriteFile("inc/siteaddress.txt", "http://new.example.com");
  Create();
  EXPECT_EQ(Read("waphome/abc/style.css"), "template css");
  EXPECT_EQ(Read("waphome/abc/upfile/logo.gif"), "logo");
  EXPECT_EQ(Read("waphome/abc/extra.txt"), "kept");
  EXPECT_EQ(Read("waphome/abc/index.asp"),
            "<%\r\n'Create by Orbel\r\n"
            "response.Redirect(\"http://new.example.com/wap/"
            "index.asp?userid=12&username=abc\")"
            "\r\n%>");
}

TEST_F(SiteCreation, MakesTheUploadFolderWhenTheMemberFolderExistedWithoutIt) {
  h_.WriteFile("waphome/abc/mine.txt", "x");
  Create();
  EXPECT_TRUE(fs::is_directory(h_.Root() / "waphome/abc/upfile"));
  EXPECT_EQ(Read("waphome/abc/mine.txt"), "x");
}

TEST_F(SiteCreation, WithoutATemplateNumberCopiesTheTemplateRootFiles) {
  for (const char* setting :
       {"delete from wap_setting", "update wap_setting set templeteid=NULL"}) {
    SCOPED_TRACE(setting);
    h_.Remove("waphome/abc");
    h_.Sql(setting);
    Create();
    EXPECT_EQ(List("waphome/abc"), (Names{"upfile", "root.css", "index.asp"}));
  }
}

TEST_F(SiteCreation, RefusesUnsafeMemberNamesBeforeMakingAnything) {
  const std::string names[] = {"",     ".",         "..",   ".hidden", "a/b",
                               "a\\b", "../x",      "c:",   "a:b",     "a\"b",
                               "<b>",  "a>b",       "100%", "a\tb",    "a\r\nb",
                               "\x7f", "a\xC2\x85", "\xff", "a\xE4",   std::string("a\0b", 3)};
  for (const auto& name : names) {
    h_.Session().Set("UserName", name);
    CreateFails();
    EXPECT_TRUE(List("waphome").empty()) << testing::PrintToString(name);
    EXPECT_TRUE(h_.Statements().empty()) << testing::PrintToString(name);
    EXPECT_FALSE(IsSafeMemberName(name)) << testing::PrintToString(name);
  }
  for (const char* name : {"abc", "张三", "a b", "a.b", "a-b_c", "x."}) {
    EXPECT_TRUE(IsSafeMemberName(name)) << name;
  }
}

TEST_F(SiteCreation, ATempleteidThatIsNotANumberFailsWithTheFoldersMadeAndNothingCopied) {
  for (const char* value : {"'x1'", "-1", "1.5", "'3/../..'"}) {
    SCOPED_TRACE(value);
    h_.Remove("waphome/abc");
    h_.Sql(std::string("update wap_setting set templeteid=") + value);
    CreateFails();
    EXPECT_EQ(List("waphome/abc"), (Names{"upfile"}));
  }
}

TEST_F(SiteCreation, ATemplateWithoutFilesFailsWithoutAnEntryPage) {
  h_.Sql("update wap_setting set templeteid=9");
  CreateFails();
  EXPECT_EQ(List("waphome/abc"), (Names{"upfile"}));
  h_.WriteFile("wapTemplete/9/only/inner.txt", "a folder is not copied");
  CreateFails();
  EXPECT_EQ(List("waphome/abc"), (Names{"upfile"}));
}

TEST_F(SiteCreation, AnUnreadableSiteAddressFailsAfterTheCopyWithoutAnEntryPage) {
  h_.Remove("inc/siteaddress.txt");
  CreateFails();
  EXPECT_EQ(List("waphome/abc"), (Names{"upfile", "style.css", "Demo.jpg", "README"}));
  h_.WriteFile("inc/siteaddress.txt", "http://x/%>");
  CreateFails();
  EXPECT_FALSE(fs::exists(h_.Root() / "waphome/abc/index.asp"));
}

TEST_F(SiteCreation, TheSiteAddressIsTheFirstLineWithoutTrailingBlanks) {
  const struct {
    const char* file;
    const char* address;
  } cases[] = {
      {"http://a.example\n", "http://a.example"},
      {"\xEF\xBB\xBFhttp://b.example\r\n", "http://b.example"},
      {"http://c.example \t \r\nnext", "http://c.example"},
      {"http://d.example\rnext", "http://d.example"},
      {"", ""},
      {"http://e.example/\"q\"", "http://e.example/\"\"q\"\""},
  };
  for (const auto& c : cases) {
    h_.WriteFile("inc/siteaddress.txt", c.file);
    Create();
    EXPECT_EQ(Read("waphome/abc/index.asp"),
              std::string("<%\r\n'Create by Orbel\r\nresponse.Redirect(\"") + c.address +
                  "/wap/index.asp?userid=12&username=abc\")\r\n%>")
        << c.file;
  }
}

TEST_F(SiteCreation, ASessionUseridThatIsNotAWholeNumberFailsBeforeAnythingIsMade) {
  for (const char* userid : {"", "12 or 1=1", "x"}) {
    h_.Session().Set("userid", userid);
    CreateFails();
    EXPECT_TRUE(h_.Statements().empty()) << userid;
    EXPECT_TRUE(List("waphome").empty()) << userid;
  }
}

TEST_F(SiteCreation, MapsTheMemberFolderFromTheCallingPagesFolder) {
  fs::create_directories(h_.Root() / "admin/waphome");
  Create("/admin");
  EXPECT_EQ(Read("admin/waphome/abc/index.asp"), kEntryPage);
  EXPECT_TRUE(List("waphome").empty());
}

}  // namespace
}  // namespace wap::admin_test
