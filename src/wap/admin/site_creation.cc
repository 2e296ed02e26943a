#include "wap/admin/site_creation.h"

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/fs/file_system_object.h"
#include "platform/fs/text_stream.h"
#include "platform/text/hex.h"
#include "platform/text/percent.h"
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

// The entry page up to the site address, and what follows the address.
constexpr std::string_view kEntryHead = "<%\r\n'Create by Orbel\r\nresponse.Redirect(\"";
constexpr std::string_view kEntryHome = "/wap/index.asp?userid=";

// Appends the site address as the entry page's string literal holds it.
void AppendAddress(std::string& page, std::string_view site_address) {
  for (const char c : site_address) {
    if (c == ' ' || static_cast<unsigned char>(c) >= 0x80) {
      page.append(text::PercentEncode(std::string_view(&c, 1)));
      continue;
    }
    page.push_back(c);
    if (c == '"') page.push_back('"');
  }
}

}  // namespace

std::string EntryPageText(std::string_view site_address, std::int64_t userid,
                          std::string_view username) {
  std::string page(kEntryHead);
  AppendAddress(page, site_address);
  page.append(kEntryHome).append(std::to_string(userid));
  // "&", "=", "+" and "#" would end or change the query's value.
  page.append("&username=").append(text::PercentEncode(username, "!$'()*,;@")).append("\")\r\n%>");
  return page;
}

std::optional<std::string> EntryPageWithAddress(std::string_view page,
                                                std::string_view site_address) {
  // A name holds no "/", so the last home address is the one after the site address.
  const std::size_t home = page.rfind(kEntryHome);
  if (!page.starts_with(kEntryHead) || home == std::string_view::npos || home < kEntryHead.size()) {
    return std::nullopt;
  }
  std::string moved(kEntryHead);
  AppendAddress(moved, site_address);
  moved.append(page.substr(home));
  return moved;
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
