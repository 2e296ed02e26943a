// How long a back-office sign-in lasts: 30 minutes without a request, 12 hours in all; an
// expired one is ended, leaving nothing the class management could read.
#include "backoffice/owner_session.h"

#include <gtest/gtest.h>

#include "platform/host/objects/local_session.h"

namespace backoffice {
namespace {

using std::chrono::minutes;

TEST(OwnerSession, LastsHalfAnHourIdleAndTwelveHoursInAll) {
  const auto start = OwnerSession::Clock::now();
  const struct {
    std::vector<minutes> requests;  // after the sign-in, each from the one before
    bool signed_in;                 // at the last one
  } cases[] = {
      {{minutes(29)}, true},
      {{minutes(30)}, false},
      {{minutes(25), minutes(25), minutes(25)}, true},
      {{minutes(29), minutes(29)}, true},
      {std::vector<minutes>(24, minutes(29)), true},   // 11 h 36 min
      {std::vector<minutes>(25, minutes(29)), false},  // 12 h 5 min
  };
  for (const auto& c : cases) {
    host::LocalSession session;
    OwnerSession owner(session);
    const SignedInOwner in = owner.SignIn(7, "tea", 0, start);
    EXPECT_EQ(in.token.size(), 32u);
    EXPECT_EQ(session.Renewals(), 1);
    auto now = start;
    std::optional<SignedInOwner> seen;
    for (const minutes step : c.requests) seen = owner.Current(now += step);
    EXPECT_EQ(seen.has_value(), c.signed_in) << c.requests.size();
    EXPECT_EQ(session.Get("userid").value_or(""), c.signed_in ? "7" : "") << c.requests.size();
    if (seen) {
      EXPECT_EQ(seen->token, in.token);
    }
  }
}

}  // namespace
}  // namespace backoffice
