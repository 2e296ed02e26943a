#include "store/members.h"

#include <array>
#include <memory>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"

namespace store {
namespace {

std::vector<Member> ReadMembers(data::Recordset& rows) {
  std::vector<Member> members;
  for (; !rows.Eof(); rows.MoveNext()) {
    members.push_back({rows.Field("id").ToInteger().value_or(0), rows.Field("m_name").ToText(),
                       rows.Field("m_password").ToText(),
                       rows.Field("session_stamp").ToInteger().value_or(0)});
  }
  return members;
}

}  // namespace

std::vector<Member> MembersOf(data::Connection& connection, std::int64_t owner) {
  const std::array<data::Param, 1> params = {owner};
  return ReadMembers(*connection.Execute(
      "select id,m_name,m_password,session_stamp from web_member where m_id=? order by id",
      params));
}

std::vector<Member> MembersNamed(data::Connection& connection, std::int64_t owner,
                                 const std::string& name) {
  const std::array<data::Param, 2> params = {name, owner};
  return ReadMembers(*connection.Execute(
      "select * from web_member where m_Name=? And m_id=? order by id", params));
}

void ReplaceStoredPassword(data::Connection& connection, std::int64_t id, const std::string& stored,
                           const std::string& password) {
  const std::array<data::Param, 3> params = {password, id, stored};
  connection.Execute("update web_member set m_password=? where id=? and m_password=?", params);
}

std::optional<std::int64_t> MemberSessionStamp(data::Connection& connection, std::int64_t id) {
  const std::array<data::Param, 1> row = {id};
  // The site's number under the name every site's rows use, so that a page kept after this read
  // depends on that site's rows only.
  const auto rows =
      connection.Execute("select m_id as userid,session_stamp from web_member where id=?", row);
  if (rows->Eof()) return std::nullopt;
  return rows->Field("session_stamp").ToInteger().value_or(0);
}

bool OwnsMember(data::Connection& connection, std::int64_t owner, std::int64_t id) {
  const std::array<data::Param, 2> row = {id, owner};
  return !connection.Execute("select id from web_member where id=? and m_id=?", row)->Eof();
}

std::optional<Member> OwnedMember(data::Connection& connection, std::int64_t owner,
                                  std::int64_t id) {
  const std::array<data::Param, 2> row = {id, owner};
  const auto found = connection.Execute(
      "select m_name,m_password,session_stamp from web_member where id=? and m_id=?", row);
  if (found->Eof()) return std::nullopt;
  return Member{id, found->Field("m_name").ToText(), found->Field("m_password").ToText(),
                found->Field("session_stamp").ToInteger().value_or(0)};
}

bool AddMember(data::Connection& connection, const AuditActor& actor, const std::string& name,
               const std::string& password) {
  data::TransactionGuard transaction(connection);
  const std::array<data::Param, 2> who = {actor.userid, name};
  if (!connection.Execute("select id from web_member where m_id=? and m_name=?", who)->Eof()) {
    return false;
  }
  const std::array<data::Param, 3> params = {actor.userid, name, password};
  connection.Execute("insert into web_member (m_id,m_name,m_password) values (?,?,?)", params);
  RecordAudit(connection, actor, "新建会员", "会员“" + name + "”");
  transaction.Commit();
  return true;
}

bool SetMemberPassword(data::Connection& connection, const AuditActor& actor, std::int64_t id,
                       const std::string& password) {
  data::TransactionGuard transaction(connection);
  const std::array<data::Param, 3> params = {password, id, actor.userid};
  std::string name;
  {
    const auto changed = connection.Execute(
        "update web_member set m_password=?,session_stamp=session_stamp+1 where id=? and m_id=? "
        "returning m_name",
        params);
    if (changed->Eof()) return false;
    name = changed->Field("m_name").ToText();
  }
  RecordAudit(connection, actor, "修改会员密码", "会员“" + name + "”");
  transaction.Commit();
  return true;
}

bool DeleteMember(data::Connection& connection, const AuditActor& actor, std::int64_t id) {
  data::TransactionGuard transaction(connection);
  const std::array<data::Param, 2> row = {id, actor.userid};
  std::string name;
  {
    const auto deleted =
        connection.Execute("delete from web_member where id=? and m_id=? returning m_name", row);
    if (deleted->Eof()) return false;
    name = deleted->Field("m_name").ToText();
  }
  RecordAudit(connection, actor, "删除会员", "会员“" + name + "”");
  transaction.Commit();
  return true;
}

}  // namespace store
