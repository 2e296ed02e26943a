// /admin/class.asp: the owner's classes in the site's order, each with its kind, a form to rename
// it or give it a position number, buttons to move it one place up or down, and a link to delete
// it through a page that says what goes with it; and a form to add one. Each change runs on this
// request's connection with its audit row in the same transaction, and is answered with a
// redirect to the list, which then says what happened. A form that cannot be saved shows the list
// again with the reason and what was typed; a class of another owner is a 404 and nothing changes.
#include <cstdint>
#include <optional>
#include <string>

#include "backoffice/editor_support.h"
#include "backoffice/office_request.h"
#include "backoffice/site_classes.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/text/utf8.h"
#include "store/classes.h"
#include "wap/framework/small_int.h"
#include "wap/framework/whole_number.h"

namespace backoffice {
namespace {

constexpr std::string_view kList = "/admin/class.asp";
constexpr std::string_view kSortError = "排序请填写整数（-32768 到 32767），例如 10。";

// What a refused form held, to show it again as typed.
struct Typed {
  std::int64_t row = 0;  // the class whose row form it was; 0: the form to add one
  std::string name;
  std::string type;
  std::string sortid;
};

// A position number as an owner may type it: blank is 0, full-width digits and minus count as
// their ASCII forms. std::nullopt when it is no whole number in range.
std::optional<std::int16_t> SortNumber(std::string_view text) {
  std::string ascii;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = text::NextCodePoint(text, pos);
    if (c >= U'０' && c <= U'９') {
      ascii.push_back(static_cast<char>('0' + (c - U'０')));
    } else {
      text::AppendUtf8(ascii, c == U'－' ? U'-' : c);
    }
  }
  if (ascii.find_first_not_of(" \t") == std::string::npos) return 0;
  const auto number = wap::ParseSmallInt(ascii);
  if (!number || ascii.find('.') != std::string::npos) return std::nullopt;
  return number;
}

// What cleaning did to `typed` that an owner would not expect, to say beside the saved name.
std::string CleaningNote(const std::string& typed, const std::string& stored) {
  if (typed.find('\'') == std::string::npos) return "";
  return "名称中不能有单引号（'），已去掉，保存为“" + stored + "”。";
}

void ShowList(OfficeRequest& request, std::string_view error = "", const Typed& typed = {}) {
  ViewList rows;
  const auto classes = store::ClassesOf(request.Connection(), request.owner->userid);
  for (std::size_t i = 0; i < classes.size(); ++i) {
    const store::SiteClass& c = classes[i];
    const bool was_typed = typed.row == c.id;
    View row;
    row.set("id", std::to_string(c.id));
    row.set("name", was_typed ? typed.name : c.name);
    row.set("kind", KindLabel(c.kind));
    row.set("sortid", was_typed ? typed.sortid : std::to_string(c.sortid));
    row.set("first", i == 0);
    row.set("last", i + 1 == classes.size());
    if (const std::string editor = EditorAddress(c); !editor.empty()) row.set("editor", editor);
    rows.push_back(row);
  }
  View view;
  view.set("has_classes", !rows.empty());
  view.set("classes", rows);
  if (typed.row == 0 && !error.empty()) {
    view.set("add_name", typed.name);
    view.set("add_sortid", typed.sortid);
    for (int type = 0; type <= 4; ++type) {
      if (typed.type == std::to_string(type)) view.set("type" + std::to_string(type), true);
    }
  }
  if (!view.get("add_sortid")) view.set("add_sortid", "0");
  request.Show("classes", "栏目管理", view, "", error);
}

// Answers 400 with the list again, `error` and what was typed.
void Refused(OfficeRequest& request, std::string_view error, const Typed& typed) {
  request.Response().SetStatus(400);
  ShowList(request, error, typed);
}

void Add(OfficeRequest& request) {
  const Typed typed{0, request.FormValue("classname"), request.FormValue("type"),
                    request.FormValue("sortid")};
  const std::string stored = store::CleanClassName(typed.name);
  const auto type = wap::ParseWholeNumber(typed.type);
  const auto sortid = SortNumber(typed.sortid);
  if (stored.empty() || stored.find('\0') != std::string::npos) {
    return Refused(request, "请填写栏目名称。", typed);
  }
  if (!type || *type < 0 || *type > 4) return Refused(request, "请选择栏目类型。", typed);
  if (!sortid) return Refused(request, kSortError, typed);
  const store::AuditActor actor = request.Actor();
  store::AddClass(request.Connection(), request.owner->userid, typed.name, *type, *sortid, &actor);
  request.Tell("已新建栏目“" + stored + "”。" + CleaningNote(typed.name, stored));
  request.Response().Redirect(kList);
}

void Rename(OfficeRequest& request, std::int64_t id) {
  const Typed typed{id, request.FormValue("edtclassname"), "", request.FormValue("edtsortid")};
  const std::string stored = store::CleanClassName(typed.name);
  const auto sortid = SortNumber(typed.sortid);
  if (stored.empty() || stored.find('\0') != std::string::npos) {
    return Refused(request, "请填写栏目名称。", typed);
  }
  if (!sortid) return Refused(request, kSortError, typed);
  const store::AuditActor actor = request.Actor();
  if (!store::RenameClass(request.Connection(), request.owner->userid, id, typed.name, *sortid,
                          &actor)) {
    return NotOwnRow(request);
  }
  request.Tell("已保存栏目“" + stored + "”。" + CleaningNote(typed.name, stored));
  request.Response().Redirect(kList);
}

void Move(OfficeRequest& request, std::int64_t id, bool earlier) {
  const auto owned = store::OwnedClass(request.Connection(), request.owner->userid, id);
  if (!owned) return NotOwnRow(request);
  if (store::MoveClass(request.Connection(), request.owner->userid, id, earlier, request.Actor())) {
    request.Tell("已将栏目“" + owned->name + (earlier ? "”上移一位。" : "”下移一位。"));
  }
  request.Response().Redirect(kList);
}

// What deleting class `c` deletes with it, as the owner knows it.
std::string WhatGoesWith(OfficeRequest& request, const store::SiteClass& c) {
  const std::int64_t texts = store::ContentCountOfClass(request.Connection(), c.id);
  if (texts == 0) return "";
  const bool news = c.kind == store::ClassKind::kNews;
  return "及其中的 " + std::to_string(texts) + (news ? " 篇文章" : " 段内容");
}

void Delete(OfficeRequest& request, std::int64_t id) {
  const auto owned = store::OwnedClass(request.Connection(), request.owner->userid, id);
  if (!owned) return NotOwnRow(request);
  const std::string goes = WhatGoesWith(request, *owned);
  const store::AuditActor actor = request.Actor();
  if (!store::DeleteClass(request.Connection(), request.owner->userid, id, &actor)) {
    return NotOwnRow(request);
  }
  request.Tell("已删除栏目“" + owned->name + "”" + goes + "。");
  request.Response().Redirect(kList);
}

void ConfirmDeletion(OfficeRequest& request, std::int64_t id) {
  const auto owned = store::OwnedClass(request.Connection(), request.owner->userid, id);
  if (!owned) return NotOwnRow(request);
  std::string what = "栏目“" + owned->name + "”" + WhatGoesWith(request, *owned);
  if (owned->kind == store::ClassKind::kProducts) what += "（产品本身不会删除）";
  ConfirmDelete(request, "删除栏目", what, std::string(kList) + "?act=del&id=" + std::to_string(id),
                std::string(kList));
}

}  // namespace

void ClassesPage(OfficeRequest& request) {
  const host::Request& asked = request.Request();
  if (asked.QueryString().Get("act") == "del") {
    const auto id = wap::ParseWholeNumber(asked.QueryString().Get("id").value_or(""));
    return id ? Delete(request, *id) : NotOwnRow(request);
  }
  if (request.IsPost()) {
    const std::string submit = request.FormValue("submit");
    const std::string move = request.FormValue("move");
    const auto id = IdItem(request, "id");
    if (submit == "新建") return Add(request);
    if (submit == "保存") return id ? Rename(request, *id) : NotOwnRow(request);
    if (move == "up" || move == "down") {
      return id ? Move(request, *id, move == "up") : NotOwnRow(request);
    }
    return request.Response().Redirect(kList);
  }
  if (const auto id = IdItem(request, "delete")) return ConfirmDeletion(request, *id);
  ShowList(request);
}

}  // namespace backoffice
