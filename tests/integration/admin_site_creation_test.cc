// Site creation and class management end to end: `wapsite init`, then the back office's work (from
// the command line and from its host pages createsite.asp and admin/class.asp) on a real `wapsite
// serve`, whose answers a handset then gets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "support/demo_root.h"
#include "support/http_client.h"
#include "support/markup_check.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FormEncode;
using testing_support::HttpClient;
using testing_support::HttpResponse;

constexpr const char* kWml = "text/vnd.wap.wml";
constexpr const char* kSiteAddress = "http://m.example.com";

class BackOffice : public ::testing::Test {
 protected:
  void SetUp() override {
    site_ = std::make_unique<testing_support::DemoRoot>(
        Root(), std::vector<std::string>{"--site-address", kSiteAddress});
  }
  void TearDown() override {
    client_.reset();
    if (server_) {
      EXPECT_EQ(server_->Stop(), 0);
    }
  }

  fs::path Root() const { return dir_.path() / "site"; }
  void Serve() {
    server_ = std::make_unique<testing_support::ServerProcess>(Root());
    client_ = std::make_unique<HttpClient>("127.0.0.1", server_->Port());
    client_->UseCookies(true);
  }
  void WriteFile(const std::string& relative, const std::string& text) const {
    std::ofstream out(Root() / relative, std::ios::binary);
    out << text;
  }
  // The first column of the rows of `sql` on the site's database.
  std::vector<std::string> Column(const std::string& sql) const { return site_->Column(sql); }

  testing_support::TempDir dir_;
  std::unique_ptr<testing_support::DemoRoot> site_;
  std::unique_ptr<testing_support::ServerProcess> server_;
  std::unique_ptr<HttpClient> client_;
};

TEST_F(BackOffice, TheEntryPageOfACreatedSiteRedirectsToTheMembersHomePage) {
  const auto create = testing_support::RunWapsite(
      {"site", "create", "--root", Root().string(), "--userid", "1", "--username", "shop"});
  ASSERT_EQ(create.exit_code, 0) << create.err;
  EXPECT_TRUE(fs::is_regular_file(Root() / "waphome/shop/style.css"));
  EXPECT_TRUE(fs::is_directory(Root() / "waphome/shop/upfile"));

  Serve();
  for (const char* path : {"/waphome/shop/index.asp", "/waphome/shop/"}) {
    const HttpResponse entry = client_->Get(path, {{"Accept", kWml}});
    EXPECT_EQ(entry.status, 302) << path;
    EXPECT_EQ(entry.Header("Location"),
              std::string(kSiteAddress) + "/wap/index.asp?userid=1&username=shop")
        << path;
  }
  const HttpResponse home =
      client_->Get("/wap/index.asp?userid=1&username=shop", {{"Accept", kWml}});
  EXPECT_EQ(home.status, 200);
  EXPECT_TRUE(testing_support::ValidWml(home.body));
}

TEST_F(BackOffice, TheBackOfficePagesCreateTheSiteAndManageTheClasses) {
  // The back office's own sign-in stores the member in the session; a page of the test does it.
  WriteFile("signin.asp", "<%Session(\"userid\") = \"1\" : Session(\"UserName\") = \"tea\"%>");
  Serve();
  ASSERT_EQ(client_->Get("/signin.asp").status, 200);

  const HttpResponse created = client_->Get("/createsite.asp");
  EXPECT_EQ(created.status, 200);
  EXPECT_TRUE(testing_support::WellFormedXml(created.body));
  const HttpResponse entry = client_->Get("/waphome/tea/index.asp");
  EXPECT_EQ(entry.status, 302);
  EXPECT_EQ(entry.Header("Location"),
            std::string(kSiteAddress) + "/wap/index.asp?userid=1&username=tea");

  const auto before = Column("select count(*) from wap_classes where userid=1");
  const HttpResponse added = client_->Post(
      "/admin/class.asp",
      FormEncode(
          {{"classname", " Tea'time "}, {"type", "1"}, {"sortid", "9"}, {"submit", "新建"}}));
  EXPECT_EQ(added.status, 200);
  EXPECT_TRUE(testing_support::WellFormedXml(added.body));
  const auto ids = Column("select id from wap_classes where userid=1 and classname='Teatime'");
  ASSERT_EQ(ids.size(), 1u);

  const HttpResponse renamed = client_->Post(
      "/admin/class.asp",
      FormEncode(
          {{"id", ids[0]}, {"edtclassname", "Tea"}, {"edtsortid", "2"}, {"submit", "保存"}}));
  EXPECT_EQ(renamed.status, 200);
  EXPECT_EQ(Column("select classname from wap_classes where id=" + ids[0]),
            std::vector<std::string>{"Tea"});

  const HttpResponse deleted = client_->Get("/admin/class.asp?act=del&id=" + ids[0]);
  EXPECT_EQ(deleted.status, 200);
  EXPECT_EQ(Column("select count(*) from wap_classes where userid=1"), before);
}

TEST_F(BackOffice, CreateSiteWithoutAMemberInTheSessionFailsAndMakesNothing) {
  Serve();
  const HttpResponse r = client_->Get("/createsite.asp");
  EXPECT_EQ(r.status, 500);
  // The details go to the log only.
  EXPECT_TRUE(std::regex_match(r.body, std::regex(R"(internal error \(id [0-9a-f]+\))"))) << r.body;
  EXPECT_EQ(std::distance(fs::directory_iterator(Root() / "waphome"), fs::directory_iterator()),
            1);  // the demo member's folder only
}

}  // namespace
