#include "wap/admin/site_creation.h"

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/fs/file_system_object.h"
#include "platform/fs/text_stream.h"
#include "platform/text/hex.h"
#include "store/settings.h"
#include "wap/admin/member_name.h"

namespace wap {
namespace {

bool IsDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// `text` with control bytes written as "\xNN", for messages.
std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out.append("\\x");
      text::AppendHexByte(out, byte, text::HexCase::kUpper);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// The member's template folder name: the templeteid of its settings, empty when there are none or
// the value is NULL.
std::string TemplateNumber(data::Connection& connection, std::int64_t userid) {
  const std::optional<store::SiteSetting> setting = store::SettingOf(connection, userid);
  std::string number = setting ? setting->templeteid : "";
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
    text = files.OpenTextFile(web_root + "/inc/siteaddress.txt")->ReadAll();
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

}  // namespace

std::string EntryPageText(std::string_view site_address, std::int64_t userid,
                          std::string_view username) {
  std::string page = "<%\r\n'Create by Orbel\r\nresponse.Redirect(\"";
  for (const char c : site_address) {
    page.push_back(c);
    if (c == '"') page.push_back('"');
  }
  page.append("/wap/index.asp?userid=").append(std::to_string(userid));
  page.append("&username=").append(username).append("\")\r\n%>");
  return page;
}

void CreateMemberSite(data::Connection& connection, fso::FileSystemObject& files,
                      const std::filesystem::path& web_root,
                      const std::filesystem::path& member_folders, std::int64_t userid,
                      std::string_view name) {
  if (!IsSafeMemberName(name)) {
    throw std::runtime_error("CreateSite: refused the member name '" + Printable(name) +
                             "': it must be a plain folder name");
  }
  const std::string member_folder = member_folders.string() + "/" + std::string(name);
  if (!files.FolderExists(member_folder)) files.CreateFolder(member_folder);
  const std::string upload_folder = member_folder + "/upfile";
  if (!files.FolderExists(upload_folder)) files.CreateFolder(upload_folder);

  const std::string template_number = TemplateNumber(connection, userid);
  const std::string root = web_root.string();
  files.CopyFile(root + "/wapTemplete/" + template_number + "/*.*", member_folder + "/", true);

  const std::string address = ReadSiteAddress(files, root);
  const std::unique_ptr<fso::TextStream> entry =
      files.CreateTextFile(member_folder + "\\index.asp", true);
  entry->Write(EntryPageText(address, userid, name));
  entry->Close();
}

}  // namespace wap
