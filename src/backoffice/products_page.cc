// /admin/products.asp: the signed-in owner's products, newest first, a page at a time, with forms
// (multipart/form-data) to add, edit and delete one: name, description and picture. The picture
// is judged and re-encoded as in the settings page (at most 240 px wide, JPEG) and stored in the
// member's upfile folder under a name the server chooses. The order of file and row changes keeps
// every row naming a picture that exists: a new picture is written before the row names it (and
// removed again when the row cannot be written); an old one is removed only after the row no
// longer names it. A product that is not the owner's is a 404 and nothing changes.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "backoffice/editor_support.h"
#include "backoffice/handset_pages.h"
#include "backoffice/images/site_pictures.h"
#include "platform/fs/file_handles.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/server.h"
#include "platform/text/percent.h"
#include "store/products.h"
#include "wap/framework/owner_markup.h"
#include "wap/framework/xml_escape.h"

namespace backoffice {
namespace {

namespace fs = std::filesystem;
using images::PictureRefusal;

constexpr TextField kName{"pname", "产品名称", 50, kMarkupFormat, true};
constexpr TextField kDescription{"pcontent", "产品介绍", 1000, kMarkupFormat, false};
constexpr std::string_view kEditor = "/admin/products.asp";

using store::Product;

fs::path UploadFolder(OfficeRequest& request) {
  return fs::path(request.Server().MapPath("/")) / "waphome" / request.owner->username;
}

// Removes picture `name` of the owner's upload folder unless it is not one a product may own (a
// path, the logo) or another product of the owner still names it. Rows written elsewhere may
// share a picture; the server's own names never do.
void RemoveOldPicture(OfficeRequest& request, const std::string& name) {
  if (name.empty() || name == "logo.gif" || name.starts_with('.') ||
      name.find_first_of("/\\") != std::string::npos) {
    return;
  }
  if (store::PictureInUse(request.Connection(), request.owner->userid, name)) return;
  std::error_code ignored;  // already gone is what we want
  fs::remove(UploadFolder(request) / "upfile" / name, ignored);
  request.Audit("删除图片", "不再使用的图片 " + name);
}

void Show(OfficeRequest& request, std::string_view error) {
  data::Connection& connection = request.Connection();
  const std::int64_t userid = request.owner->userid;
  View view;
  std::optional<Product> editing;
  if (const auto id = IdItem(request, "edit")) {
    editing = store::OwnedProduct(connection, userid, *id);
    if (!editing) return NotOwnRow(request);
  }
  if (!error.empty() || IsCountRound(request)) {
    const auto id = IdItem(request, "id");
    const auto stored = id ? store::OwnedProduct(connection, userid, *id) : std::nullopt;
    editing = Product{id.value_or(0), request.FormValue("pname"), stored ? stored->picture : "",
                      request.FormValue("pcontent"), ""};
  }
  const std::string folder =
      "/waphome/" + text::PercentEncode(request.owner->username) + "/upfile/";
  if (editing && editing->id != 0) {
    view.set("id", std::to_string(editing->id));
    if (!editing->picture.empty())
      view.set("picture", folder + text::PercentEncode(editing->picture));
  }
  view.set("f_name", FieldView(kName, editing ? editing->name : ""));
  View description = FieldView(kDescription, editing ? editing->description : "");
  // On the live page the description shares its paragraph with the name and the picture.
  const std::string lead =
      wap::OwnerText(editing ? editing->name : "") + "<br /><img alt=\"\" src=\"/waphome/" +
      wap::EscapeXmlAttribute(request.owner->username) + "/upfile/" +
      wap::EscapeXmlAttribute(editing ? editing->picture : "") + "\" /><br /> ";
  SetHandsetPages(description, editing ? editing->description : "", HandsetText::kOwnerMarkup,
                  request.owner->username, lead);
  view.set("f_description", description);
  SetLiveLinks(view, *request.owner, "productlist", "");

  const int page = RequestedPage(request);
  auto pages = store::ProductPages(connection, userid, kEditorPageSize);
  ViewList products;
  for (const Product& p : pages.Page(page)) {
    products.push_back(
        kainjow::mustache::object{{"id", std::to_string(p.id)},
                                  {"name", p.name},
                                  {"picture", folder + text::PercentEncode(p.picture)},
                                  {"addtime", p.addtime}});
  }
  view.set("products", products);
  view.set("has_products", !products.empty());
  SetPaging(view, std::string(kEditor) + "?", page, pages.RowCount());
  request.Show("products", "产品展示", view,
               request.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

// Adds or updates the product the form names; returns the error to show, or "".
std::string Save(OfficeRequest& request, const std::optional<Product>& old) {
  const std::string name = request.FormValue("pname");
  const std::string description = request.FormValue("pcontent");
  for (const auto& [field, value] :
       {std::pair{kName, name}, std::pair{kDescription, description}}) {
    if (std::string error = CheckText(field, value); !error.empty()) return error;
  }
  const host::UploadedFile* upload = request.Request().Files().Get("picture");
  if (upload != nullptr && upload->bytes.empty()) upload = nullptr;
  if (!old && upload == nullptr) return "请选择产品图片。";

  // The picture written for a change not committed yet: removed again unless the change is kept.
  std::optional<fs_support::RemoveUnlessKept> written;
  std::string picture = old ? old->picture : "";
  if (upload != nullptr) {
    const images::StoredPicture stored = images::StoreProductPicture(UploadFolder(request), upload);
    if (stored.refusal != PictureRefusal::kNone) {
      return "产品图片：" + std::string(images::RefusalText(stored.refusal)) + "。原有图片未改变。";
    }
    picture = stored.file_name;
    written.emplace((UploadFolder(request) / "upfile" / picture).string());
  }
  const Product saved{old ? old->id : 0, name, picture, description, ""};
  if (!store::SaveProduct(request.Connection(), request.Actor(), saved, upload != nullptr)) {
    return "产品已被删除。";  // gone since it was looked up; the new picture goes with the guard
  }
  if (written) written->Keep();
  if (old && upload != nullptr) RemoveOldPicture(request, old->picture);
  return "";
}

void Delete(OfficeRequest& request, const Product& old) {
  if (store::DeleteProduct(request.Connection(), request.Actor(), old.id)) {
    RemoveOldPicture(request, old.picture);
    request.Tell("已删除产品“" + old.name + "”。");
  }
}

}  // namespace

void ProductsPage(OfficeRequest& request) {
  if (const auto id = DeleteAsked(request)) {
    const auto product = store::OwnedProduct(request.Connection(), request.owner->userid, *id);
    if (!product) return NotOwnRow(request);
    return ConfirmDelete(request, "删除产品", "产品“" + product->name + "”和它的图片", kEditor,
                         kEditor, "delete", *id);
  }
  if (!request.IsPost()) return Show(request, "");
  std::optional<Product> old;
  if (const auto id = IdItem(request, "id")) {
    old = store::OwnedProduct(request.Connection(), request.owner->userid, *id);
    if (!old) return NotOwnRow(request);
  }
  if (IsCountRound(request)) return Show(request, "");
  const std::string act = request.FormValue("act");
  std::string error;
  if (act == "delete") {
    if (!old) return NotOwnRow(request);
    Delete(request, *old);
  } else if (act == "save") {
    error = Save(request, old);
  } else {
    error = "未知的操作。";
  }
  if (!error.empty()) return Show(request, error);
  Saved(request, std::string(kEditor));
}

}  // namespace backoffice
