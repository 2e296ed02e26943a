#include "backoffice/editor_support.h"

#include "backoffice/handset_preview.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/text/percent.h"
#include "wap/framework/whole_number.h"

namespace backoffice {

std::optional<std::int64_t> IdItem(const OfficeRequest& request, std::string_view name) {
  const auto value = request.Request().Item(name);
  if (!value) return std::nullopt;
  return wap::ParseWholeNumber(*value);
}

int RequestedPage(const OfficeRequest& request) {
  const auto page = IdItem(request, "page");
  return page && *page >= 1 && *page <= 1'000'000 ? static_cast<int>(*page) : 1;
}

void SetPaging(View& view, std::string_view address, int page, std::int64_t total) {
  const std::int64_t pages =
      std::max<std::int64_t>(1, (total + kEditorPageSize - 1) / kEditorPageSize);
  view.set("has_pages", pages > 1);
  view.set("page", std::to_string(page));
  view.set("pages", std::to_string(pages));
  const std::string base = std::string(address) + "page=";
  if (page > 1) view.set("prev", base + std::to_string(std::min<std::int64_t>(page - 1, pages)));
  if (page < pages) view.set("next", base + std::to_string(page + 1));
}

View FieldView(const TextField& field, std::string_view value) {
  View view;
  view.set("name", std::string(field.name));
  view.set("label", std::string(field.label));
  view.set("max", std::to_string(field.max_chars));
  view.set("format", std::string(field.format));
  view.set("value", std::string(value));
  view.set("required", field.required);
  return view;
}

std::string SiteQuery(const SignedInOwner& owner) {
  const std::string id = std::to_string(owner.userid);
  return "userid=" + id + "&username=" + text::PercentEncode(owner.username) + "&siteid=" + id;
}

std::string EditorAddress(const store::SiteClass& c) {
  if (!c.kind) return "";
  switch (*c.kind) {
    case store::ClassKind::kSingleContent:
    case store::ClassKind::kNews:
      return "/admin/contents.asp?cid=" + std::to_string(c.id);
    case store::ClassKind::kProducts:
      return "/admin/products.asp";
    case store::ClassKind::kGuestbook:
      return "/admin/guestbook.asp";
    case store::ClassKind::kCallNumber:
      return "";
  }
  return "";
}

void SetLiveLinks(View& view, const SignedInOwner& owner, std::string_view page,
                  std::string_view extra) {
  view.set("live", "/wap/" + std::string(page) + ".asp?" + SiteQuery(owner) + std::string(extra));
  view.set("live_wml", PreviewAddress("wml", page, extra));
  view.set("live_xhtml", PreviewAddress("xhtml", page, extra));
}

void Refusal(OfficeRequest& request, int status, std::string_view error, std::string_view next,
             std::string_view next_label) {
  request.Response().SetStatus(status);
  View view;
  if (!next.empty()) {
    view.set("next", std::string(next));
    view.set("next_label", std::string(next_label));
  }
  request.Show("notice", status == 404 ? "没有找到" : "未能完成", view, "", error);
  request.Response().End();  // what the page does next changes nothing of the answer
}

void RefuseForeignOrigin(OfficeRequest& request) {
  Refusal(request, 403, "这个请求来自其他网站的页面，已拒绝，没有做任何修改。", "/admin/",
          "打开站点管理");
}

void NotOwnRow(OfficeRequest& request) {
  Refusal(request, 404, "没有这一项：它不属于您的站点，或者已经删除了。", "/admin/", "回到概览");
}

void ConfirmDelete(OfficeRequest& request, std::string_view title, std::string_view what,
                   std::string_view action, std::string_view back, std::string_view act,
                   std::int64_t id) {
  View view;
  if (!act.empty()) {
    view.set("act", std::string(act));
    view.set("id", std::to_string(id));
  }
  view.set("what", std::string(what));
  view.set("action", std::string(action));
  view.set("back", std::string(back));
  request.Show("confirm", title, view);
}

std::optional<std::int64_t> DeleteAsked(const OfficeRequest& request, std::string_view name) {
  if (request.IsPost()) return std::nullopt;
  const auto value = request.Request().QueryString().Get(name);
  return value ? wap::ParseWholeNumber(*value) : std::nullopt;
}

std::string OfficePathOr(const std::string& path, const std::string& otherwise) {
  if (!path.starts_with("/admin/") || path.find("//") != std::string::npos ||
      path.find_first_of("\\?#\"<> ") != std::string::npos ||
      path.find("..") != std::string::npos) {
    return otherwise;
  }
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return otherwise;
  }
  return path;
}

void Saved(OfficeRequest& request, std::string address) {
  address += address.find('?') == std::string::npos ? "?saved=1" : "&saved=1";
  request.Response().Redirect(address);
}

}  // namespace backoffice
