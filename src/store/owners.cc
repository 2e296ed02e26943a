#include "store/owners.h"

#include <array>
#include <memory>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"
#include "store/local_time.h"

namespace store {
namespace {

constexpr const char* kColumns =
    "select userid,username,password,created,lastlogin,disabled,session_stamp from wap_owners ";

Owner ReadOwner(const data::Recordset& row) {
  Owner owner;
  owner.userid = row.Field("userid").ToInteger().value_or(0);
  owner.username = row.Field("username").ToText();
  owner.password_hash = row.Field("password").ToText();
  owner.created = row.Field("created").ToText();
  owner.last_sign_in = row.Field("lastlogin").ToText();
  owner.disabled = row.Field("disabled").ToInteger().value_or(0) != 0;
  owner.session_stamp = row.Field("session_stamp").ToInteger().value_or(0);
  return owner;
}

std::optional<Owner> FirstOwner(data::Connection& connection, const std::string& where,
                                std::span<const data::Param> params) {
  const auto rows = connection.Execute(kColumns + where, params);
  if (rows->Eof()) return std::nullopt;
  return ReadOwner(*rows);
}

// One past the largest userid of an owner or of any row of a member site.
std::int64_t NextUserId(data::Connection& connection) {
  const auto top = connection.Execute(
      "select max(n) from (select max(userid) as n from wap_owners"
      " union all select max(userid) from wap_classes union all select max(userid) from "
      "wap_setting union all select max(userid) from wap_product union all select max(userid) "
      "from wap_lyb union all select max(m_id) from web_member) as ids");
  return top->Field(std::size_t{0}).ToInteger().value_or(0) + 1;
}

}  // namespace

std::optional<Owner> FindOwner(data::Connection& connection, std::string_view username) {
  const std::array<data::Param, 1> params = {std::string(username)};
  return FirstOwner(connection, "where username=?", params);
}

std::optional<Owner> FindOwnerById(data::Connection& connection, std::int64_t userid) {
  const std::array<data::Param, 1> params = {userid};
  return FirstOwner(connection, "where userid=?", params);
}

std::vector<Owner> ListOwners(data::Connection& connection) {
  std::vector<Owner> owners;
  for (auto rows = connection.Execute(std::string(kColumns) + "order by userid"); !rows->Eof();
       rows->MoveNext()) {
    owners.push_back(ReadOwner(*rows));
  }
  return owners;
}

std::int64_t AddOwner(data::Connection& connection, std::string_view username,
                      std::string_view password_hash, std::optional<std::int64_t> userid) {
  if (!userid) userid = NextUserId(connection);
  const std::array<data::Param, 4> params = {*userid, std::string(username),
                                             std::string(password_hash), store::LocalTimeNow()};
  connection.Execute("insert into wap_owners (userid,username,password,created) values (?,?,?,?)",
                     params);
  return *userid;
}

bool SetPasswordHash(data::Connection& connection, std::int64_t userid,
                     std::string_view password_hash) {
  if (!FindOwnerById(connection, userid)) return false;
  const std::array<data::Param, 2> params = {std::string(password_hash), userid};
  connection.Execute("update wap_owners set password=? where userid=?", params);
  return true;
}

std::optional<std::int64_t> SetNewPassword(data::Connection& connection, std::int64_t userid,
                                           std::string_view password_hash) {
  const std::array<data::Param, 2> params = {std::string(password_hash), userid};
  connection.Execute(
      "update wap_owners set password=?,session_stamp=session_stamp+1 where userid=?", params);
  const auto owner = FindOwnerById(connection, userid);
  return owner ? std::optional<std::int64_t>(owner->session_stamp) : std::nullopt;
}

std::optional<std::int64_t> ChangeOwnPassword(data::Connection& connection, const AuditActor& actor,
                                              std::string_view password_hash) {
  data::TransactionGuard transaction(connection);
  const auto stamp = SetNewPassword(connection, actor.userid, password_hash);
  if (!stamp) return std::nullopt;
  RecordAudit(connection, actor, "修改密码", "后台登录密码");
  transaction.Commit();
  return stamp;
}

bool SetDisabled(data::Connection& connection, std::string_view username, bool disabled) {
  if (!FindOwner(connection, username)) return false;
  const std::array<data::Param, 2> params = {std::int64_t{disabled ? 1 : 0}, std::string(username)};
  connection.Execute(
      "update wap_owners set disabled=?,session_stamp=session_stamp+1 where username=?", params);
  return true;
}

void RecordSignIn(data::Connection& connection, std::int64_t userid) {
  const std::array<data::Param, 2> params = {store::LocalTimeNow(), userid};
  connection.Execute("update wap_owners set lastlogin=? where userid=?", params);
}

}  // namespace store
