// /admin/members.asp: the members of the signed-in owner's site (web_member: the visitors who may
// log in on its pages): list, add, set a new password, remove. A new password is stored as a hash
// (HashPassword); a row still holding a plain password from an older installation is shown as
// such and gets its hash at the member's next login. A member of another site is a 404 and nothing
// changes. Every change is recorded in the audit trail, never with the password.
#include <array>
#include <memory>
#include <string>

#include "backoffice/editor_support.h"
#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/passwords/password_hash.h"
#include "platform/passwords/stored_password.h"
#include "wap/framework/page.h"

namespace backoffice {

using passwords::HashPassword;
using passwords::IsPasswordHash;

namespace {

// The handset's login form takes at most 50 characters in each field.
constexpr TextField kName{"m_name", "会员名", 50, kLineFormat, true};
constexpr TextField kPassword{"password", "密码", 50, kLineFormat, true};
constexpr std::string_view kEditor = "/admin/members.asp";

void Show(OfficeRequest& request, std::string_view error) {
  const std::array<data::Param, 1> params = {request.owner->userid};
  ViewList members;
  for (auto rows = request.page.Connection().Execute(
           "select id,m_name,m_password from web_member where m_id=? order by id", params);
       !rows->Eof(); rows->MoveNext()) {
    members.push_back(
        kainjow::mustache::object{{"id", rows->Field("id").ToText()},
                                  {"name", rows->Field("m_name").ToText()},
                                  {"plain", !IsPasswordHash(rows->Field("m_password").ToText())}});
  }
  View view;
  view.set("members", members);
  view.set("has_members", !members.empty());
  view.set("f_name", FieldView(kName, error.empty() ? "" : request.FormValue("m_name")));
  view.set("f_password", FieldView(kPassword, ""));
  SetLiveLinks(view, *request.owner, "login", "");
  request.Show("members", "会员", view,
               request.page.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

// Runs the change the form asks for; returns the error to show, or "" (also when it has answered
// 404 itself).
std::string Change(OfficeRequest& request) {
  data::Connection& connection = request.page.Connection();
  const std::int64_t userid = request.owner->userid;
  const std::string act = request.FormValue("act");
  const std::string password = request.FormValue("password");
  if (act == "add") {
    const std::string name = request.FormValue("m_name");
    for (const auto& [field, value] : {std::pair{kName, name}, std::pair{kPassword, password}}) {
      if (std::string error = CheckText(field, value); !error.empty()) return error;
    }
    data::TransactionGuard transaction(connection);
    const std::array<data::Param, 2> who = {userid, name};
    if (!connection.Execute("select id from web_member where m_id=? and m_name=?", who)->Eof()) {
      return "会员名“" + name + "”已经有了。";
    }
    const std::array<data::Param, 3> params = {userid, name, HashPassword(password)};
    connection.Execute("insert into web_member (m_id,m_name,m_password) values (?,?,?)", params);
    request.Audit("新建会员", "web_member " + name);
    transaction.Commit();
    return "";
  }
  const auto id = IdItem(request, "id");
  const std::array<data::Param, 2> row = {id.value_or(0), userid};
  if (!id || connection.Execute("select id from web_member where id=? and m_id=?", row)->Eof()) {
    NotOwnRow(request);
    return "";
  }
  const std::string target = "web_member " + std::to_string(*id);
  data::TransactionGuard transaction(connection);
  if (act == "password") {
    if (std::string error = CheckText(kPassword, password); !error.empty()) return error;
    const std::array<data::Param, 3> params = {HashPassword(password), *id, userid};
    connection.Execute("update web_member set m_password=? where id=? and m_id=?", params);
    request.Audit("修改会员密码", target);
  } else if (act == "delete") {
    connection.Execute("delete from web_member where id=? and m_id=?", row);
    request.Audit("删除会员", target);
  } else {
    return "未知的操作。";
  }
  transaction.Commit();
  return "";
}

}  // namespace

void MembersPage(OfficeRequest& request) {
  if (!request.IsPost()) return Show(request, "");
  const std::string error = Change(request);
  if (request.page.Response().Ended()) return;
  if (!error.empty()) return Show(request, error);
  Saved(request, std::string(kEditor));
}

}  // namespace backoffice
