// The database session store and rate limiter on a real SQLite file made by the upgrade block:
// idle expiry, renewal, the cap per address, the sweep, and the sliding window of a limiter.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "platform/data/recordset.h"
#include "platform/host/sessions/database_rate_limiter.h"
#include "platform/host/sessions/database_session_store.h"
#include "platform/host/sessions/key_hash.h"
#include "support/temp_dir.h"

namespace host {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;

class DatabaseStores : public ::testing::Test {
 protected:
  DatabaseStores() {
    std::ofstream(dir_.path() / "site.db");  // an empty file is an empty database
    UpgradeSiteTables(*db_.Open());
    UpgradeSiteTables(*db_.Open());  // the upgrade may run again
  }
  std::int64_t Rows(const std::string& table) {
    return db_.Open()
        ->Execute("SELECT count(*) FROM " + table)
        ->Field(std::size_t{0})
        .ToInteger()
        .value_or(-1);
  }
  // The memberid of session `id`; "gone" when the session is not live.
  std::string MemberId(const std::string& id) {
    const auto values = store_.Load(id);
    return !values ? "gone" : values->contains("memberid") ? values->at("memberid") : "";
  }

  testing_support::TempDir dir_;
  data::ConnectionPool pool_{dir_.path()};
  std::chrono::system_clock::time_point now_ = std::chrono::system_clock::now();
  SiteDb db_{pool_, {"sqlite:site.db", "", "", ""}, [this] { return now_; }};
  // Five sessions, three an address; standings as the application gives them: visitors first,
  // owners last and idle longer.
  DatabaseSessionStore store_{
      db_, 5, 3, minutes(20), {{"memberid", minutes(20)}, {"userid", minutes(30)}}};
};

TEST_F(DatabaseStores, SessionsExpireWhenIdleRenewAndStayWithinTheirAddressShare) {
  const std::string a = store_.Create("x");
  ASSERT_TRUE(store_.Set(a, "memberid", "7"));
  EXPECT_EQ(Rows("wap_sessions WHERE id_hash = '" + KeyHash(a) + "'"), 1);
  EXPECT_FALSE(store_.Set("feed", "memberid", "7"));
  EXPECT_EQ(MemberId("feed"), "gone");
  for (int i = 0; i < 2; ++i) {
    now_ += minutes(19);
    EXPECT_EQ(MemberId(a), "7");  // and this read counts as activity
  }
  const std::string renewed = store_.Renew(a).value_or("none");
  EXPECT_EQ(MemberId(a), "gone");
  EXPECT_EQ(MemberId(renewed), "7");
  std::vector<std::string> anonymous;
  for (int i = 0; i < 4; ++i) {
    now_ += seconds(1);
    anonymous.push_back(store_.Create("x"));
  }
  // Three per address: the signed-in one and the two latest anonymous ones stay.
  EXPECT_EQ(MemberId(renewed) + MemberId(anonymous[0]) + MemberId(anonymous[1]) +
                MemberId(anonymous[2]) + MemberId(anonymous[3]),
            "7gonegone");
  EXPECT_EQ(MemberId(store_.Create("y")), "");
  now_ += minutes(21);
  EXPECT_EQ(MemberId(renewed), "gone");
  // The sweep, once a minute, leaves the live session only.
  now_ += minutes(1);
  store_.Create("z");
  EXPECT_EQ(Rows("wap_sessions") * 10 + Rows("wap_session_values"), 10);
}

// A request keeps a back-office owner's session for the owners' idle timeout (30 minutes), not
// the visitors' 20.
TEST_F(DatabaseStores, ARequestKeepsAnOwnersSessionForTheOwnersIdleTimeout) {
  const std::string owner = store_.Create("x"), visitor = store_.Create("x");
  ASSERT_TRUE(store_.Set(owner, "userid", "1"));
  ASSERT_TRUE(store_.Set(visitor, "memberid", "7"));
  for (int request = 0; request < 3; ++request) {
    now_ += minutes(1);
    ASSERT_TRUE(store_.Load(owner)) << request;  // each request counts as activity
    ASSERT_TRUE(store_.Load(visitor)) << request;
  }
  now_ += minutes(25);  // idle 25 minutes
  EXPECT_EQ(store_.Load(owner).value_or(SessionStore::Values{})["userid"], "1");
  EXPECT_EQ(MemberId(visitor), "gone");
  now_ += minutes(31);
  EXPECT_FALSE(store_.Load(owner));
}

TEST_F(DatabaseStores, AnAddressAtItsShareGivesUpVisitorsBeforeOwners) {
  DatabaseSessionStore& store = store_;
  const std::string owner = store.Create("x");
  ASSERT_TRUE(store.Set(owner, "userid", "1"));
  std::vector<std::string> members;
  for (int i = 0; i < 4; ++i) {
    now_ += seconds(1);
    members.push_back(store.Create("x"));
    ASSERT_TRUE(store.Set(members.back(), "memberid", std::to_string(i)));
  }
  EXPECT_TRUE(store.Load(owner).has_value());
  EXPECT_FALSE(store.Load(members[0]).has_value());
  EXPECT_FALSE(store.Load(members[1]).has_value());
  EXPECT_TRUE(store.Load(members[3]).has_value());
}

// Addresses each within their share still fill the store: a new session then gives up the
// longest idle anonymous one of any address, then a visitor's, an owner's last.
TEST_F(DatabaseStores, AFullStoreGivesUpAnonymousThenVisitorsThenOwnersOfAnyAddress) {
  const std::string owner = store_.Create("a");
  ASSERT_TRUE(store_.Set(owner, "userid", "1"));
  std::vector<std::string> ids, left;
  for (const std::string address : {"b", "c", "d", "e", "f", "g", "h", "i"}) {
    now_ += seconds(1);
    ids.push_back(store_.Create(address));
    if (ids.size() % 2 == 1) {
      ASSERT_TRUE(store_.Set(ids.back(), "memberid", address));
    }
  }
  for (const std::string& id : ids) left.push_back(MemberId(id));
  EXPECT_EQ(left, (std::vector<std::string>{"gone", "gone", "d", "gone", "f", "gone", "h", ""}));
  EXPECT_EQ(store_.Load(owner).value_or(SessionStore::Values{})["userid"], "1");
}

TEST_F(DatabaseStores, ALimiterCountsEventsOfOneKeyWithinItsWindow) {
  DatabaseRateLimiter limiter(db_, "login", 2, minutes(1));
  DatabaseRateLimiter other(db_, "post", 2, minutes(1));
  limiter.Record("k");
  EXPECT_EQ(limiter.Blocked("k"), std::nullopt);
  now_ += seconds(20);
  limiter.Record("k");
  EXPECT_EQ(limiter.Blocked("k"), seconds(40));
  EXPECT_EQ(other.Blocked("k"), std::nullopt);  // another limiter's key
  now_ += seconds(40);
  EXPECT_EQ(limiter.Blocked("k"), std::nullopt);
  limiter.Record("k");
  EXPECT_EQ(limiter.Blocked("k"), seconds(20));
  limiter.Reset("k");
  EXPECT_EQ(limiter.Blocked("k"), std::nullopt);
}

}  // namespace
}  // namespace host
