#include "wap/admin/class_management.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host/local_session.h"
#include "platform/host/request_error.h"
#include "support/page_harness.h"
#include "unit/wap/admin/admin_run.h"
#include "unit/wap/admin/site_database.h"

namespace wap::admin_test {
namespace {

using testing_support::PageHarness;
using testing_support::PageRequest;
using testing_support::Pairs;
using Rows = std::vector<std::vector<std::string>>;

// Member 12 owns class 5 (two contents); member 13 owns class 6 (one content).
constexpr const char* kTwoMembers =
    "insert into wap_classes (id,userid,type,classname,sortid) values "
    "(5,12,1,'Mine',1);"
    "insert into wap_classes (id,userid,type,classname,sortid) values "
    "(6,13,1,'Theirs',1);"
    "insert into wap_contents (id,cid,title,content) values (1,5,'a','x');"
    "insert into wap_contents (id,cid,title,content) values (2,5,'b','y');"
    "insert into wap_contents (id,cid,title,content) values (3,6,'c','z');";

class ClassManagement : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (GetParam() == Engine::kPostgres && !SiteDatabase::PostgresAvailable()) {
      GTEST_SKIP() << "WAPSITE_PG is not set";
    }
    db_ = std::make_unique<SiteDatabase>(h_, GetParam());
    db_->Sql(kTwoMembers);
    if (GetParam() == Engine::kPostgres) {
      db_->Sql(
          "select setval('wap_classes_id_seq', 100); select "
          "setval('wap_contents_id_seq', 100)");
    }
    h_.Session().Set("userid", "12");
  }

  // Runs AdminClass_DoAction for the request in the folder admin/; the response must stay empty.
  void Act(const Pairs& query, const Pairs& form) {
    BackOfficePage page({"AdminClass_DoAction"});
    const host::Response response = h_.Run(page, PageRequest{query, form}, "/admin");
    EXPECT_EQ(response.Body(), "");
    EXPECT_FALSE(response.Ended());
    EXPECT_EQ(response.Status(), 200);
  }

  Rows Classes() {
    return db_->Query("select id,userid,type,classname,sortid from wap_classes order by id");
  }
  Rows ContentIds() { return db_->Query("select id from wap_contents order by id"); }

  PageHarness h_;
  std::unique_ptr<SiteDatabase> db_;
};

TEST_P(ClassManagement, RunsTheStatementsOfEachActionWithBoundValues) {
  const std::string count5 = "select count(*) from wap_classes where userid=? and id=?\t12, 5";
  const struct {
    const char* what;
    Pairs query;
    Pairs form;
    std::vector<std::string> statements;
  } cases[] = {
      {"add with blanks around the name",
       {},
       {{"submit", "新建"}, {"classname", "  News  "}, {"type", "1"}, {"sortid", "3"}},
       {"insert into wap_classes (userid,type,classname,sortid) values (?,?,?,?)\t12, 1, 'News', 3"}},
      {"apostrophes removed after the blanks, absent numbers are 0",
       {},
       {{"submit", "新建"}, {"classname", " ' x ' "}},
       {"insert into wap_classes (userid,type,classname,sortid) values (?,?,?,?)\t12, 0, ' x ', 0"}},
      {"small integers rounded half to even",
       {},
       {{"submit", "新建"}, {"classname", "it's"}, {"type", " 2.5 "}, {"sortid", "-3.5"}},
       {"insert into wap_classes (userid,type,classname,sortid) values (?,?,?,?)\t12, 2, 'its', -4"}},
      {"rename, id from the form",
       {},
       {{"submit", "保存"}, {"edtclassname", " New name "}, {"edtsortid", "7"}, {"id", "5"}},
       {"update wap_classes set classname=?,sortid=? where id=? and userid=?\t'New name', 7, 5, 12"}},
      {"rename, id from the query string",
       {{"id", "5"}},
       {{"submit", "保存"}, {"edtclassname", "N"}, {"edtsortid", "0"}},
       {"update wap_classes set classname=?,sortid=? where id=? and userid=?\t'N', 0, 5, 12"}},
      {"rename with an empty name does nothing",
       {},
       {{"submit", "保存"}, {"edtclassname", " '' "}, {"edtsortid", "9"}, {"id", "5"}},
       {}},
      {"add with an empty name does nothing",
       {},
       {{"submit", "新建"}, {"classname", "   "}, {"type", "1"}},
       {}},
      {"delete an owned class",
       {{"act", "del"}, {"id", "5"}},
       {},
       {count5, "BEGIN", "delete from wap_contents where cid=?\t5",
        "delete from wap_classes where id=?\t5", "COMMIT"}},
      {"delete another member's class",
       {{"act", "del"}, {"id", "6"}},
       {},
       {"select count(*) from wap_classes where userid=? and id=?\t12, 6"}},
      {"add and delete in one request",
       {{"act", "del"}, {"id", "5"}},
       {{"submit", "新建"}, {"classname", "Extra"}, {"type", "3"}, {"sortid", "2"}},
       {"insert into wap_classes (userid,type,classname,sortid) values (?,?,?,?)\t12, 3, 'Extra', 2",
        count5, "BEGIN", "delete from wap_contents where cid=?\t5",
        "delete from wap_classes where id=?\t5", "COMMIT"}},
      {"act=del only in the form is no delete", {}, {{"act", "del"}, {"id", "5"}}, {}},
      {"another submit value is no action", {}, {{"submit", "新建 "}, {"classname", "X"}}, {}},
      {"nothing asked", {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    db_->Sql("delete from wap_contents; delete from wap_classes;");
    db_->Sql(kTwoMembers);
    Act(c.query, c.form);
    EXPECT_EQ(Normalized(h_.Statements()), c.statements);
  }
}

TEST_P(ClassManagement, StoresTheCleanedValues) {
  Act({}, {{"submit", "新建"}, {"classname", "  Ne'ws  "}, {"type", "1"}, {"sortid", "3"}});
  const Rows classes = Classes();
  ASSERT_EQ(classes.size(), 3u);
  EXPECT_EQ(classes[2][1], "12");
  EXPECT_EQ(classes[2][2], "1");
  EXPECT_EQ(classes[2][3], "News");
  EXPECT_EQ(classes[2][4], "3");
}

TEST_P(ClassManagement, RenameChangesOnlyAClassOfTheSessionMember) {
  Act({}, {{"submit", "保存"}, {"edtclassname", "Taken"}, {"edtsortid", "9"}, {"id", "6"}});
  EXPECT_EQ(Classes(), (Rows{{"5", "12", "1", "Mine", "1"}, {"6", "13", "1", "Theirs", "1"}}));
  Act({}, {{"submit", "保存"}, {"edtclassname", "Mine 2"}, {"edtsortid", "9"}, {"id", "5"}});
  EXPECT_EQ(Classes(), (Rows{{"5", "12", "1", "Mine 2", "9"}, {"6", "13", "1", "Theirs", "1"}}));
}

TEST_P(ClassManagement, DeleteTakesTheOwnedClassWithItsContentsOnly) {
  Act({{"act", "del"}, {"id", "6"}}, {});
  EXPECT_EQ(Classes().size(), 2u);
  EXPECT_EQ(ContentIds(), (Rows{{"1"}, {"2"}, {"3"}}));
  Act({{"act", "del"}, {"id", "5"}}, {});
  EXPECT_EQ(Classes(), (Rows{{"6", "13", "1", "Theirs", "1"}}));
  EXPECT_EQ(ContentIds(), (Rows{{"3"}}));
}

TEST_P(ClassManagement, AFailingClassDeleteLeavesBothTablesUnchanged) {
  if (GetParam() == Engine::kSqlite) {
    db_->Sql(
        "CREATE TRIGGER keep_classes BEFORE DELETE ON wap_classes "
        "BEGIN SELECT RAISE(ABORT, 'classes are kept'); END;");
  } else {
    db_->Sql(
        "CREATE FUNCTION keep_classes() RETURNS trigger AS $$ BEGIN RAISE "
        "EXCEPTION "
        "'classes are kept'; END $$ LANGUAGE plpgsql;"
        "CREATE TRIGGER keep_classes BEFORE DELETE ON wap_classes "
        "FOR EACH ROW EXECUTE FUNCTION keep_classes();");
  }
  BackOfficePage page({"AdminClass_DoAction"});
  EXPECT_THROW(h_.Run(page, PageRequest{{{"act", "del"}, {"id", "5"}}, {}}, "/admin"),
               std::exception);
  EXPECT_EQ(Normalized(h_.Statements()),
            (std::vector<std::string>{"select count(*) from wap_classes where userid=? and id=?\t12, 5",
                                      "BEGIN", "delete from wap_contents where cid=?\t5",
                                      "delete from wap_classes where id=?\t5", "ROLLBACK"}));
  EXPECT_EQ(Classes().size(), 2u);
  EXPECT_EQ(ContentIds(), (Rows{{"1"}, {"2"}, {"3"}}));
}

TEST_P(ClassManagement, RefusesASessionUseridThatIsNotAWholeNumber) {
  const Pairs add = {{"submit", "新建"}, {"classname", "X"}};
  const Pairs rename = {{"submit", "保存"}, {"edtclassname", "X"}, {"id", "5"}};
  const Pairs del = {{"act", "del"}, {"id", "5"}};
  for (const std::optional<std::string>& userid :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("12 or 1=1"), std::optional<std::string>("1.5"),
        std::optional<std::string>("0x10")}) {
    host::LocalSession session;
    if (userid) session.Set("userid", *userid);
    for (const auto& [query, form] :
         {std::pair{Pairs{}, add}, std::pair{Pairs{}, rename}, std::pair{del, Pairs{}}}) {
      BackOfficePage page({"AdminClass_DoAction"});
      EXPECT_THROW(h_.Run(page, PageRequest{query, form}, session, "/admin"), std::runtime_error)
          << userid.value_or("(none)");
      EXPECT_TRUE(h_.Statements().empty()) << userid.value_or("(none)");
    }
  }
  EXPECT_EQ(Classes().size(), 2u);
}

TEST_P(ClassManagement, ANumberThatDoesNotConvertStopsItsActionAfterTheEarlierOnes) {
  BackOfficePage bad_type({"AdminClass_DoAction"});
  EXPECT_THROW(
      h_.Run(bad_type, PageRequest{{}, {{"submit", "新建"}, {"classname", "X"}, {"type", "1x"}}},
             "/admin"),
      host::RequestError);
  EXPECT_TRUE(h_.Statements().empty());

  BackOfficePage bad_id({"AdminClass_DoAction"});
  EXPECT_THROW(h_.Run(bad_id,
                      PageRequest{{{"act", "del"}, {"id", "40000"}},
                                  {{"submit", "新建"}, {"classname", "Kept"}, {"type", "1"}}},
                      "/admin"),
               host::RequestError);
  EXPECT_EQ(h_.Statements(), (std::vector<std::string>{
                                 "insert into wap_classes (userid,type,classname,sortid) values (?,?,?,?)\t12, 1, 'Kept', 0"}));
  EXPECT_EQ(Classes().size(), 3u);
}

TEST_P(ClassManagement, ANameWithANulIsABadRequest) {
  BackOfficePage page({"AdminClass_DoAction"});
  EXPECT_THROW(
      h_.Run(page, PageRequest{{}, {{"submit", "新建"}, {"classname", std::string("a\0b", 3)}}},
             "/admin"),
      host::RequestError);
  EXPECT_TRUE(h_.Statements().empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, ClassManagement,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgres),
                         [](const auto& info) { return EngineName(info.param); });

TEST(CleanClassName, TrimsBlanksOnlyThenDropsApostrophes) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"  News  ", "News"}, {"it's", "its"}, {" ' a ' ", " a "}, {"\tTab\t", "\tTab\t"},
               {"''", ""},           {"   ", ""},     {"", ""},           {"全角　", "全角　"}};
  for (const auto& c : cases) EXPECT_EQ(CleanClassName(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace wap::admin_test
