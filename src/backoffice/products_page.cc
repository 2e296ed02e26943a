// /admin/products.asp: the signed-in owner's products, newest first, a page at a time, with forms
// (multipart/form-data) to add, edit and delete one: name, description and picture. The picture
// is judged and re-encoded as in the settings page (at most 240 px wide, JPEG) and stored in the
// member's upfile folder under a name the server chooses. The order of file and row changes keeps
// every row naming a picture that exists: a new picture is written before the row names it (and
// removed again when the row cannot be written); an old one is removed only after the row no
// longer names it. A product that is not the owner's is a 404 and nothing changes.
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "backoffice/editor_support.h"
#include "backoffice/handset_pages.h"
#include "backoffice/images/site_pictures.h"
#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/transaction_guard.h"
#include "platform/data/value.h"
#include "platform/fs/file_handles.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/server.h"
#include "platform/text/percent.h"
#include "wap/framework/local_time.h"
#include "wap/framework/owner_markup.h"
#include "wap/framework/page.h"
#include "wap/framework/xml_escape.h"

namespace backoffice {
namespace {

namespace fs = std::filesystem;
using images::PictureRefusal;

constexpr TextField kName{"pname", "产品名称", 50, kMarkupFormat, true};
constexpr TextField kDescription{"pcontent", "产品介绍", 1000, kMarkupFormat, false};
constexpr std::string_view kEditor = "/admin/products.asp";

struct Product {
  std::int64_t id = 0;
  std::string name, picture, description, addtime;
};

std::optional<Product> FindProduct(data::Connection& connection, std::int64_t userid,
                                   std::int64_t id) {
  const std::array<data::Param, 2> params = {id, userid};
  const auto row = connection.Execute(
      "select id,pname,ppic,pcontent,addtime from wap_product where id=? and userid=?", params);
  if (row->Eof()) return std::nullopt;
  return Product{id, row->Field("pname").ToText(), row->Field("ppic").ToText(),
                 row->Field("pcontent").ToText(), row->Field("addtime").ToText()};
}

fs::path UploadFolder(OfficeRequest& request) {
  return fs::path(request.page.Server().MapPath("/")) / "waphome" / request.owner->username;
}

// Removes picture `name` of the owner's upload folder unless it is not one a product may own (a
// path, the logo) or another product of the owner still names it. Rows written elsewhere may
// share a picture; the server's own names never do.
void RemoveOldPicture(OfficeRequest& request, const std::string& name) {
  if (name.empty() || name == "logo.gif" || name.starts_with('.') ||
      name.find_first_of("/\\") != std::string::npos) {
    return;
  }
  const std::array<data::Param, 2> params = {request.owner->userid, name};
  const auto users = request.page.Connection().Execute(
      "select count(*) as n from wap_product where userid=? and ppic=?", params);
  if (users->Field("n").ToInteger().value_or(1) != 0) return;
  std::error_code ignored;  // already gone is what we want
  fs::remove(UploadFolder(request) / "upfile" / name, ignored);
  request.Audit("删除图片", "upfile/" + name);
}

void Show(OfficeRequest& request, std::string_view error) {
  data::Connection& connection = request.page.Connection();
  const std::int64_t userid = request.owner->userid;
  View view;
  std::optional<Product> editing;
  if (const auto id = IdItem(request, "edit")) {
    editing = FindProduct(connection, userid, *id);
    if (!editing) return NotOwnRow(request);
  }
  if (!error.empty() || IsCountRound(request)) {
    const auto id = IdItem(request, "id");
    const auto stored = id ? FindProduct(connection, userid, *id) : std::nullopt;
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
  const std::array<data::Param, 3> params = {userid, std::int64_t{kEditorPageSize},
                                             std::int64_t{(page - 1) * kEditorPageSize}};
  ViewList products;
  for (auto rows = connection.Execute(
           "select id,pname,ppic,addtime from wap_product where userid=? order by id desc limit ? "
           "offset ?",
           params);
       !rows->Eof(); rows->MoveNext()) {
    products.push_back(kainjow::mustache::object{
        {"id", rows->Field("id").ToText()},
        {"name", rows->Field("pname").ToText()},
        {"picture", folder + text::PercentEncode(rows->Field("ppic").ToText())},
        {"addtime", rows->Field("addtime").ToText()}});
  }
  view.set("products", products);
  view.set("has_products", !products.empty());
  const std::int64_t total = connection
                                 .Execute("select count(*) as n from wap_product where userid=?",
                                          std::span(params).first(1))
                                 ->Field("n")
                                 .ToInteger()
                                 .value_or(0);
  SetPaging(view, std::string(kEditor) + "?", page, total);
  request.Show("products", "产品展示", view,
               request.page.Request().QueryString().Get("saved") ? "已保存。" : "", error);
}

// Adds or updates the product the form names; returns the error to show, or "".
std::string Save(OfficeRequest& request, const std::optional<Product>& old) {
  const std::string name = request.FormValue("pname");
  const std::string description = request.FormValue("pcontent");
  for (const auto& [field, value] :
       {std::pair{kName, name}, std::pair{kDescription, description}}) {
    if (std::string error = CheckText(field, value); !error.empty()) return error;
  }
  const host::UploadedFile* upload = request.page.Request().Files().Get("picture");
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
  data::Connection& connection = request.page.Connection();
  data::TransactionGuard transaction(connection);
  if (old) {
    const std::array<data::Param, 5> params = {name, picture, description, old->id,
                                               request.owner->userid};
    connection.Execute("update wap_product set pname=?,ppic=?,pcontent=? where id=? and userid=?",
                       params);
    request.Audit("修改产品", "wap_product " + std::to_string(old->id));
  } else {
    const std::array<data::Param, 5> params = {request.owner->userid, name, picture, description,
                                               wap::LocalTimeNow()};
    connection.Execute(
        "insert into wap_product (userid,pname,ppic,pcontent,addtime) values (?,?,?,?,?)", params);
    request.Audit("新建产品", "wap_product " + name);
  }
  if (upload != nullptr) request.Audit("上传图片", "upfile/" + picture);
  transaction.Commit();
  if (written) written->Keep();
  if (old && upload != nullptr) RemoveOldPicture(request, old->picture);
  return "";
}

void Delete(OfficeRequest& request, const Product& old) {
  data::Connection& connection = request.page.Connection();
  {
    data::TransactionGuard transaction(connection);
    const std::array<data::Param, 2> params = {old.id, request.owner->userid};
    connection.Execute("delete from wap_product where id=? and userid=?", params);
    request.Audit("删除产品", "wap_product " + std::to_string(old.id));
    transaction.Commit();
  }
  RemoveOldPicture(request, old.picture);
}

}  // namespace

void ProductsPage(OfficeRequest& request) {
  if (!request.IsPost()) return Show(request, "");
  std::optional<Product> old;
  if (const auto id = IdItem(request, "id")) {
    old = FindProduct(request.page.Connection(), request.owner->userid, *id);
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
