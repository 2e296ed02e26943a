#include "wap/admin/class_management.h"

#include <array>
#include <stdexcept>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/value.h"

namespace wap {
namespace {

// The cleaned name, refusing a NUL that no stored name may hold.
std::string StoredName(std::string_view name) {
  std::string cleaned = CleanClassName(name);
  if (cleaned.find('\0') != std::string::npos) {
    throw std::invalid_argument("the class name holds a NUL character");
  }
  return cleaned;
}

// Runs the deletes of class `id` in one transaction: all of them or, when one fails, none. The
// failure is rethrown after the rollback; a failing rollback is added to its description.
void DeleteInOneTransaction(data::Connection& connection, int id) {
  const std::array<data::Param, 1> params = {std::int64_t{id}};
  connection.BeginTrans();
  try {
    connection.Execute("delete from wap_contents where cid=?", params);
    connection.Execute("delete from wap_classes where id=?", params);
    connection.CommitTrans();
  } catch (const std::exception& failure) {
    if (!connection.InTransaction()) throw;
    try {
      connection.RollbackTrans();
    } catch (const std::exception& rollback) {
      throw std::runtime_error(std::string(failure.what()) +
                               " (and the rollback failed: " + rollback.what() + ")");
    }
    throw;
  }
}

}  // namespace

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
                                     std::string_view name, int type, int sortid) {
  std::string stored = StoredName(name);
  if (stored.empty()) return std::nullopt;
  const std::array<data::Param, 4> params = {userid, std::int64_t{type}, std::move(stored),
                                             std::int64_t{sortid}};
  const std::unique_ptr<data::Recordset> added = connection.Execute(
      "insert into wap_classes (userid,type,classname,sortid) values (?,?,?,?) returning id",
      params);
  const std::int64_t id = added->Field(std::size_t{0}).ToInteger().value();
  added->Close();
  return id;
}

bool RenameClass(data::Connection& connection, std::int64_t userid, int id, std::string_view name,
                 int sortid) {
  std::string stored = StoredName(name);
  if (stored.empty()) return false;
  const std::array<data::Param, 4> params = {std::move(stored), std::int64_t{sortid},
                                             std::int64_t{id}, userid};
  connection.Execute("update wap_classes set classname=?,sortid=? where id=? and userid=?", params);
  return true;
}

bool MemberOwnsClass(data::Connection& connection, std::int64_t userid, int id) {
  const std::array<data::Param, 2> params = {userid, std::int64_t{id}};
  const std::unique_ptr<data::Recordset> count =
      connection.Execute("select count(*) from wap_classes where userid=? and id=?", params);
  const bool owns = !count->Eof() && count->Field(std::size_t{0}).ToInteger() == 1;
  count->Close();
  return owns;
}

bool DeleteClass(data::Connection& connection, std::int64_t userid, int id) {
  if (!MemberOwnsClass(connection, userid, id)) return false;
  DeleteInOneTransaction(connection, id);
  return true;
}

}  // namespace wap
