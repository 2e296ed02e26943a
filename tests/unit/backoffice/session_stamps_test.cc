// Which changes of an account end its sign-ins and member logins, against a real SQLite
// database: each change is made in the database the way the back office or the command line
// makes it, then the session of an earlier sign-in (or login) is looked at.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "backoffice/owner_session.h"
#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "platform/host/objects/local_session.h"
#include "store/members.h"
#include "store/owners.h"
#include "support/temp_dir.h"
#include "wap/framework/member_login.h"

namespace backoffice {
namespace {

class SessionStamps : public testing::Test {
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

TEST_F(SessionStamps, AnOwnersSignInEndsWithANewPasswordOrDisablingButNotARehash) {
  using Change = std::function<void(host::Session& own_session)>;
  const struct {
    const char* what;
    Change change;
    bool stays;  // the other sign-in; the one that made the change stays only when it says so
  } cases[] = {
      {"nothing", [](host::Session&) {}, true},
      {"a rehash at sign-in", [&](host::Session&) { store::SetPasswordHash(db_, 7, "h2"); },
       true},
      {"another owner disabled", [&](host::Session&) { store::SetDisabled(db_, "shop", true); },
       true},
      {"disabled", [&](host::Session&) { store::SetDisabled(db_, "tea", true); }, false},
      {"disabled and enabled",
       [&](host::Session&) {
         store::SetDisabled(db_, "tea", true);
         store::SetDisabled(db_, "tea", false);
       },
       false},
      {"a new password", [&](host::Session&) { (void)store::SetNewPassword(db_, 7, "h3"); },
       false},
      {"removed", [&](host::Session&) { db_.Execute("delete from wap_owners where userid=7"); },
       false},
      {"its own new password, kept by the session that set it",
       [&](host::Session& own_session) {
         const auto stamp = store::ChangeOwnPassword(db_, actor_, "h4");
         ASSERT_TRUE(stamp.has_value());
         OwnerSession(own_session).KeepAfterOwnChange(*stamp);
       },
       false},
  };
  const auto now = OwnerSession::Clock::now();
  for (const auto& c : cases) {
    db_.Execute("delete from wap_owners");
    store::AddOwner(db_, "tea", "h1", 7);
    store::AddOwner(db_, "shop", "h1", 8);
    host::LocalSession session, other;
    for (host::Session* s : {&session, &other}) {
      OwnerSession(*s).SignIn(7, "tea", store::FindOwnerById(db_, 7)->session_stamp, now);
    }
    c.change(session);
    const bool kept = std::string_view(c.what).starts_with("its own");
    EXPECT_EQ(OwnerSession(session).CurrentAccount(now, db_).has_value(), c.stays || kept)
        << c.what;
    EXPECT_EQ(OwnerSession(other).CurrentAccount(now, db_).has_value(), c.stays) << c.what;
    // An ended sign-in leaves nothing the class management could read.
    EXPECT_EQ(other.Get("userid").value_or(""), c.stays ? "7" : "") << c.what;
  }
}

TEST_F(SessionStamps, AMembersLoginEndsWithANewPasswordOrItsRemovalButNotARehash) {
  const struct {
    const char* what;
    std::function<void(std::int64_t id)> change;
    bool stays;
  } cases[] = {
      {"nothing", [](std::int64_t) {}, true},
      {"a rehash at login",
       [&](std::int64_t id) { store::ReplaceStoredPassword(db_, id, "p1", "h1"); }, true},
      {"a new password",
       [&](std::int64_t id) { store::SetMemberPassword(db_, actor_, id, "p2"); }, false},
      {"removed", [&](std::int64_t id) { store::DeleteMember(db_, actor_, id); }, false},
  };
  for (const auto& c : cases) {
    db_.Execute("delete from web_member");
    ASSERT_TRUE(store::AddMember(db_, actor_, "neo", "p1"));
    ASSERT_TRUE(store::AddMember(db_, actor_, "trinity", "p1"));
    const auto members = store::MembersOf(db_, 7);
    host::LocalSession session, bystander;
    wap::RecordMemberLogin(session, members[0].id, "neo", members[0].session_stamp);
    wap::RecordMemberLogin(bystander, members[1].id, "trinity", members[1].session_stamp);
    c.change(members[0].id);
    for (host::Session* s : {&session, &bystander}) wap::EndOutlivedMemberLogin(*s, db_);
    EXPECT_EQ(session.Get("memberid").value_or(""),
              c.stays ? std::to_string(members[0].id) : "")
        << c.what;
    EXPECT_EQ(session.Get("membername").value_or(""), c.stays ? "neo" : "") << c.what;
    EXPECT_EQ(bystander.Get("membername").value_or(""), "trinity") << c.what;
  }
  // A login recorded before stamps were kept ends; a session without a login reads no row.
  host::LocalSession old, anonymous;
  old.Set("memberid", std::to_string(store::MembersOf(db_, 7).at(0).id));
  wap::EndOutlivedMemberLogin(old, db_);
  EXPECT_EQ(old.Get("memberid").value_or(""), "");
  db_.Execute("drop table web_member");
  EXPECT_NO_THROW(wap::EndOutlivedMemberLogin(anonymous, db_));
}

}  // namespace
}  // namespace backoffice
