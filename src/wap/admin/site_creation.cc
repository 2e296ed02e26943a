#include "wap/admin/site_creation.h"

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/recordset.h"
#include "platform/data/value.h"
#include "platform/fs/file_system_object.h"
#include "platform/fs/text_stream.h"
#include "platform/host/server.h"
#include "platform/host/session.h"
#include "wap/admin/admin_context.h"
#include "wap/admin/member_name.h"
#include "wap/framework/page.h"

namespace wap {
namespace {

constexpr std::string_view kSiteAddressFile = "/inc/siteaddress.txt";

bool IsDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// `text` with control bytes written as "\xNN", for messages.
std::string Printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out.append("\\x").push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// The member's template folder name: the templeteid of its wap_setting row, empty when there is no
// row or the column is NULL.
std::string TemplateNumber(data::Connection& connection, std::int64_t userid) {
  std::unique_ptr<data::Recordset> result = connection.Execute(
      "select templeteid from wap_setting where userid=" + std::to_string(userid));
  std::string number = result->Eof() ? "" : result->Field(std::size_t{0}).ToText();
  result->Close();
  if (!IsDigits(number)) {
    throw std::runtime_error("CreateSite: the templeteid of member " + std::to_string(userid) +
                             " is not a template number: '" + number + "'");
  }
  return number;
}

// The first line of the site address file, less a byte-order mark and trailing white space.
std::string ReadSiteAddress(const fso::FileSystemObject& files, const std::string& web_root) {
  std::string text;
  try {
    text = files.OpenTextFile(web_root + std::string(kSiteAddressFile))->ReadAll();
  } catch (const std::exception& e) {
    throw std::runtime_error("CreateSite: cannot read the site address: " + std::string(e.what()));
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  text.erase(std::min(text.find_first_of("\r\n"), text.size()));
  text.erase(std::min(text.find_last_not_of(" \t\f\v") + 1, text.size()));
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      throw std::runtime_error("CreateSite: the site address holds a control character");
    }
  }
  if (text.find("%>") != std::string::npos) {
    throw std::runtime_error("CreateSite: the site address holds \"%>\"");
  }
  return text;
}

// The entry page's redirect line. The values are written unchanged, as the member's site expects
// them; only a double quote of the address is doubled, to stay inside the string literal.
std::string RedirectLine(std::string_view address, std::int64_t userid, std::string_view username) {
  std::string line = "response.Redirect(\"";
  for (const char c : address) {
    line.push_back(c);
    if (c == '"') line.push_back('"');
  }
  line.append("/wap/index.asp?userid=").append(std::to_string(userid));
  line.append("&username=").append(username).append("\")");
  return line;
}

}  // namespace

void CreateSite(Page& page) {
  data::Connection& connection = AdminConnection(page);
  const std::string name = page.Session().Get("UserName").value_or("");
  if (!IsSafeMemberName(name)) {
    throw std::runtime_error("CreateSite: refused the member name '" + Printable(name) +
                             "': it must be a plain folder name");
  }

  const std::string member_folder = page.Server().MapPath("waphome/" + name);
  const fso::FileSystemObject files{};
  if (!files.FolderExists(member_folder)) files.CreateFolder(member_folder);
  const std::string upload_folder = member_folder + "/upfile";
  if (!files.FolderExists(upload_folder)) files.CreateFolder(upload_folder);

  const std::int64_t userid = SessionUserId(page.Session());
  const std::string template_number = TemplateNumber(connection, userid);

  const std::string web_root = page.Server().MapPath("/");
  files.CopyFile(web_root + "/wapTemplete/" + template_number + "/*.*", member_folder + "/", true);

  const std::string address = ReadSiteAddress(files, web_root);
  const std::string username = page.Session().Get("username").value_or("");
  const std::unique_ptr<fso::TextStream> entry =
      files.CreateTextFile(member_folder + "\\index.asp", true);
  entry->WriteLine("<%");
  entry->WriteLine("'Create by Orbel");
  entry->WriteLine(RedirectLine(address, userid, username));
  entry->Write("%");
  entry->Write(">");
  entry->Close();
}

}  // namespace wap
