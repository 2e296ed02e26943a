// /admin/guestbook.asp: the visitors' messages of the signed-in owner's guestbook, newest first, a
// page at a time, each with forms to write or change the owner's reply (its time set by the
// server), remove the reply, or delete the message. A message that is not the owner's is a 404
// and nothing changes. Every change is recorded in the audit trail.
#include <array>
#include <memory>
#include <span>
#include <string>

#include "backoffice/editor_support.h"
#include "backoffice/handset_pages.h"
#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "wap/framework/local_time.h"
#include "wap/framework/page.h"
#include "wap/framework/xml_escape.h"

namespace backoffice {
namespace {

constexpr TextField kReply{"hf", "回复", 500, kMarkupFormat, true};
constexpr std::string_view kEditor = "/admin/guestbook.asp";

bool OwnMessage(OfficeRequest& request, std::int64_t id) {
  const std::array<data::Param, 2> params = {id, request.owner->userid};
  return !request.page.Connection()
              .Execute("select id from wap_lyb where id=? and userid=?", params)
              ->Eof();
}

void Show(OfficeRequest& request, std::string_view error) {
  data::Connection& connection = request.page.Connection();
  const int page = RequestedPage(request);
  const std::array<data::Param, 3> params = {request.owner->userid, std::int64_t{kEditorPageSize},
                                             std::int64_t{(page - 1) * kEditorPageSize}};
  // A refused reply stays in its message's field, to be corrected.
  const auto refused =
      error.empty() && !IsCountRound(request) ? std::nullopt : IdItem(request, "id");
  ViewList messages;
  for (auto rows = connection.Execute(
           "select id,lyr,title,lytime,content,hf,hftime from wap_lyb where userid=? order by id "
           "desc limit ? offset ?",
           params);
       !rows->Eof(); rows->MoveNext()) {
    const std::int64_t id = rows->Field("id").ToInteger().value_or(0);
    const std::string reply_time = rows->Field("hftime").ToText();
    View message;
    message.set("id", std::to_string(id));
    message.set("lyr", rows->Field("lyr").ToText());
    message.set("title", rows->Field("title").ToText());
    message.set("lytime", rows->Field("lytime").ToText());
    message.set("content", rows->Field("content").ToText());
    message.set("replied", !reply_time.empty());
    message.set("hftime", reply_time);
    const std::string reply = refused == id ? request.FormValue("hf") : rows->Field("hf").ToText();
    View field = FieldView(kReply, reply);
    // On the live page the reply shares its paragraph with the message.
    const std::string message_markup =
        wap::EscapeXmlText(rows->Field("lyr").ToText()) + "：" +
        wap::EscapeXmlText(rows->Field("title").ToText()) + "<br />" +
        wap::EscapeXmlText(rows->Field("lytime").ToText()) + "<br /> " +
        wap::EscapeXmlText(rows->Field("content").ToText()) + "\r\n回复：<br />";
    SetHandsetPages(field, reply, HandsetText::kOwnerMarkup, request.owner->username,
                    message_markup);
    message.set("f_reply", field);
    messages.push_back(message);
  }
  View view;
  view.set("messages", messages);
  view.set("has_messages", !messages.empty());
  SetLiveLinks(view, *request.owner, "lyb", "");
  const std::int64_t total =
      connection
          .Execute("select count(*) as n from wap_lyb where userid=?", std::span(params).first(1))
          ->Field("n")
          .ToInteger()
          .value_or(0);
  SetPaging(view, std::string(kEditor) + "?", page, total);
  request.Show("guestbook", "留言板", view,
               request.page.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

// Runs the change `act` on message `id` of the owner; returns the error to show, or "".
std::string Change(OfficeRequest& request, const std::string& act, std::int64_t id) {
  data::Connection& connection = request.page.Connection();
  const std::int64_t userid = request.owner->userid;
  const std::string target = "wap_lyb " + std::to_string(id);
  if (act == "reply") {
    const std::string reply = request.FormValue("hf");
    if (std::string error = CheckText(kReply, reply); !error.empty()) return error;
    data::TransactionGuard transaction(connection);
    const std::array<data::Param, 4> params = {reply, wap::LocalTimeNow(), id, userid};
    connection.Execute("update wap_lyb set hf=?,hftime=? where id=? and userid=?", params);
    request.Audit("回复留言", target);
    transaction.Commit();
    return "";
  }
  const std::array<data::Param, 2> params = {id, userid};
  data::TransactionGuard transaction(connection);
  if (act == "unreply") {
    connection.Execute("update wap_lyb set hf=null,hftime=null where id=? and userid=?", params);
    request.Audit("删除回复", target);
  } else if (act == "delete") {
    connection.Execute("delete from wap_lyb where id=? and userid=?", params);
    request.Audit("删除留言", target);
  } else {
    return "未知的操作。";
  }
  transaction.Commit();
  return "";
}

}  // namespace

void GuestbookPage(OfficeRequest& request) {
  if (!request.IsPost()) return Show(request, "");
  const auto id = IdItem(request, "id");
  if (!id || !OwnMessage(request, *id)) return NotOwnRow(request);
  if (IsCountRound(request)) return Show(request, "");
  const std::string error = Change(request, request.FormValue("act"), *id);
  if (!error.empty()) return Show(request, error);
  Saved(request, std::string(kEditor) + "?page=" + std::to_string(RequestedPage(request)));
}

}  // namespace backoffice
