// /admin/members.asp: the members of the signed-in owner's site (web_member: the visitors who may
// log in on its pages): list, add, set a new password, remove. A new password is stored as a hash
// (HashPassword); a row still holding a plain password from an older installation is shown as
// such and gets its hash at the member's next login. A member of another site is a 404 and nothing
// changes. Every change is recorded in the audit trail, never with the password.
#include <string>

#include "backoffice/editor_support.h"
#include "platform/data/connection.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/passwords/password_hash.h"
#include "platform/passwords/stored_password.h"
#include "store/members.h"

namespace backoffice {

using passwords::HashPassword;
using passwords::IsPasswordHash;

namespace {

// The handset's login form takes at most 50 characters in each field.
constexpr TextField kName{"m_name", "会员名", 50, kLineFormat, true};
constexpr TextField kPassword{"password", "密码", 50, kLineFormat, true};
constexpr std::string_view kEditor = "/admin/members.asp";

void Show(OfficeRequest& request, std::string_view error) {
  ViewList members;
  for (const store::Member& m : store::MembersOf(request.Connection(), request.owner->userid)) {
    members.push_back(kainjow::mustache::object{
        {"id", std::to_string(m.id)}, {"name", m.name}, {"plain", !IsPasswordHash(m.password)}});
  }
  View view;
  view.set("members", members);
  view.set("has_members", !members.empty());
  view.set("f_name", FieldView(kName, error.empty() ? "" : request.FormValue("m_name")));
  view.set("f_password", FieldView(kPassword, ""));
  SetLiveLinks(view, *request.owner, "login", "");
  request.Show("members", "会员", view,
               request.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

// Runs the change the form asks for; returns the error to show, or "" (also when it has answered
// 404 itself).
std::string Change(OfficeRequest& request) {
  data::Connection& connection = request.Connection();
  const std::int64_t userid = request.owner->userid;
  const std::string act = request.FormValue("act");
  const std::string password = request.FormValue("password");
  if (act == "add") {
    const std::string name = request.FormValue("m_name");
    for (const auto& [field, value] : {std::pair{kName, name}, std::pair{kPassword, password}}) {
      if (std::string error = CheckText(field, value); !error.empty()) return error;
    }
    if (!store::AddMember(connection, request.Actor(), name, HashPassword(password))) {
      return "会员名“" + name + "”已经有了。";
    }
    return "";
  }
  const auto id = IdItem(request, "id");
  if (!id || !store::OwnsMember(connection, userid, *id)) {
    NotOwnRow(request);
    return "";
  }
  if (act == "password") {
    if (std::string error = CheckText(kPassword, password); !error.empty()) return error;
    store::SetMemberPassword(connection, request.Actor(), *id, HashPassword(password));
  } else if (act == "delete") {
    const auto member = store::OwnedMember(connection, userid, *id);
    if (member && store::DeleteMember(connection, request.Actor(), *id)) {
      request.Tell("已删除会员“" + member->name + "”。");
    }
  } else {
    return "未知的操作。";
  }
  return "";
}

}  // namespace

void MembersPage(OfficeRequest& request) {
  if (const auto id = DeleteAsked(request)) {
    const auto member = store::OwnedMember(request.Connection(), request.owner->userid, *id);
    if (!member) return NotOwnRow(request);
    return ConfirmDelete(request, "删除会员",
                         "会员“" + member->name + "”（此后不能再用这个会员名登录）", kEditor,
                         kEditor, "delete", *id);
  }
  if (!request.IsPost()) return Show(request, "");
  const std::string error = Change(request);
  if (request.Response().Ended()) return;
  if (!error.empty()) return Show(request, error);
  Saved(request, std::string(kEditor));
}

}  // namespace backoffice
