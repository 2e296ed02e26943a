#include "platform/host/session_store.h"

#include <gtest/gtest.h>

#include <regex>

namespace host {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;

class SessionStoreTest : public ::testing::Test {
 protected:
  MemorySessionStore Store(std::size_t cap) {
    return MemorySessionStore(cap, minutes(20), [this] { return now_; }, 100);
  }
  std::chrono::steady_clock::time_point now_{};
};

TEST_F(SessionStoreTest, GivesRandom128BitHexIds) {
  auto store = Store(10);
  const std::string a = store.Create("a"), b = store.Create("a");
  EXPECT_TRUE(std::regex_match(a, std::regex("[0-9a-f]{32}"))) << a;
  EXPECT_NE(a, b);
}

TEST_F(SessionStoreTest, KeepsValuesByNameInAnyCaseUntilIdleFor20Minutes) {
  auto store = Store(10);
  const std::string id = store.Create("a");
  ASSERT_TRUE(store.Set(id, "MemberId", "7"));
  now_ += minutes(19);
  EXPECT_EQ(store.Get(id, "memberid"), "7");  // and this read counts as activity
  now_ += minutes(19);
  EXPECT_EQ(store.Get(id, "MEMBERID"), "7");
  EXPECT_EQ(store.Get(id, "other"), std::nullopt);
  now_ += minutes(20);
  EXPECT_EQ(store.Get(id, "memberid"), std::nullopt);
  EXPECT_FALSE(store.Set(id, "a", "b"));
  EXPECT_FALSE(store.Touch(id));
  EXPECT_EQ(store.Size(), 0u);
}

TEST_F(SessionStoreTest, DropsTheLongestIdleSessionsWhenFull) {
  auto store = Store(3);
  const std::string a = store.Create("a");
  now_ += seconds(1);
  const std::string b = store.Create("a");
  now_ += seconds(1);
  const std::string c = store.Create("a");
  now_ += seconds(1);
  EXPECT_TRUE(store.Touch(a));  // a is now the most recently active
  const std::string d = store.Create("a");
  EXPECT_EQ(store.Size(), 3u);
  EXPECT_TRUE(store.Touch(a));
  EXPECT_FALSE(store.Touch(b));
  EXPECT_TRUE(store.Touch(c));
  EXPECT_TRUE(store.Touch(d));
}

TEST_F(SessionStoreTest, RenewMovesTheValuesToANewIdAndRetiresTheOld) {
  auto store = Store(10);
  const std::string old_id = store.Create("a");
  store.Set(old_id, "a", "1");
  const auto new_id = store.Renew(old_id);
  ASSERT_TRUE(new_id);
  EXPECT_NE(*new_id, old_id);
  EXPECT_EQ(store.Get(*new_id, "A"), "1");
  EXPECT_FALSE(store.Touch(old_id));
  EXPECT_EQ(store.Renew(old_id), std::nullopt);
}

TEST_F(SessionStoreTest, RequestSessionCreatesASessionOnlyWhenAValueIsStored) {
  auto store = Store(10);
  RequestSession reader(store, std::nullopt);
  EXPECT_EQ(reader.Get("a"), std::nullopt);
  EXPECT_EQ(reader.NewCookieId(), std::nullopt);
  EXPECT_EQ(store.Size(), 0u);

  RequestSession writer(store, std::nullopt);
  writer.Set("a", "1");
  const auto id = writer.NewCookieId();
  ASSERT_TRUE(id);
  EXPECT_EQ(store.Size(), 1u);

  RequestSession next_request(store, id);
  EXPECT_EQ(next_request.Get("A"), "1");
  next_request.Set("b", "2");
  EXPECT_EQ(next_request.NewCookieId(), std::nullopt);  // the cookie stays as it is
}

TEST_F(SessionStoreTest, RequestSessionNeverAdoptsAnUnknownId) {
  auto store = Store(10);
  const std::string planted = "0123456789abcdef0123456789abcdef";
  RequestSession session(store, planted);
  EXPECT_EQ(session.Get("a"), std::nullopt);
  session.Set("a", "1");
  ASSERT_TRUE(session.NewCookieId());
  EXPECT_NE(*session.NewCookieId(), planted);
  EXPECT_FALSE(store.Touch(planted));
}

TEST_F(SessionStoreTest, RequestSessionRenewIdSendsANewCookie) {
  auto store = Store(10);
  RequestSession first(store, std::nullopt);
  first.Set("memberid", "7");
  const std::string id = *first.NewCookieId();

  RequestSession login(store, id);
  login.RenewId();
  const auto renewed = login.NewCookieId();
  ASSERT_TRUE(renewed);
  EXPECT_NE(*renewed, id);
  EXPECT_EQ(login.Get("memberid"), "7");
  EXPECT_EQ(RequestSession(store, id).Get("memberid"), std::nullopt);

  RequestSession fresh(store, std::nullopt);
  fresh.RenewId();  // creates one
  EXPECT_TRUE(fresh.NewCookieId());
  EXPECT_EQ(SessionCookie("ab"), "WAPSESSIONID=ab; Path=/; HttpOnly; SameSite=Lax");
}

}  // namespace
}  // namespace host
