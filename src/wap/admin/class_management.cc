#include "wap/admin/class_management.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/recordset.h"
#include "platform/data/value.h"
#include "platform/host/request.h"
#include "platform/host/request_error.h"
#include "platform/host/session.h"
#include "wap/admin/admin_context.h"
#include "wap/framework/page.h"
#include "wap/framework/small_int.h"

namespace wap {
namespace {

// Runs `statements` in one transaction: all of them or, when one fails, none. The failure is
// rethrown after the rollback; a failing rollback is added to its description.
void RunInOneTransaction(data::Connection& connection,
                         std::initializer_list<std::string> statements) {
  connection.BeginTrans();
  try {
    for (const auto& sql : statements) connection.Execute(sql);
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

// The cleaned form value `name`, refusing a NUL that would cut the statement short.
std::string CleanedFormName(const host::Request& request, std::string_view name) {
  std::string cleaned = CleanClassName(request.Form().Get(name).value_or(""));
  if (cleaned.find('\0') != std::string::npos) {
    // The request's own value is at fault: a 400, not a server error.
    throw host::RequestError("the class name holds a NUL character");
  }
  return cleaned;
}

std::string Number(std::int64_t n) { return std::to_string(n); }

void Add(Page& page, const host::Request& request, data::Connection& connection) {
  const std::string name = CleanedFormName(request, "classname");
  if (name.empty()) return;
  const std::int64_t userid = SessionUserId(page.Session());
  const std::int16_t type = ToSmallInt(request.Form().Get("type"), "type");
  const std::int16_t sortid = ToSmallInt(request.Form().Get("sortid"), "sortid");
  connection.Execute("insert into wap_classes (userid,type,classname,sortid) values (" +
                     Number(userid) + "," + Number(type) + ",'" + name + "'," + Number(sortid) +
                     ")");
}

void Rename(Page& page, const host::Request& request, data::Connection& connection) {
  const std::string name = CleanedFormName(request, "edtclassname");
  if (name.empty()) return;
  const std::int64_t userid = SessionUserId(page.Session());
  const std::int16_t sortid = ToSmallInt(request.Form().Get("edtsortid"), "edtsortid");
  const std::int16_t id = ToSmallInt(request.Item("id"), "id");
  connection.Execute("update wap_classes set classname='" + name + "',sortid=" + Number(sortid) +
                     " where id=" + Number(id) + " and userid=" + Number(userid));
}

void Delete(Page& page, const host::Request& request, data::Connection& connection) {
  const std::int64_t userid = SessionUserId(page.Session());
  const std::int16_t id = ToSmallInt(request.QueryString().Get("id"), "id");
  // The count becomes the shared recordset, which the administration end closes.
  data::Recordset& count = page.Recordset();
  count.Close();
  count.Open(
      "select count(*) from wap_classes where userid= " + Number(userid) + " and id=" + Number(id),
      connection);
  if (count.Eof() || count.Field(std::size_t{0}).ToInteger() != 1) return;
  RunInOneTransaction(connection, {"delete from wap_contents where cid=" + Number(id),
                                   "delete from wap_classes where id=" + Number(id)});
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

void AdminClassDoAction(Page& page) {
  data::Connection& connection = AdminConnection(page);
  const host::Request& request = page.Request();
  const std::optional<std::string> submit = request.Form().Get("submit");
  if (submit == "新建") Add(page, request, connection);
  if (submit == "保存") Rename(page, request, connection);
  if (request.QueryString().Get("act") == "del") Delete(page, request, connection);
}

}  // namespace wap
