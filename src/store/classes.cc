#include "store/classes.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"

namespace store {
namespace {

// The cleaned name, refusing a NUL that no stored name may hold.
std::string StoredName(std::string_view name) {
  std::string cleaned = CleanClassName(name);
  if (cleaned.find('\0') != std::string::npos) {
    throw std::invalid_argument("the class name holds a NUL character");
  }
  return cleaned;
}

SiteClass ReadClass(const data::Recordset& row) {
  return {row.Field("id").ToInteger().value_or(0),
          ClassKindOf(row.Field("type").ToInteger().value_or(-1)), row.Field("classname").ToText(),
          row.Field("sortid").ToInteger().value_or(0)};
}

// Records `action` on the class named `name`, as its owner knows it, when there is an actor.
void AuditIf(data::Connection& connection, const AuditActor* actor, std::string_view action,
             std::string_view name) {
  if (actor != nullptr) RecordAudit(connection, *actor, action, ClassAuditName(name));
}

}  // namespace

std::vector<SiteClass> ClassesOf(data::Connection& connection, std::int64_t userid) {
  const std::array<data::Param, 1> params = {userid};
  std::vector<SiteClass> classes;
  for (auto rows = connection.Execute(
           "select id,type,classname,sortid from wap_classes where userid=? order by sortid,id",
           params);
       !rows->Eof(); rows->MoveNext()) {
    classes.push_back(ReadClass(*rows));
  }
  return classes;
}

std::optional<SiteClass> OwnedClass(data::Connection& connection, std::int64_t userid,
                                    std::int64_t id) {
  const std::array<data::Param, 2> params = {id, userid};
  const auto rows = connection.Execute(
      "select id,type,classname,sortid from wap_classes where id=? and userid=?", params);
  if (rows->Eof()) return std::nullopt;
  return ReadClass(*rows);
}

std::string ClassAuditName(std::string_view name) { return "栏目“" + std::string(name) + "”"; }

std::string CleanClassName(std::string_view name) {
  const auto first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return "";
  name = name.substr(first, name.find_last_not_of(' ') - first + 1);
  std::string cleaned;
  for (const char c : name) {
    if (c != '\'') cleaned.push_back(c);
  }
  return cleaned;
}

std::optional<std::int64_t> AddClass(data::Connection& connection, std::int64_t userid,
                                     std::string_view name, std::int64_t type, std::int64_t sortid,
                                     const AuditActor* actor) {
  std::string stored = StoredName(name);
  if (stored.empty()) return std::nullopt;
  const std::array<data::Param, 4> params = {userid, type, stored, sortid};
  data::TransactionGuard transaction(connection);
  std::int64_t id = 0;
  {
    const auto added = connection.Execute(
        "insert into wap_classes (userid,type,classname,sortid) values (?,?,?,?) returning id",
        params);
    id = added->Field(std::size_t{0}).ToInteger().value();
  }
  AuditIf(connection, actor, "新建栏目", stored);
  transaction.Commit();
  return id;
}

bool RenameClass(data::Connection& connection, std::int64_t userid, std::int64_t id,
                 std::string_view name, std::int64_t sortid, const AuditActor* actor) {
  std::string stored = StoredName(name);
  if (stored.empty()) return false;
  const std::array<data::Param, 4> params = {stored, sortid, id, userid};
  data::TransactionGuard transaction(connection);
  bool renamed = false;
  {
    const auto changed = connection.Execute(
        "update wap_classes set classname=?,sortid=? where id=? and userid=? returning id", params);
    renamed = !changed->Eof();
  }
  if (!renamed) {
    transaction.Commit();  // nothing was written: ended as any transaction is, not rolled back
    return false;
  }
  AuditIf(connection, actor, "修改栏目", stored);
  transaction.Commit();
  return true;
}

bool MoveClass(data::Connection& connection, std::int64_t userid, std::int64_t id, bool earlier,
               const AuditActor& actor) {
  data::TransactionGuard transaction(connection);
  std::vector<SiteClass> classes = ClassesOf(connection, userid);
  const auto at =
      std::find_if(classes.begin(), classes.end(), [id](const SiteClass& c) { return c.id == id; });
  const bool can_move =
      at != classes.end() && (earlier ? at != classes.begin() : std::next(at) != classes.end());
  if (!can_move) {
    transaction.Commit();  // nothing was written
    return false;
  }
  const std::string name = at->name;
  std::iter_swap(at, earlier ? std::prev(at) : std::next(at));
  for (std::size_t i = 0; i < classes.size(); ++i) {
    const std::int64_t position = static_cast<std::int64_t>(i) + 1;
    if (classes[i].sortid == position) continue;
    const std::array<data::Param, 2> params = {position, classes[i].id};
    connection.Execute("update wap_classes set sortid=? where id=?", params);
  }
  RecordAudit(connection, actor, "移动栏目", ClassAuditName(name));
  transaction.Commit();
  return true;
}

std::int64_t ContentCountOfClass(data::Connection& connection, std::int64_t id) {
  const std::array<data::Param, 1> params = {id};
  const auto rows = connection.Execute("select count(*) from wap_contents where cid=?", params);
  return rows->Field(std::size_t{0}).ToInteger().value_or(0);
}

bool DeleteClass(data::Connection& connection, std::int64_t userid, std::int64_t id,
                 const AuditActor* actor) {
  data::TransactionGuard transaction(connection);
  const std::optional<SiteClass> owned = OwnedClass(connection, userid, id);
  if (!owned) {
    transaction.Commit();  // nothing was written
    return false;
  }
  const std::array<data::Param, 1> params = {id};
  // The contents first, while their class still names the member their change signals announce.
  connection.Execute("delete from wap_contents where cid=?", params);
  connection.Execute("delete from wap_classes where id=?", params);
  AuditIf(connection, actor, "删除栏目", owned->name);
  transaction.Commit();
  return true;
}

}  // namespace store
