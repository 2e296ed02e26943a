#include "platform/host/sessions/database_session_store.h"

#include <algorithm>
#include <vector>

#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/host/sessions/key_hash.h"
#include "platform/text/random_id.h"

namespace host {
DatabaseSessionStore::DatabaseSessionStore(const SiteDb& db, std::size_t max_sessions,
                                           std::size_t max_per_address,
                                           std::chrono::seconds idle_timeout, SignInKinds kinds)
    : db_(db),
      max_sessions_(std::max<std::size_t>(max_sessions, 1)),
      max_per_address_(std::max<std::size_t>(max_per_address, 1)),
      idle_seconds_(idle_timeout.count()),
      kinds_(std::move(kinds)),
      sweeper_(db) {}

bool DatabaseSessionStore::IsKindKey(std::string_view name) const {
  return std::any_of(kinds_.begin(), kinds_.end(),
                     [name](const SignInKind& kind) { return kind.key == name; });
}

namespace {

// Deletes the live sessions that `scope` (a condition on wap_sessions, its values in `params`)
// selects beyond `room - 1`, lowest standing and then longest idle first, so that one more may
// be created within `room`.
void MakeRoom(data::Connection& db, const std::string& scope, data::Params params, std::size_t room,
              std::int64_t now) {
  params.emplace_back(now);
  auto count =
      db.Execute("SELECT count(*) FROM wap_sessions WHERE " + scope + "expires > ?", params);
  const std::int64_t held = count->Field(std::size_t{0}).ToInteger().value_or(0);
  count->Close();
  if (held < static_cast<std::int64_t>(room)) return;
  params.emplace_back(held - static_cast<std::int64_t>(room) + 1);
  auto doomed_rows = db.Execute("SELECT id_hash FROM wap_sessions WHERE " + scope +
                                    "expires > ? ORDER BY signed_in, last_seen LIMIT ?",
                                params);
  std::vector<std::string> doomed;
  for (; !doomed_rows->Eof(); doomed_rows->MoveNext()) {
    doomed.push_back(doomed_rows->Field(std::size_t{0}).ToText());
  }
  doomed_rows->Close();
  for (const std::string& hash : doomed) {
    db.Execute("DELETE FROM wap_sessions WHERE id_hash = ?", data::Params{hash});
    db.Execute("DELETE FROM wap_session_values WHERE id_hash = ?", data::Params{hash});
  }
}

}  // namespace

std::string DatabaseSessionStore::Create(std::string_view address) {
  sweeper_.SweepIfDue();
  const std::int64_t now = db_.NowSeconds();
  const auto db = db_.Open();
  const std::string owner(address);
  MakeRoom(*db, "address = ? AND ", {owner}, max_per_address_, now);
  MakeRoom(*db, "", {}, max_sessions_, now);
  // 128 random bits do not collide; the primary key would refuse it if they did.
  std::string id = text::RandomHex(16);
  db->Execute(
      "INSERT INTO wap_sessions (id_hash, address, created, last_seen, expires) "
      "VALUES (?, ?, ?, ?, ?)",
      data::Params{KeyHash(id), owner, now, now, now + idle_seconds_});
  return id;
}

std::optional<SessionStore::Values> DatabaseSessionStore::Load(std::string_view id) {
  sweeper_.SweepIfDue();
  const std::int64_t now = db_.NowSeconds();
  const std::string hash = KeyHash(id);
  const auto db = db_.Open();
  auto rows = db->Execute(
      "SELECT s.last_seen, v.name, v.value FROM wap_sessions s "
      "LEFT JOIN wap_session_values v ON v.id_hash = s.id_hash "
      "WHERE s.id_hash = ? AND s.expires > ?",
      data::Params{hash, now});
  if (rows->Eof()) return std::nullopt;
  const std::int64_t last_seen = rows->Field(std::size_t{0}).ToInteger().value_or(0);
  Values values;
  for (; !rows->Eof(); rows->MoveNext()) {
    const data::Value& name = rows->Field(std::size_t{1});
    if (!name.IsNull()) values[name.ToText()] = rows->Field(std::size_t{2}).ToText();
  }
  rows->Close();
  if (now - last_seen >= kTouchEvery.count()) {
    db->Execute("UPDATE wap_sessions SET last_seen = ?, expires = ? WHERE id_hash = ?",
                data::Params{now, now + IdleSeconds(RankOf(kinds_, values)), hash});
  }
  return values;
}

bool DatabaseSessionStore::Set(std::string_view id, std::string_view name, std::string value) {
  const std::int64_t now = db_.NowSeconds();
  const std::string hash = KeyHash(id);
  const auto db = db_.Open();
  auto stored = db->Execute(
      "INSERT INTO wap_session_values (id_hash, name, value) "
      "SELECT CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS TEXT) "
      "WHERE EXISTS (SELECT 1 FROM wap_sessions WHERE id_hash = ? AND expires > ?) "
      "ON CONFLICT (id_hash, name) DO UPDATE SET value = excluded.value RETURNING name",
      data::Params{hash, std::string(name), value, hash, now});
  if (stored->Eof()) return false;
  stored->Close();
  if (IsKindKey(name)) {
    // The session's standing, for the flood rule of Create, from all its values now.
    Values values;
    auto rows = db->Execute("SELECT name, value FROM wap_session_values WHERE id_hash = ?",
                            data::Params{hash});
    for (; !rows->Eof(); rows->MoveNext()) {
      values[rows->Field(std::size_t{0}).ToText()] = rows->Field(std::size_t{1}).ToText();
    }
    rows->Close();
    const std::size_t rank = RankOf(kinds_, values);
    // A session of a kind that idles longer stays for that longer timeout from now on.
    const std::int64_t expires = now + IdleSeconds(rank);
    db->Execute(
        "UPDATE wap_sessions SET signed_in = ?, "
        "expires = CASE WHEN expires < ? THEN ? ELSE expires END WHERE id_hash = ?",
        data::Params{static_cast<std::int64_t>(rank), expires, expires, hash});
  }
  return true;
}

std::optional<std::string> DatabaseSessionStore::Renew(std::string_view id) {
  const std::int64_t now = db_.NowSeconds();
  const std::string old_hash = KeyHash(id);
  std::string new_id = text::RandomHex(16);
  const std::string new_hash = KeyHash(new_id);
  const auto db = db_.Open();
  db->BeginTrans();  // Close() rolls back when a statement throws
  auto moved = db->Execute(
      "UPDATE wap_sessions SET id_hash = ?, last_seen = ?, expires = ? "
      "WHERE id_hash = ? AND expires > ? RETURNING id_hash",
      data::Params{new_hash, now, now + idle_seconds_, old_hash, now});
  const bool live = !moved->Eof();
  moved->Close();
  if (!live) {
    db->RollbackTrans();
    return std::nullopt;
  }
  db->Execute("UPDATE wap_session_values SET id_hash = ? WHERE id_hash = ?",
              data::Params{new_hash, old_hash});
  db->CommitTrans();
  return new_id;
}

}  // namespace host
