// The store's changes against a real SQLite database: a change of another member's row, or of
// a row that is not there, is refused and leaves neither the rows nor the audit trail changed; a
// change that happens writes exactly its audit row; a change that fails takes its audit row with
// it.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "store/classes.h"
#include "store/contents.h"
#include "store/guestbook.h"
#include "store/members.h"
#include "store/products.h"
#include "support/temp_dir.h"

namespace store {
namespace {

// Member 12 owns class 5 (news) with article 1, product 7, message 8 and member 9; member 13 owns
// class 6 with article 3.
class Store : public testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_.path() / "site.db").flush();
    std::ifstream schema(std::string(WAPSITE_SOURCE_DIR) + "/schema/sqlite.sql");
    std::ostringstream text;
    text << schema.rdbuf()
         << "insert into wap_classes (id,userid,type,classname,sortid) values (5,12,1,'Mine',1),"
            "(6,13,1,'Theirs',1); insert into wap_contents (id,cid,title) values (1,5,'a'),"
            "(3,6,'c'); insert into wap_product (id,userid,pname,ppic) values (7,12,'p','p.jpg');"
            "insert into wap_lyb (id,userid,title) values (8,12,'t');"
            "insert into web_member (id,m_id,m_name,m_password) values (9,12,'m','pw');";
    connection_.Open("Data Source=sqlite:site.db");
    connection_.ExecuteScript(text.str());
  }
  // Every row of the site's tables but the trail, as text.
  std::string Rows() {
    std::string out;
    for (const char* table :
         {"wap_classes", "wap_contents", "wap_product", "wap_lyb", "web_member"}) {
      data::Recordset rs;
      for (rs.Open(std::string("select * from ") + table + " order by id", connection_); !rs.Eof();
           rs.MoveNext()) {
        for (std::size_t i = 0; i < rs.FieldCount(); ++i) out += rs.Field(i).ToText() + "|";
        out += "\n";
      }
    }
    return out;
  }
  std::int64_t AuditRows() {
    return connection_.Execute("select count(*) from wap_audit")
        ->Field(std::size_t{0})
        .ToInteger()
        .value_or(-1);
  }

  testing_support::TempDir dir_;
  data::ConnectionPool pool_{dir_.path()};
  data::Connection connection_{pool_};
};

TEST_F(Store, RefusedChangesLeaveNoTraceAndChangesThatHappenAreAuditedOnce) {
  data::Connection& c = connection_;
  const AuditActor owner{12, "192.0.2.1"}, other{13, "192.0.2.2"};
  using Change = std::function<bool(const AuditActor&)>;
  const struct {
    const char* what;
    Change refused;         // by the other member, or of a row that is not there
    Change done = nullptr;  // by the owner; none: `refused` run by the owner
  } cases[] = {
      {"rename a class", [&](auto& a) { return RenameClass(c, a.userid, 5, "X", 2, &a); }},
      {"rename to a name empty once cleaned",
       [&](auto& a) { return RenameClass(c, owner.userid, 5, " '' ", 2, &a); },
       [&](auto& a) { return RenameClass(c, a.userid, 5, "Y", 3, &a); }},
      {"add a class", [&](auto& a) { return AddClass(c, a.userid, "''", 1, 1, &a).has_value(); },
       [&](auto& a) { return AddClass(c, a.userid, "New", 1, 1, &a).has_value(); }},
      {"change an article of another class",
       [&](auto& a) { return SaveArticle(c, a, 5, 3, "t", "x"); },
       [&](auto& a) { return SaveArticle(c, a, 5, 1, "t", "x"); }},
      {"change a product",
       [&](auto& a) {
         return SaveProduct(c, a, {7, "n", "q.jpg", "d", ""}, false);
       }},
      {"reply", [&](auto& a) { return SetReply(c, a, 8, "r"); }},
      {"remove a reply", [&](auto& a) { return RemoveReply(c, a, 8); }},
      {"add a member of a name taken", [&](auto&) { return AddMember(c, owner, "m", "x"); },
       [&](auto& a) { return AddMember(c, a, "n", "x"); }},
      {"set a member's password", [&](auto& a) { return SetMemberPassword(c, a, 9, "x"); },
       [&](auto& a) { return SetMemberPassword(c, a, 9, "y"); }},
      {"delete an article of another class", [&](auto& a) { return DeleteArticle(c, a, 5, 3); },
       [&](auto& a) { return DeleteArticle(c, a, 5, 1); }},
      {"delete a product", [&](auto& a) { return DeleteProduct(c, a, 7); }},
      {"delete a message", [&](auto& a) { return DeleteMessage(c, a, 8); }},
      {"delete a member", [&](auto& a) { return DeleteMember(c, a, 9); }},
      {"delete a class", [&](auto& a) { return DeleteClass(c, a.userid, 5, &a); }},
  };
  for (const auto& k : cases) {
    const std::string rows = Rows();
    const std::int64_t audited = AuditRows();
    EXPECT_FALSE(k.refused(other)) << k.what;
    EXPECT_EQ(Rows(), rows) << k.what;
    EXPECT_EQ(AuditRows(), audited) << k.what;
    EXPECT_TRUE((k.done ? k.done : k.refused)(owner)) << k.what;
    EXPECT_NE(Rows(), rows) << k.what;
    EXPECT_EQ(AuditRows(), audited + 1) << k.what;
  }
  EXPECT_EQ(connection_.Execute("select count(*) from wap_audit where userid<>12")
                ->Field(std::size_t{0})
                .ToText(),
            "0");
}

TEST_F(Store, AChangeThatFailsTakesItsAuditRowWithIt) {
  connection_.ExecuteScript(
      "CREATE TRIGGER kept BEFORE DELETE ON wap_classes "
      "BEGIN SELECT RAISE(ABORT, 'classes are kept'); END;");
  const AuditActor owner{12, "192.0.2.1"};
  const std::string rows = Rows();
  EXPECT_ANY_THROW(DeleteClass(connection_, 12, 5, &owner));
  EXPECT_EQ(Rows(), rows);  // the article deleted before the class is back
  EXPECT_EQ(AuditRows(), 0);
}

}  // namespace
}  // namespace store
