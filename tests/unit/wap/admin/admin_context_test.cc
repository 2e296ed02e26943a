#include "wap/admin/admin_context.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host/scripting_context.h"
#include "support/page_harness.h"
#include "unit/wap/admin/admin_run.h"
#include "wap/admin/adminmanage.h"
#include "wap/objects.h"

namespace wap::admin_test {
namespace {

using testing_support::PageHarness;
using testing_support::PageRequest;

class AdminContext : public ::testing::Test {
 protected:
  void SetUp() override { h_.Session().Set("userid", "12"); }
  PageHarness h_;
};

TEST_F(AdminContext, WithoutAnOperationOpensAndClosesTheDatabaseAndWritesNothing) {
  const auto before = std::chrono::system_clock::now();
  BackOfficePage page({});
  const host::Response r = h_.Run(page, PageRequest{}, "/admin");
  EXPECT_EQ(r.Body(), "");
  EXPECT_FALSE(r.Ended());
  EXPECT_EQ(r.ContentType(), "text/html");  // no content type of its own
  const std::vector<host::Response::Header> caching = {{"pragma", "no-cache"},
                                                       {"cache-control", "private"}};
  EXPECT_EQ(r.Headers(), caching);
  EXPECT_EQ(r.CacheControl(), "no-cache");
  ASSERT_TRUE(r.ExpiresAt().has_value());
  EXPECT_LE(*r.ExpiresAt(), before - std::chrono::hours(23));
  EXPECT_TRUE(h_.Statements().empty());
  // The connection was opened and has gone back to the pool.
  EXPECT_EQ(h_.Pool().IdleCount(PageHarness::kConnectionString), 1u);
}

TEST_F(AdminContext, RunsNoKeywordFilter) {
  BackOfficePage page({"AdminClass_DoAction"});
  const host::Response r =
      h_.Run(page, PageRequest{{}, {{"submit", "新建"}, {"classname", "select"}}}, "/admin");
  EXPECT_FALSE(r.Ended());
  EXPECT_EQ(h_.Query("select classname from wap_classes").size(), 1u);
}

TEST_F(AdminContext, OperationsAreFoundInAnyLetterCase) {
  AdminManage admin;
  EXPECT_FALSE(admin.Call("Render"));
  struct Calls : host::HostObject {
    void OnStartPage(host::ScriptingContext& c) override {
      admin.OnStartPage(c);
      found = admin.Call("adminclass_doaction");
      admin.Call("CREATESITE");
    }
    void OnEndPage() override { admin.OnEndPage(); }
    AdminManage admin;
    bool found = false;
  };
  Calls calls;
  // CREATESITE is found and runs: without a member name in the session it refuses.
  EXPECT_THROW(h_.Run(calls, PageRequest{}, "/"), std::runtime_error);
  EXPECT_TRUE(calls.found);
}

TEST_F(AdminContext, AFailedOpenIsReportedAndNoOperationRunsWithoutTheConnection) {
  h_.WriteFile("conn.asp", "<%strSQLServer=\"sqlite:data/missing.db\" strSQLDataBase=\"x\"%>");
  BackOfficePage page({"AdminClass_DoAction"});
  const host::Response r = h_.Run(page, PageRequest{}, "/admin");
  EXPECT_TRUE(r.Ended());
  EXPECT_EQ(r.Body().rfind("OpenDB():", 0), 0u) << r.Body();
  EXPECT_GT(r.Body().size(), std::string("OpenDB():").size());

  // An operation called anyway refuses before any statement.
  struct Stubborn : host::HostObject {
    void OnStartPage(host::ScriptingContext& c) override {
      admin.OnStartPage(c);
      admin.Call("AdminClass_DoAction");
    }
    void OnEndPage() override { admin.OnEndPage(); }
    AdminManage admin;
  };
  Stubborn stubborn;
  EXPECT_THROW(h_.Run(stubborn, PageRequest{{{"act", "del"}, {"id", "1"}}, {}}, "/admin"),
               std::runtime_error);
  EXPECT_TRUE(h_.Statements().empty());
}

TEST_F(AdminContext, IsCreatedByItsPublishedName) {
  EXPECT_NE(dynamic_cast<AdminManage*>(CreateObject("adminmanage").get()), nullptr);
  EXPECT_NE(dynamic_cast<AdminManage*>(CreateObject("AdminManage").get()), nullptr);
}

}  // namespace
}  // namespace wap::admin_test
