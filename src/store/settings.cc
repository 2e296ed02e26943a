#include "store/settings.h"

#include <array>
#include <memory>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"

namespace store {
namespace {

data::Param TextOrNull(const std::optional<std::string>& text) {
  return text ? data::Param{*text} : data::Param{};
}

bool HasSetting(data::Connection& connection, std::int64_t userid) {
  const std::array<data::Param, 1> who = {userid};
  return !connection.Execute("select id from wap_setting where userid=?", who)->Eof();
}

// Sets `column` (a fixed name) of the member's row, adding the row when missing.
void WriteSetting(data::Connection& connection, std::int64_t userid, const char* column,
                  data::Param value) {
  const bool exists = HasSetting(connection, userid);
  const std::array<data::Param, 2> params = {std::move(value), userid};
  connection.Execute(
      exists ? std::string("update wap_setting set ") + column + "=? where userid=?"
             : std::string("insert into wap_setting (") + column + ",userid) values (?,?)",
      params);
}

}  // namespace

std::optional<SiteSetting> SettingOf(data::Connection& connection, std::int64_t userid) {
  const std::array<data::Param, 1> params = {userid};
  const auto row = connection.Execute(
      "select dircall,templeteid from wap_setting where userid=? order by id", params);
  if (row->Eof()) return std::nullopt;
  return SiteSetting{row->Field("dircall").ToText(), row->Field("templeteid").ToText()};
}

void SetCallNumber(data::Connection& connection, const AuditActor& actor,
                   const std::optional<std::string>& dircall) {
  data::TransactionGuard transaction(connection);
  WriteSetting(connection, actor.userid, "dircall", TextOrNull(dircall));
  RecordAudit(connection, actor, "修改电话",
              dircall ? "电话号码“" + *dircall + "”" : "电话号码（清空）");
  transaction.Commit();
}

void SetTemplate(data::Connection& connection, std::int64_t userid, std::int64_t templeteid) {
  WriteSetting(connection, userid, "templeteid", templeteid);
}

void AddSettingUnlessPresent(data::Connection& connection, std::int64_t userid,
                             const std::optional<std::string>& dircall, std::int64_t templeteid) {
  if (HasSetting(connection, userid)) return;
  const std::array<data::Param, 3> setting = {userid, TextOrNull(dircall), templeteid};
  connection.Execute("insert into wap_setting (userid,dircall,templeteid) values (?,?,?)", setting);
}

}  // namespace store
