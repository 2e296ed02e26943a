// /admin/settings.asp: the owner's call-entry telephone number, site template, banner and logo
// (multipart/form-data, re-encoded for handsets) and password. Each form posts its own "act"; the
// guard has checked the token. A template change runs the site creation, which copies the
// template's files over the site's of the same name (the page says so beside the form).
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "backoffice/call_number.h"
#include "backoffice/editor_support.h"
#include "backoffice/images/handset_picture.h"
#include "backoffice/images/site_pictures.h"
#include "backoffice/office_request.h"
#include "platform/data/connection.h"
#include "platform/data/transaction_guard.h"
#include "platform/fs/file_system_object.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/server.h"
#include "platform/passwords/password_hash.h"
#include "store/owners.h"
#include "store/settings.h"
#include "wap/admin/site_creation.h"
#include "wap/framework/whole_number.h"

namespace backoffice {

using passwords::HashPassword;
using passwords::VerifyPassword;

namespace {

namespace fs = std::filesystem;

// The site templates: the folders of wapTemplete whose names are whole numbers, in order.
std::vector<int> Templates(const fs::path& web_root) {
  std::vector<int> ids;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(web_root / "wapTemplete", ec)) {
    const std::string name = entry.path().filename().string();
    const auto id = wap::ParseWholeNumber(name);
    if (entry.is_directory(ec) && id && std::to_string(*id) == name && *id <= 32767) {
      ids.push_back(static_cast<int>(*id));
    }
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

void Show(OfficeRequest& request, std::string_view message, std::string_view error) {
  const store::SiteSetting setting =
      store::SettingOf(request.Connection(), request.owner->userid).value_or(store::SiteSetting{});
  View view;
  // A refused number stays in its field, to be corrected.
  const bool retyped = !error.empty() && request.FormValue("act") == "phone";
  view.set("dircall", retyped ? request.FormValue("dircall") : setting.dircall);
  ViewList templates;
  for (const int id : Templates(request.Server().MapPath("/"))) {
    View t;
    t.set("id", std::to_string(id));
    t.set("current", std::to_string(id) == setting.templeteid);
    templates.push_back(t);
  }
  view.set("templates", templates);
  SetLiveLinks(view, *request.owner, "index", "");
  request.Show("settings", "站点设置", view, message, error);
}

// Stores the uploaded banner (Demo.jpg) or logo (upfile/logo.gif) of the owner's site; returns
// the error to show, or "". A refused or failed upload leaves the old picture.
std::string StorePicture(OfficeRequest& request, bool banner) {
  const fs::path member_folder =
      fs::path(request.Server().MapPath("/")) / "waphome" / request.owner->username;
  const host::UploadedFile* upload = request.Request().Files().Get("picture");
  const images::PictureRefusal refusal = banner ? images::StoreBanner(member_folder, upload)
                                                : images::StoreLogo(member_folder, upload);
  if (refusal != images::PictureRefusal::kNone) {
    return (banner ? "横幅：" : "标志：") + std::string(images::RefusalText(refusal)) +
           "。原有图片未改变。";
  }
  request.Audit(banner ? "上传横幅" : "上传标志", banner ? "站点横幅" : "站点标志");
  return "";
}

// Runs the change `act` asks for; returns the error to show, or "" when it was made.
std::string Change(OfficeRequest& request, const std::string& act) {
  data::Connection& connection = request.Connection();
  const std::int64_t userid = request.owner->userid;
  if (act == "phone") {
    const std::string dircall = request.FormValue("dircall");
    if (!IsCallNumber(dircall)) {
      return "电话号码只能包含数字、+、- 和空格（最多 30 个字符）。";
    }
    store::SetCallNumber(connection, request.Actor(),
                         dircall.empty() ? std::nullopt : std::optional<std::string>(dircall));
    return "";
  }
  if (act == "template") {
    const fs::path web_root = request.Server().MapPath("/");
    const std::vector<int> ids = Templates(web_root);
    const auto id = wap::ParseWholeNumber(request.FormValue("templeteid"));
    if (!id || std::find(ids.begin(), ids.end(), *id) == ids.end()) return "请选择一个模板。";
    // The template and its audit row are kept only when the site's files were made from it.
    data::TransactionGuard transaction(connection);
    store::SetTemplate(connection, userid, *id);
    fso::FileSystemObject files;
    wap::CreateMemberSite(connection, files, web_root, web_root / "waphome", userid,
                          request.owner->username);
    images::MakeFolderWbmps(web_root / "waphome" / request.owner->username);
    request.Audit("更换模板", "模板 " + std::to_string(*id));
    transaction.Commit();
    return "";
  }
  if (act == "banner" || act == "logo") return StorePicture(request, act == "banner");
  if (act == "password") {
    const auto owner = store::FindOwnerById(connection, userid);
    if (!owner || !VerifyPassword(owner->password_hash, request.FormValue("current"))) {
      return "当前密码不正确。";
    }
    const std::string fresh = request.FormValue("password");
    if (fresh.empty()) return "新密码不能为空。";
    if (fresh != request.FormValue("confirm")) return "两次输入的新密码不一致。";
    // Every other sign-in of the owner ends; this one stays.
    if (const auto stamp =
            store::ChangeOwnPassword(connection, request.Actor(), HashPassword(fresh))) {
      OwnerSession(request.Session()).KeepAfterOwnChange(*stamp);
    }
    return "";
  }
  return "未知的操作。";
}

}  // namespace

void SettingsPage(OfficeRequest& request) {
  if (!request.IsPost()) {
    Show(request, request.Request().QueryString().Get("saved") ? "已保存。" : "", "");
    return;
  }
  const std::string error = Change(request, request.FormValue("act"));
  if (error.empty()) {
    Saved(request, "/admin/settings.asp");
  } else {
    Show(request, "", error);
  }
}

}  // namespace backoffice
