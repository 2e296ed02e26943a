#include "store/guestbook.h"

#include <array>

#include "platform/data/connection.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"
#include "store/local_time.h"

namespace store {

namespace {

GuestbookEntry ReadEntry(const data::Recordset& row) {
  return {row.Field("id").ToInteger().value_or(0),
          row.Field("lyr").ToText(),
          row.Field("title").ToText(),
          row.Field("lytime").ToText(),
          row.Field("content").ToText(),
          row.Field("hf").ToText(),
          row.Field("hftime").ToText()};
}

}  // namespace

PagedList<GuestbookEntry> GuestbookPages(data::Connection& connection, std::int64_t userid,
                                         int page_size) {
  return {PagedRows(connection, "select * from wap_lyb where userid=? order by id desc",
                    data::Params{userid}, page_size),
          ReadEntry};
}

std::optional<GuestbookEntry> OwnedMessage(data::Connection& connection, std::int64_t userid,
                                           std::int64_t id) {
  const auto row =
      connection.Execute("select * from wap_lyb where id=? and userid=?", data::Params{id, userid});
  if (row->Eof()) return std::nullopt;
  return ReadEntry(*row);
}

namespace {

// Runs `sql`, a change of one message of member `actor.userid` returning its author and title,
// with `params` and, when it changed the message, the audit row `action` naming the message as
// the owner sees it, all in one transaction.
bool ChangeMessage(data::Connection& connection, const AuditActor& actor, std::string_view sql,
                   const data::Params& params, std::string_view action) {
  data::TransactionGuard transaction(connection);
  std::string target;
  {
    const auto changed = connection.Execute(sql, params);
    if (changed->Eof()) return false;
    target = changed->Field("lyr").ToText() + " 的留言“" + changed->Field("title").ToText() + "”";
  }
  RecordAudit(connection, actor, action, target);
  transaction.Commit();
  return true;
}

}  // namespace

bool OwnsMessage(data::Connection& connection, std::int64_t userid, std::int64_t id) {
  const std::array<data::Param, 2> params = {id, userid};
  return !connection.Execute("select id from wap_lyb where id=? and userid=?", params)->Eof();
}

bool SetReply(data::Connection& connection, const AuditActor& actor, std::int64_t id,
              const std::string& reply) {
  return ChangeMessage(
      connection, actor,
      "update wap_lyb set hf=?,hftime=? where id=? and userid=? returning lyr,title",
      {reply, LocalTimeNow(), id, actor.userid}, "回复留言");
}

bool RemoveReply(data::Connection& connection, const AuditActor& actor, std::int64_t id) {
  return ChangeMessage(
      connection, actor,
      "update wap_lyb set hf=null,hftime=null where id=? and userid=? returning lyr,title",
      {id, actor.userid}, "删除回复");
}

bool DeleteMessage(data::Connection& connection, const AuditActor& actor, std::int64_t id) {
  return ChangeMessage(connection, actor,
                       "delete from wap_lyb where id=? and userid=? returning lyr,title",
                       {id, actor.userid}, "删除留言");
}

void AddMessage(data::Connection& connection, std::int64_t userid, const std::string& author,
                const std::string& title, const std::string& content) {
  connection.Execute("insert into wap_lyb (userid,lyr,title,content,lytime) values (?,?,?,?,?)",
                     data::Params{userid, author, title, content, LocalTimeNow()});
}

}  // namespace store
