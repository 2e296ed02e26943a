// The limits of sign-in attempts over both limiter stores (this process's memory and the site
// database): failures of one name at one address shut out that address only; a name's failures
// from many addresses reach a higher ceiling that holds everywhere; an address's failures and its
// successful sign-ins are limited of their own.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/data/recordset.h"
#include "platform/host/sessions/database_rate_limiter.h"
#include "platform/host/sessions/rate_limiter.h"
#include "support/temp_dir.h"

namespace host {
namespace {

struct Step {
  const char* what;
  int times;
  const char* address;
  const char* name;
  enum { kFail, kSucceed } action;
  // After the steps so far: whether an attempt of (name at check_address) is blocked.
  const char* check_address;
  bool blocked;
};

// Each scenario starts with empty limiters.
const std::vector<std::vector<Step>> kScenarios = {
    {{"an attacker fails five times", 5, "10.0.0.9", "tea", Step::kFail, "10.0.0.9", true},
     {"the owner elsewhere is not shut out", 0, "", "tea", Step::kFail, "10.0.0.1", false},
     {"and signs in", 1, "10.0.0.1", "tea", Step::kSucceed, "10.0.0.1", false},
     {"the attacker stays shut out", 0, "", "tea", Step::kFail, "10.0.0.9", true}},
    {{"four failures", 4, "10.0.0.1", "tea", Step::kFail, "10.0.0.1", false},
     {"a success forgets them", 1, "10.0.0.1", "tea", Step::kSucceed, "10.0.0.1", false},
     {"four more", 4, "10.0.0.1", "tea", Step::kFail, "10.0.0.1", false}},
    {{"ten names from one address", 10, "10.0.0.9", nullptr, Step::kFail, "10.0.0.9", true},
     {"blocks the address for any name", 0, "", "tea", Step::kFail, "10.0.0.9", true},
     {"not another address", 0, "", "tea", Step::kFail, "10.0.0.1", false}},
    {{"fifty failures from fifty addresses", 50, nullptr, "tea", Step::kFail, "10.0.0.1", true},
     {"only for that name", 0, "", "coffee", Step::kFail, "10.0.0.1", false}},
    {{"thirty sign-ins from one address", 30, "10.0.0.9", nullptr, Step::kSucceed, "10.0.0.9",
      true},
     {"another address signs in", 0, "", "tea", Step::kSucceed, "10.0.0.1", false}},
};

void RunScenarios(const std::function<std::unique_ptr<RateLimiters>()>& make) {
  for (const auto& scenario : kScenarios) {
    const auto limiters = make();
    for (const Step& step : scenario) {
      for (int i = 0; i < step.times; ++i) {
        const std::string n = std::to_string(i);
        SignInAttempt attempt(&limiters->owner_signins, limiters->signins_by_address.get(), "owner",
                              step.name ? step.name : "name" + n,
                              step.address ? step.address : "192.0.2." + n);
        ASSERT_FALSE(attempt.Blocked()) << step.what << " #" << i;
        step.action == Step::kFail ? attempt.Failed() : attempt.Succeeded();
      }
      const SignInAttempt check(&limiters->owner_signins, limiters->signins_by_address.get(),
                                "owner", step.name ? step.name : "name0", step.check_address);
      EXPECT_EQ(check.Blocked().has_value(), step.blocked) << step.what;
    }
  }
}

TEST(SignInAttempt, FailuresShutOutTheirAddressAndTheNameOnlyAtItsCeilingInMemory) {
  RunScenarios([] { return std::make_unique<RateLimiters>(); });
}

TEST(SignInAttempt, FailuresShutOutTheirAddressAndTheNameOnlyAtItsCeilingInTheDatabase) {
  testing_support::TempDir dir;
  std::ofstream(dir.path() / "site.db");
  data::ConnectionPool pool(dir.path());
  const SiteDb db{pool, {"sqlite:site.db", "", "", ""}};
  UpgradeSiteTables(*db.Open());
  RunScenarios([&] {
    db.Open()->Execute("DELETE FROM wap_throttle_events");
    return std::make_unique<RateLimiters>(
        RateLimiters::kLoginFailuresPerName, RateLimiters::kLoginFailuresPerAddress,
        [&db](std::string_view name, std::size_t limit, std::chrono::seconds window) {
          return std::make_unique<DatabaseRateLimiter>(db, name, limit, window);
        });
  });
}

}  // namespace
}  // namespace host
