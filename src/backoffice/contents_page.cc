// /admin/contents.asp?cid=N: the texts of class N of the signed-in owner. A single-content class
// (kind 0) has one text, edited in place (its row is made at the first save); a news class
// (kind 1) lists its articles newest first, a page at a time, with forms to write, edit and
// delete one; the time an article was added is the server's. A class, or an article, that is not
// the owner's is a 404 and nothing changes. Every change is recorded in the audit trail.
#include <optional>
#include <string>
#include <vector>

#include "backoffice/editor_support.h"
#include "backoffice/handset_pages.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/text/percent.h"
#include "store/contents.h"

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
std::optional<store::SiteClass> OwnClass(OfficeRequest& request, std::int64_t cid) {
  auto c = store::OwnedClass(request.Connection(), request.owner->userid, cid);
  if (c && (c->kind == store::ClassKind::kSingleContent || c->kind == store::ClassKind::kNews)) {
    return c;
  }
  return std::nullopt;
}

// Article `id` of class `cid` (the first, by id, when `id` is not given).
std::optional<Article> FindArticle(data::Connection& connection, std::int64_t cid,
                                   std::optional<std::int64_t> id) {
  const std::optional<store::Content> row =
      id ? store::ContentById(connection, *id) : store::FirstContentOfClass(connection, cid);
  if (!row || row->cid != cid) return std::nullopt;
  return Article{row->id, row->title, row->content, row->addtime.value_or("")};
}

std::string Editor(const store::SiteClass& c) { return EditorAddress(c); }

void ShowSingle(OfficeRequest& request, const store::SiteClass& c, std::string_view error) {
  const auto row = FindArticle(request.Connection(), c.id, std::nullopt);
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
               request.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

void ShowNews(OfficeRequest& request, const store::SiteClass& c, std::string_view error) {
  data::Connection& connection = request.Connection();
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
  auto pages = store::ContentPages(connection, c.id, kEditorPageSize);
  ViewList articles;
  for (const store::Content& a : pages.Page(page)) {
    articles.push_back(kainjow::mustache::object{
        {"id", std::to_string(a.id)}, {"title", a.title}, {"addtime", a.addtime.value_or("")}});
  }
  view.set("articles", articles);
  view.set("has_articles", !articles.empty());
  SetPaging(view, Editor(c) + "&", page, pages.RowCount());
  request.Show("contents", c.name, view,
               request.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

// Saves the single text of `c`; returns the error to show, or "".
std::string SaveSingle(OfficeRequest& request, const store::SiteClass& c) {
  const std::string content = request.FormValue("content");
  if (std::string error = CheckText(kSingleText, content); !error.empty()) return error;
  store::SaveSingleText(request.Connection(), request.Actor(), c.id, c.name, content);
  return "";
}

// Runs the news change the form asks for; returns the error to show, or "" (also when it has
// answered 404 itself).
std::string ChangeNews(OfficeRequest& request, const store::SiteClass& c) {
  data::Connection& connection = request.Connection();
  const std::string act = request.FormValue("act");
  const auto id = IdItem(request, "id");
  const auto article = id ? FindArticle(connection, c.id, *id) : std::nullopt;
  if (id && !article) {
    NotOwnRow(request);
    return "";
  }
  if (act == "delete") {
    if (!id) return "请选择要删除的文章。";
    if (store::DeleteArticle(connection, request.Actor(), c.id, *id)) {
      request.Tell("已删除文章“" + article->title + "”。");
    }
    return "";
  }
  if (act != "save") return "未知的操作。";
  const std::string title = request.FormValue("title");
  const std::string content = request.FormValue("content");
  for (const auto& [field, value] : {std::pair{kNewsTitle, title}, std::pair{kNewsText, content}}) {
    if (std::string error = CheckText(field, value); !error.empty()) return error;
  }
  store::SaveArticle(connection, request.Actor(), c.id, id, title, content);
  return "";
}

}  // namespace

void ContentsPage(OfficeRequest& request) {
  const auto cid = IdItem(request, "cid");
  const auto c = cid ? OwnClass(request, *cid) : std::nullopt;
  if (!c) return NotOwnRow(request);
  if (const auto id = DeleteAsked(request)) {
    const auto article = FindArticle(request.Connection(), c->id, *id);
    if (!article || c->kind != store::ClassKind::kNews) return NotOwnRow(request);
    return ConfirmDelete(request, "删除文章", "文章“" + article->title + "”", Editor(*c),
                         Editor(*c), "delete", *id);
  }
  if (!request.IsPost() || IsCountRound(request)) {
    c->kind == store::ClassKind::kSingleContent ? ShowSingle(request, *c, "")
                                                : ShowNews(request, *c, "");
    return;
  }
  const std::string error = c->kind == store::ClassKind::kSingleContent ? SaveSingle(request, *c)
                                                                        : ChangeNews(request, *c);
  if (request.Response().Ended()) return;
  if (!error.empty()) {
    c->kind == store::ClassKind::kSingleContent ? ShowSingle(request, *c, error)
                                                : ShowNews(request, *c, error);
    return;
  }
  Saved(request, Editor(*c));
}

}  // namespace backoffice
