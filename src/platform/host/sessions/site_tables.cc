#include "platform/host/sessions/site_tables.h"

#include "platform/data/param.h"
#include "platform/data/recordset.h"

namespace host {

void UpgradeSiteTables(data::Connection& connection) {
  connection.ExecuteScript(kSiteTablesUpgrade);
}

std::chrono::system_clock::time_point SiteDb::Now() const {
  return clock ? clock() : std::chrono::system_clock::now();
}

std::int64_t SiteDb::NowSeconds() const {
  return std::chrono::duration_cast<std::chrono::seconds>(Now().time_since_epoch()).count();
}

std::int64_t SiteDb::NowMillis() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Now().time_since_epoch()).count();
}

std::unique_ptr<data::Connection> SiteDb::Open() const {
  auto connection = std::make_unique<data::Connection>(pool);
  connection->Open(settings);
  return connection;
}

void SiteTablesSweeper::SweepIfDue() {
  const std::int64_t now = db_.NowSeconds();
  std::int64_t due = next_look_.load();
  if (now < due || !next_look_.compare_exchange_strong(due, now + period_)) return;
  const auto db = db_.Open();
  // The conditional update lets one instance through per period.
  const auto claimed = db->Execute(
      "UPDATE wap_sweeps SET next_run = ? WHERE name = 'expired' AND next_run <= ? "
      "RETURNING name",
      data::Params{now + period_, now});
  if (claimed->Eof()) return;
  claimed->Close();
  const data::Params at{now};
  db->Execute(
      "DELETE FROM wap_session_values WHERE id_hash IN "
      "(SELECT id_hash FROM wap_sessions WHERE expires <= ?)",
      at);
  db->Execute("DELETE FROM wap_sessions WHERE expires <= ?", at);
  // A value written while its session was being swept.
  db->Execute(
      "DELETE FROM wap_session_values WHERE NOT EXISTS "
      "(SELECT 1 FROM wap_sessions s WHERE s.id_hash = wap_session_values.id_hash)");
  db->Execute("DELETE FROM wap_throttle_events WHERE expires <= ?", data::Params{db_.NowMillis()});
}

}  // namespace host
