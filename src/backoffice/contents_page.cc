// /admin/contents.asp?cid=N: the texts of class N of the signed-in owner. A single-content class
// (kind 0) has one text, edited in place (its row is made at the first save); a news class
// (kind 1) lists its articles newest first, a page at a time, with forms to write, edit and
// delete one; the time an article was added is the server's. A class, or an article, that is not
// the owner's is a 404 and nothing changes. Every change is recorded in the audit trail.
#include <array>
#include <memory>
#include <optional>
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
#include "platform/text/percent.h"
#include "wap/framework/local_time.h"
#include "wap/framework/page.h"

namespace backoffice {
namespace {

constexpr TextField kSingleText{"content", "内容", 5000, kPlainFormat, false};
constexpr TextField kNewsTitle{"title", "标题", 100, kPlainFormat, true};
constexpr TextField kNewsText{"content", "正文", 5000, kPlainFormat, false};

struct Article {
  std::int64_t id = 0;
  std::string title, content, addtime;
};

// The owner's class `cid` when it has texts (kind 0 or 1).
std::optional<SiteClass> OwnClass(OfficeRequest& request, std::int64_t cid) {
  for (const SiteClass& c : ListClasses(request.page.Connection(), request.owner->userid)) {
    if (c.id == cid && (c.type == 0 || c.type == 1)) return c;
  }
  return std::nullopt;
}

// Article `id` of class `cid` (the first, by id, when `id` is not given).
std::optional<Article> FindArticle(data::Connection& connection, std::int64_t cid,
                                   std::optional<std::int64_t> id) {
  const std::array<data::Param, 2> params = {cid, id.value_or(0)};
  const auto rows =
      id ? connection.Execute(
               "select id,title,content,addtime from wap_contents where cid=? and id=?", params)
         : connection.Execute(
               "select id,title,content,addtime from wap_contents where cid=? order by id limit 1",
               std::span(params).first(1));
  if (rows->Eof()) return std::nullopt;
  return Article{rows->Field("id").ToInteger().value_or(0), rows->Field("title").ToText(),
                 rows->Field("content").ToText(), rows->Field("addtime").ToText()};
}

std::string Editor(const SiteClass& c) { return EditorAddress(c); }

void ShowSingle(OfficeRequest& request, const SiteClass& c, std::string_view error) {
  const auto row = FindArticle(request.page.Connection(), c.id, std::nullopt);
  View view;
  view.set("cid", std::to_string(c.id));
  view.set("classname", c.name);
  view.set("single", true);
  const std::string content = error.empty() && !IsCountRound(request)
                                  ? (row ? row->content : "")
                                  : request.FormValue("content");
  View field = FieldView(kSingleText, content);
  SetHandsetPages(field, content, HandsetText::kPlain, request.owner->username);
  view.set("f_content", field);
  SetLiveLinks(view, *request.owner, "showcontent",
               "&id=" + std::to_string(c.id) + "&classname=" + text::PercentEncode(c.name));
  request.Show("contents", c.name, view,
               request.page.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

void ShowNews(OfficeRequest& request, const SiteClass& c, std::string_view error) {
  data::Connection& connection = request.page.Connection();
  View view;
  view.set("cid", std::to_string(c.id));
  view.set("classname", c.name);
  view.set("news", true);
  // The form: the article asked for by "edit", a refused one as it was typed, or a new one.
  std::optional<Article> editing;
  if (const auto id = IdItem(request, "edit")) {
    editing = FindArticle(connection, c.id, *id);
    if (!editing) return NotOwnRow(request);
  }
  if (!error.empty() || IsCountRound(request)) {  // as typed, with its stored time
    const auto id = IdItem(request, "id");
    const auto stored = id ? FindArticle(connection, c.id, *id) : std::nullopt;
    editing = Article{id.value_or(0), request.FormValue("title"), request.FormValue("content"),
                      stored ? stored->addtime : ""};
  }
  if (editing && editing->id != 0) {
    view.set("id", std::to_string(editing->id));
    view.set("addtime", editing->addtime);
    SetLiveLinks(view, *request.owner, "shownews", "&id=" + std::to_string(editing->id));
  } else {
    SetLiveLinks(view, *request.owner, "newslist",
                 "&id=" + std::to_string(c.id) + "&classname=" + text::PercentEncode(c.name));
  }
  view.set("f_title", FieldView(kNewsTitle, editing ? editing->title : ""));
  View content = FieldView(kNewsText, editing ? editing->content : "");
  SetHandsetPages(content, editing ? editing->content : "", HandsetText::kPlain,
                  request.owner->username);
  view.set("f_content", content);

  const int page = RequestedPage(request);
  const std::array<data::Param, 3> params = {c.id, std::int64_t{kEditorPageSize},
                                             std::int64_t{(page - 1) * kEditorPageSize}};
  ViewList articles;
  for (auto rows = connection.Execute(
           "select id,title,addtime from wap_contents where cid=? order by id desc limit ? "
           "offset ?",
           params);
       !rows->Eof(); rows->MoveNext()) {
    articles.push_back(kainjow::mustache::object{{"id", rows->Field("id").ToText()},
                                                 {"title", rows->Field("title").ToText()},
                                                 {"addtime", rows->Field("addtime").ToText()}});
  }
  view.set("articles", articles);
  view.set("has_articles", !articles.empty());
  const std::array<data::Param, 1> cid = {c.id};
  const std::int64_t total =
      connection.Execute("select count(*) as n from wap_contents where cid=?", cid)
          ->Field("n")
          .ToInteger()
          .value_or(0);
  SetPaging(view, Editor(c) + "&", page, total);
  request.Show("contents", c.name, view,
               request.page.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

// Saves the single text of `c`; returns the error to show, or "".
std::string SaveSingle(OfficeRequest& request, const SiteClass& c) {
  const std::string content = request.FormValue("content");
  if (std::string error = CheckText(kSingleText, content); !error.empty()) return error;
  data::Connection& connection = request.page.Connection();
  data::TransactionGuard transaction(connection);
  const auto row = FindArticle(connection, c.id, std::nullopt);
  if (row) {
    const std::array<data::Param, 2> params = {content, row->id};
    connection.Execute("update wap_contents set content=? where id=?", params);
  } else {
    const std::array<data::Param, 4> params = {c.id, c.name, content, wap::LocalTimeNow()};
    connection.Execute("insert into wap_contents (cid,title,content,addtime) values (?,?,?,?)",
                       params);
  }
  request.Audit("修改单页内容", "wap_contents class " + std::to_string(c.id));
  transaction.Commit();
  return "";
}

// Runs the news change the form asks for; returns the error to show, or "" (also when it has
// answered 404 itself).
std::string ChangeNews(OfficeRequest& request, const SiteClass& c) {
  data::Connection& connection = request.page.Connection();
  const std::string act = request.FormValue("act");
  const auto id = IdItem(request, "id");
  if (id && !FindArticle(connection, c.id, *id)) {
    NotOwnRow(request);
    return "";
  }
  if (act == "delete") {
    if (!id) return "请选择要删除的文章。";
    data::TransactionGuard transaction(connection);
    const std::array<data::Param, 2> params = {*id, c.id};
    connection.Execute("delete from wap_contents where id=? and cid=?", params);
    request.Audit("删除文章", "wap_contents " + std::to_string(*id));
    transaction.Commit();
    return "";
  }
  if (act != "save") return "未知的操作。";
  const std::string title = request.FormValue("title");
  const std::string content = request.FormValue("content");
  for (const auto& [field, value] : {std::pair{kNewsTitle, title}, std::pair{kNewsText, content}}) {
    if (std::string error = CheckText(field, value); !error.empty()) return error;
  }
  data::TransactionGuard transaction(connection);
  if (id) {
    const std::array<data::Param, 4> params = {title, content, *id, c.id};
    connection.Execute("update wap_contents set title=?,content=? where id=? and cid=?", params);
    request.Audit("修改文章", "wap_contents " + std::to_string(*id));
  } else {
    const std::array<data::Param, 4> params = {c.id, title, content, wap::LocalTimeNow()};
    connection.Execute("insert into wap_contents (cid,title,content,addtime) values (?,?,?,?)",
                       params);
    request.Audit("新建文章", "wap_contents class " + std::to_string(c.id) + " " + title);
  }
  transaction.Commit();
  return "";
}

}  // namespace

void ContentsPage(OfficeRequest& request) {
  const auto cid = IdItem(request, "cid");
  const auto c = cid ? OwnClass(request, *cid) : std::nullopt;
  if (!c) return NotOwnRow(request);
  if (!request.IsPost() || IsCountRound(request)) {
    c->type == 0 ? ShowSingle(request, *c, "") : ShowNews(request, *c, "");
    return;
  }
  const std::string error = c->type == 0 ? SaveSingle(request, *c) : ChangeNews(request, *c);
  if (request.page.Response().Ended()) return;
  if (!error.empty()) {
    c->type == 0 ? ShowSingle(request, *c, error) : ShowNews(request, *c, error);
    return;
  }
  Saved(request, Editor(*c));
}

}  // namespace backoffice
