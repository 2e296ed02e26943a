#include "store/audit.h"

#include <array>
#include <memory>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/value.h"
#include "store/local_time.h"

namespace store {

void RecordAudit(data::Connection& connection, const AuditActor& actor, std::string_view action,
                 std::string_view target) {
  const std::array<data::Param, 5> params = {actor.userid, LocalTimeNow(), actor.address,
                                             std::string(action), std::string(target)};
  connection.Execute(
      "insert into wap_audit (userid,addtime,address,action,target) values (?,?,?,?,?)", params);
}

std::vector<AuditEntry> LatestAudit(data::Connection& connection, std::int64_t userid, int count) {
  const std::array<data::Param, 2> params = {userid, std::int64_t{count}};
  std::vector<AuditEntry> entries;
  for (auto rows = connection.Execute(
           "select addtime,address,action,target from wap_audit where userid=? order by id desc "
           "limit ?",
           params);
       !rows->Eof(); rows->MoveNext()) {
    entries.push_back({rows->Field("addtime").ToText(), rows->Field("address").ToText(),
                       rows->Field("action").ToText(), rows->Field("target").ToText()});
  }
  return entries;
}

}  // namespace store
