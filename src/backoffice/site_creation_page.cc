// /createsite.asp: makes the signed-in owner's site folders (/waphome/NAME and its upload folder),
// fills them from the owner's site template and writes the entry page, then says so. Only a POST
// that passed the guard reaches it; any failure ends the request with the host's error page, so
// the page below means success.
#include <filesystem>
#include <string_view>

#include "backoffice/office_request.h"
#include "platform/fs/file_system_object.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/server.h"
#include "wap/admin/site_creation.h"

namespace backoffice {
namespace {

constexpr std::string_view kCreated =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\r\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n"
    "<head><title>站点已创建</title></head>\r\n"
    "<body>\r\n"
    "<p>站点已创建：会员文件夹、上传文件夹、模板文件和入口页 index.asp 都已就绪。</p>\r\n"
    "<p><a href=\"admin/class.asp\">管理栏目</a></p>\r\n"
    "</body>\r\n"
    "</html>\r\n";

}  // namespace

void CreateSitePage(OfficeRequest& request) {
  const std::filesystem::path web_root = request.Server().MapPath("/");
  fso::FileSystemObject files;
  wap::CreateMemberSite(request.Connection(), files, web_root, web_root / "waphome",
                        request.owner->userid, request.owner->username);
  request.Response().Write(kCreated);
}

}  // namespace backoffice
