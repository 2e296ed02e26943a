#include "store/contents.h"

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

// A text of `row`; the class name and member when the row has them (the view's rows do).
Content ReadContent(const data::Recordset& row, bool with_class = true) {
  const data::Value& added = row.Field("addtime");
  return {row.Field("id").ToInteger().value_or(0),
          row.Field("cid").ToInteger().value_or(0),
          row.Field("title").ToText(),
          row.Field("content").ToText(),
          added.IsNull() ? std::nullopt : std::optional<std::string>(added.ToText()),
          with_class ? row.Field("classname").ToText() : "",
          with_class ? row.Field("userid").ToInteger().value_or(0) : 0};
}

}  // namespace

std::vector<Content> ContentsOfClass(data::Connection& connection, std::int64_t cid) {
  std::vector<Content> contents;
  for (auto rows =
           connection.Execute("select * from v_wap_contents where cid=?", data::Params{cid});
       !rows->Eof(); rows->MoveNext()) {
    contents.push_back(ReadContent(*rows));
  }
  return contents;
}

std::optional<Content> FirstContentOfClass(data::Connection& connection, std::int64_t cid) {
  const auto rows =
      connection.Execute("select * from v_wap_contents where cid=?", data::Params{cid});
  if (rows->Eof()) return std::nullopt;
  return ReadContent(*rows);
}

std::optional<Content> ContentById(data::Connection& connection, std::int64_t id) {
  const auto rows = connection.Execute("select * from v_wap_contents where id=?", data::Params{id});
  if (rows->Eof()) return std::nullopt;
  return ReadContent(*rows);
}

PagedList<Content> ContentPages(data::Connection& connection, std::int64_t cid, int page_size) {
  return {PagedRows(connection, "select * from wap_contents where cid=? order by id desc",
                    data::Params{cid}, page_size),
          [](const data::Recordset& row) { return ReadContent(row, false); }};
}

void SaveSingleText(data::Connection& connection, const AuditActor& actor, std::int64_t cid,
                    const std::string& classname, const std::string& content) {
  data::TransactionGuard transaction(connection);
  if (const std::optional<Content> first = FirstContentOfClass(connection, cid)) {
    const std::array<data::Param, 2> params = {content, first->id};
    connection.Execute("update wap_contents set content=? where id=?", params);
  } else {
    const std::array<data::Param, 4> params = {cid, classname, content, LocalTimeNow()};
    connection.Execute("insert into wap_contents (cid,title,content,addtime) values (?,?,?,?)",
                       params);
  }
  RecordAudit(connection, actor, "修改单页内容", "栏目“" + classname + "”");
  transaction.Commit();
}

bool SaveArticle(data::Connection& connection, const AuditActor& actor, std::int64_t cid,
                 std::optional<std::int64_t> id, const std::string& title,
                 const std::string& content) {
  data::TransactionGuard transaction(connection);
  if (id) {
    const std::array<data::Param, 4> params = {title, content, *id, cid};
    {
      const auto changed = connection.Execute(
          "update wap_contents set title=?,content=? where id=? and cid=? returning id", params);
      if (changed->Eof()) return false;
    }
    RecordAudit(connection, actor, "修改文章", "文章“" + title + "”");
  } else {
    const std::array<data::Param, 4> params = {cid, title, content, LocalTimeNow()};
    connection.Execute("insert into wap_contents (cid,title,content,addtime) values (?,?,?,?)",
                       params);
    RecordAudit(connection, actor, "新建文章", "文章“" + title + "”");
  }
  transaction.Commit();
  return true;
}

bool DeleteArticle(data::Connection& connection, const AuditActor& actor, std::int64_t cid,
                   std::int64_t id) {
  data::TransactionGuard transaction(connection);
  const std::array<data::Param, 2> params = {id, cid};
  std::string title;
  {
    const auto deleted =
        connection.Execute("delete from wap_contents where id=? and cid=? returning title", params);
    if (deleted->Eof()) return false;
    title = deleted->Field("title").ToText();
  }
  RecordAudit(connection, actor, "删除文章", "文章“" + title + "”");
  transaction.Commit();
  return true;
}

}  // namespace store
