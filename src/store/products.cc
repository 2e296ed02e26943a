#include "store/products.h"

#include <array>

#include "platform/data/connection.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"
#include "store/local_time.h"

namespace store {

namespace {

Product ReadProduct(const data::Recordset& row) {
  return {row.Field("id").ToInteger().value_or(0), row.Field("pname").ToText(),
          row.Field("ppic").ToText(), row.Field("pcontent").ToText(),
          row.Field("addtime").ToText()};
}

}  // namespace

PagedList<Product> ProductPages(data::Connection& connection, std::int64_t userid, int page_size) {
  return {PagedRows(connection, "select * from wap_product where userid=? order by id desc",
                    data::Params{userid}, page_size),
          ReadProduct};
}

std::optional<Product> OwnedProduct(data::Connection& connection, std::int64_t userid,
                                    std::int64_t id) {
  const std::array<data::Param, 2> params = {id, userid};
  const auto row = connection.Execute(
      "select id,pname,ppic,pcontent,addtime from wap_product where id=? and userid=?", params);
  if (row->Eof()) return std::nullopt;
  return ReadProduct(*row);
}

bool PictureInUse(data::Connection& connection, std::int64_t userid, const std::string& name) {
  const std::array<data::Param, 2> params = {userid, name};
  const auto users =
      connection.Execute("select count(*) as n from wap_product where userid=? and ppic=?", params);
  return users->Field("n").ToInteger().value_or(1) != 0;
}

bool SaveProduct(data::Connection& connection, const AuditActor& actor, const Product& product,
                 bool uploaded) {
  data::TransactionGuard transaction(connection);
  if (product.id != 0) {
    const std::array<data::Param, 5> params = {product.name, product.picture, product.description,
                                               product.id, actor.userid};
    {
      const auto changed = connection.Execute(
          "update wap_product set pname=?,ppic=?,pcontent=? where id=? and userid=? returning id",
          params);
      if (changed->Eof()) return false;
    }
    RecordAudit(connection, actor, "修改产品", "产品“" + product.name + "”");
  } else {
    const std::array<data::Param, 5> params = {actor.userid, product.name, product.picture,
                                               product.description, LocalTimeNow()};
    connection.Execute(
        "insert into wap_product (userid,pname,ppic,pcontent,addtime) values (?,?,?,?,?)", params);
    RecordAudit(connection, actor, "新建产品", "产品“" + product.name + "”");
  }
  if (uploaded) RecordAudit(connection, actor, "上传图片", "产品“" + product.name + "”的图片");
  transaction.Commit();
  return true;
}

bool DeleteProduct(data::Connection& connection, const AuditActor& actor, std::int64_t id) {
  data::TransactionGuard transaction(connection);
  const std::array<data::Param, 2> params = {id, actor.userid};
  std::string name;
  {
    const auto deleted = connection.Execute(
        "delete from wap_product where id=? and userid=? returning pname", params);
    if (deleted->Eof()) return false;
    name = deleted->Field("pname").ToText();
  }
  RecordAudit(connection, actor, "删除产品", "产品“" + name + "”");
  transaction.Commit();
  return true;
}

}  // namespace store
