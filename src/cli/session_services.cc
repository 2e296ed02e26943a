#include "cli/session_services.h"

#include <stdexcept>

#include "backoffice/owner_session.h"
#include "cli/site_database.h"
#include "platform/data/recordset.h"
#include "platform/host/sessions/database_rate_limiter.h"
#include "platform/host/sessions/database_session_store.h"
#include "platform/host/sessions/memory_session_store.h"

namespace cli {
namespace {

// conn.asp's settings, or none with the reason in `failure`.
data::ConnectionSettings ReadSettings(const std::filesystem::path& root, std::string& failure) {
  try {
    return ReadSiteSettings(root);
  } catch (const std::exception& e) {
    failure = e.what();
    return {};
  }
}

constexpr std::chrono::seconds kIdleTimeout = std::chrono::minutes(20);

// The sessions this application counts as signed in, in the order a full store gives them up:
// a visitor's member login, then a back-office owner's (who idles for the owners' limit).
host::SignInKinds SignIns() {
  return {{"memberid", kIdleTimeout}, {"userid", backoffice::kOwnerIdleLimit}};
}

}  // namespace

SessionServices::SessionServices(const std::filesystem::path& root, data::ConnectionPool& pool,
                                 bool in_database, std::size_t max_sessions,
                                 std::size_t login_failures_per_name,
                                 std::size_t login_failures_per_address,
                                 std::size_t guestbook_posts, std::size_t signins_per_address,
                                 std::size_t guestbook_site_posts)
    : site_db_{pool, ReadSettings(root, site_failure_)}, in_database_(in_database) {
  host::RateLimiterFactory limiters = host::MakeMemoryRateLimiter;
  if (in_database_) {
    try {
      Probe();
    } catch (const std::exception& e) {
      throw std::runtime_error(
          "--sessions database: the site database's session tables do not answer (a database "
          "made before them needs its upgrade): " +
          std::string(e.what()));
    }
    sessions_ = std::make_unique<host::DatabaseSessionStore>(
        site_db_, max_sessions, std::max<std::size_t>(max_sessions / 10, 1), kIdleTimeout,
        SignIns());
    limiters = [this](std::string_view name, std::size_t limit, std::chrono::seconds window) {
      return std::make_unique<host::DatabaseRateLimiter>(site_db_, name, limit, window);
    };
  } else {
    sessions_ = std::make_unique<host::MemorySessionStore>(
        max_sessions, kIdleTimeout, host::MemorySessionStore::Clock{}, 10, SignIns());
  }
  limiters_ = std::make_unique<host::RateLimiters>(
      login_failures_per_name, login_failures_per_address, limiters, guestbook_posts,
      signins_per_address, guestbook_site_posts);
}

double SessionServices::LiveSessions() const {
  if (!in_database_)
    return static_cast<double>(static_cast<host::MemorySessionStore&>(*sessions_).Size());
  auto count = site_db_.Open()->Execute("SELECT count(*) FROM wap_sessions WHERE expires > ?",
                                        data::Params{site_db_.NowSeconds()});
  return static_cast<double>(count->Field(std::size_t{0}).ToInteger().value_or(0));
}

void SessionServices::Probe() const {
  if (!site_failure_.empty()) throw std::runtime_error(site_failure_);
  site_db_.Open()->Execute(in_database_ ? "SELECT count(*) FROM wap_sessions WHERE id_hash = ''"
                                        : "SELECT 1");
}

}  // namespace cli
