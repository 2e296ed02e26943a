// Sessions in memory: ids, idle expiry after 20 minutes, the longest idle dropped when full, and
// Renew moving the values to a new id. What pages see of sessions is tested over HTTP.
#include "platform/host/session_store.h"

#include <gtest/gtest.h>

#include <regex>

namespace host {
namespace {

using std::chrono::minutes;

TEST(SessionStore, ExpiresIdleSessionsDropsTheLongestIdleWhenFullAndRenewsIds) {
  std::chrono::steady_clock::time_point now{};
  MemorySessionStore store(3, minutes(20), [&] { return now; }, 100);
  const std::string a = store.Create("a");
  EXPECT_TRUE(std::regex_match(a, std::regex("[0-9a-f]{32}"))) << a;
  ASSERT_TRUE(store.Set(a, "MemberId", "7"));
  now += minutes(19);
  EXPECT_EQ(store.Get(a, "memberid"), "7");  // and this read counts as activity
  now += minutes(19);
  EXPECT_EQ(store.Get(a, "MEMBERID"), "7");
  const std::string b = store.Create("a");
  now += minutes(1);
  const std::string c = store.Create("a");
  now += minutes(1);
  EXPECT_TRUE(store.Touch(a));
  const std::string d = store.Create("a");  // full: b, the longest idle, goes
  EXPECT_EQ(store.Size(), 3u);
  EXPECT_FALSE(store.Touch(b));
  EXPECT_TRUE(store.Touch(c) && store.Touch(d));
  const auto renewed = store.Renew(a);
  ASSERT_TRUE(renewed);
  EXPECT_NE(*renewed, a);
  EXPECT_EQ(store.Get(*renewed, "memberid"), "7");
  EXPECT_FALSE(store.Touch(a));
  now += minutes(20);
  EXPECT_EQ(store.Get(*renewed, "memberid"), std::nullopt);
  EXPECT_FALSE(store.Set(*renewed, "a", "b"));
}

}  // namespace
}  // namespace host
