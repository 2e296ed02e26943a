// Which changes of a site member end its logins, against a real SQLite database, whatever store
// keeps the session (the owners' sign-ins are tested over HTTP in account_sessions_test).
#include "wap/framework/member_login.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "platform/host/objects/local_session.h"
#include "store/members.h"
#include "support/temp_dir.h"

namespace wap {
namespace {

class MemberLogin : public testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_.path() / "site.db").flush();
    db_.Open("Data Source=sqlite:site.db");
    std::ostringstream schema;
    schema << std::ifstream(std::string(WAPSITE_SOURCE_DIR) + "/schema/sqlite.sql").rdbuf();
    db_.ExecuteScript(schema.str());
  }

  testing_support::TempDir dir_;
  data::ConnectionPool pool_{dir_.path()};
  data::Connection db_{pool_};
  const store::AuditActor actor_{7, "10.0.0.1"};
};

TEST_F(MemberLogin, EndsWithANewPasswordOrTheMembersRemovalButNotARehash) {
  const struct {
    const char* what;
    std::function<void(std::int64_t id)> change;
    bool stays;
  } cases[] = {
      {"nothing", [](std::int64_t) {}, true},
      {"a rehash at login",
       [&](std::int64_t id) { store::ReplaceStoredPassword(db_, id, "p1", "h1"); }, true},
      {"a new password", [&](std::int64_t id) { store::SetMemberPassword(db_, actor_, id, "p2"); },
       false},
      {"removed", [&](std::int64_t id) { store::DeleteMember(db_, actor_, id); }, false},
  };
  for (const auto& c : cases) {
    db_.Execute("delete from web_member");
    ASSERT_TRUE(store::AddMember(db_, actor_, "neo", "p1"));
    ASSERT_TRUE(store::AddMember(db_, actor_, "trinity", "p1"));
    const auto members = store::MembersOf(db_, 7);
    host::LocalSession session, bystander;
    RecordMemberLogin(session, members[0].id, "neo", members[0].session_stamp);
    RecordMemberLogin(bystander, members[1].id, "trinity", members[1].session_stamp);
    c.change(members[0].id);
    for (host::Session* s : {&session, &bystander}) EndOutlivedMemberLogin(*s, db_);
    EXPECT_EQ(session.Get("membername").value_or(""), c.stays ? "neo" : "") << c.what;
    EXPECT_EQ(bystander.Get("membername").value_or(""), "trinity") << c.what;
  }
  // A login recorded before stamps were kept ends; a session without a login reads no row.
  host::LocalSession old, anonymous;
  old.Set("memberid", std::to_string(store::MembersOf(db_, 7).at(0).id));
  EndOutlivedMemberLogin(old, db_);
  EXPECT_EQ(old.Get("memberid").value_or(""), "");
  db_.Execute("drop table web_member");
  EXPECT_NO_THROW(EndOutlivedMemberLogin(anonymous, db_));
}

}  // namespace
}  // namespace wap
