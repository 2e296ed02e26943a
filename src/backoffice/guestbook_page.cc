// /admin/guestbook.asp: the visitors' messages of the signed-in owner's guestbook, newest first, a
// page at a time, each with forms to write or change the owner's reply (its time set by the
// server), remove the reply, or delete the message. A message that is not the owner's is a 404
// and nothing changes. Every change is recorded in the audit trail.
#include <string>
#include <vector>

#include "backoffice/editor_support.h"
#include "backoffice/handset_pages.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "store/guestbook.h"
#include "wap/framework/xml_escape.h"

namespace backoffice {
namespace {

constexpr TextField kReply{"hf", "回复", 500, kMarkupFormat, true};
constexpr std::string_view kEditor = "/admin/guestbook.asp";

void Show(OfficeRequest& request, std::string_view error) {
  const int page = RequestedPage(request);
  auto pages = store::GuestbookPages(request.Connection(), request.owner->userid, kEditorPageSize);
  const std::vector<store::GuestbookEntry> shown = pages.Page(page);
  // A refused reply stays in its message's field, to be corrected.
  const auto refused =
      error.empty() && !IsCountRound(request) ? std::nullopt : IdItem(request, "id");
  ViewList messages;
  for (const store::GuestbookEntry& entry : shown) {
    View message;
    message.set("id", std::to_string(entry.id));
    message.set("lyr", entry.author);
    message.set("title", entry.title);
    message.set("lytime", entry.time);
    message.set("content", entry.content);
    message.set("replied", !entry.reply_time.empty());
    message.set("hftime", entry.reply_time);
    const std::string reply = refused == entry.id ? request.FormValue("hf") : entry.reply;
    View field = FieldView(kReply, reply);
    // On the live page the reply shares its paragraph with the message.
    const std::string message_markup = wap::EscapeXmlText(entry.author) + "：" +
                                       wap::EscapeXmlText(entry.title) + "<br />" +
                                       wap::EscapeXmlText(entry.time) + "<br /> " +
                                       wap::EscapeXmlText(entry.content) + "\r\n回复：<br />";
    SetHandsetPages(field, reply, HandsetText::kOwnerMarkup, request.owner->username,
                    message_markup);
    message.set("f_reply", field);
    messages.push_back(message);
  }
  View view;
  view.set("messages", messages);
  view.set("has_messages", !messages.empty());
  SetLiveLinks(view, *request.owner, "lyb", "");
  SetPaging(view, std::string(kEditor) + "?", page, pages.RowCount());
  request.Show("guestbook", "留言板", view,
               request.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

// Runs the change `act` on message `id` of the owner; returns the error to show, or "".
std::string Change(OfficeRequest& request, const std::string& act, std::int64_t id) {
  data::Connection& connection = request.Connection();
  if (act == "reply") {
    const std::string reply = request.FormValue("hf");
    if (std::string error = CheckText(kReply, reply); !error.empty()) return error;
    store::SetReply(connection, request.Actor(), id, reply);
  } else if (act == "unreply") {
    if (store::RemoveReply(connection, request.Actor(), id)) request.Tell("已删除回复。");
  } else if (act == "delete") {
    if (store::DeleteMessage(connection, request.Actor(), id)) request.Tell("已删除留言。");
  } else {
    return "未知的操作。";
  }
  return "";
}

}  // namespace

void GuestbookPage(OfficeRequest& request) {
  const std::string back = std::string(kEditor) + "?page=" + std::to_string(RequestedPage(request));
  for (const bool reply_only : {false, true}) {
    const auto id = DeleteAsked(request, reply_only ? "unreply" : "delete");
    if (!id) continue;
    const auto entry = store::OwnedMessage(request.Connection(), request.owner->userid, *id);
    if (!entry) return NotOwnRow(request);
    const std::string message = entry->author + " 的留言“" + entry->title + "”";
    return reply_only ? ConfirmDelete(request, "删除回复", "对" + message + "的回复", back, back,
                                      "unreply", *id)
                      : ConfirmDelete(request, "删除留言",
                                      message + (entry->reply_time.empty() ? "" : "和您的回复"),
                                      back, back, "delete", *id);
  }
  if (!request.IsPost()) return Show(request, "");
  const auto id = IdItem(request, "id");
  if (!id || !store::OwnsMessage(request.Connection(), request.owner->userid, *id)) {
    return NotOwnRow(request);
  }
  if (IsCountRound(request)) return Show(request, "");
  const std::string error = Change(request, request.FormValue("act"), *id);
  if (!error.empty()) return Show(request, error);
  Saved(request, std::string(kEditor) + "?page=" + std::to_string(RequestedPage(request)));
}

}  // namespace backoffice
