#include "backoffice/new_member.h"

#include <stdexcept>
#include <system_error>

#include "backoffice/call_number.h"
#include "backoffice/images/handset_picture.h"
#include "platform/data/connection.h"
#include "platform/data/transaction_guard.h"
#include "platform/fs/file_system_object.h"
#include "platform/passwords/password_hash.h"
#include "store/owners.h"
#include "store/settings.h"
#include "wap/admin/member_name.h"
#include "wap/admin/site_creation.h"

namespace backoffice {

using passwords::HashPassword;

namespace fs = std::filesystem;
namespace {

// Removes a folder that did not exist when the guard was made, unless Keep() ran.
class NewFolderGuard {
 public:
  explicit NewFolderGuard(fs::path folder) : folder_(std::move(folder)) {
    std::error_code ec;
    existed_ = fs::exists(folder_, ec);
  }
  NewFolderGuard(const NewFolderGuard&) = delete;
  NewFolderGuard& operator=(const NewFolderGuard&) = delete;
  ~NewFolderGuard() {
    std::error_code ec;  // what cannot be removed stays; the failure itself is what is reported
    if (!existed_ && !kept_) fs::remove_all(folder_, ec);
  }
  void Keep() { kept_ = true; }

 private:
  fs::path folder_;
  bool existed_ = false;
  bool kept_ = false;
};

}  // namespace

bool IsNewOwnerName(std::string_view name) {
  const auto allowed = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  };
  if (name.empty() || name.size() > 32 || !allowed(name.front())) return false;
  for (const char c : name) {
    if (!allowed(c) && c != '-' && c != '_') return false;
  }
  return true;
}

void CheckNewMemberName(const NewMember& member) {
  if (!wap::IsSafeMemberName(member.username)) {
    throw std::invalid_argument("'" + member.username + "' cannot be a member folder's name");
  }
  // An existing site keeps the name its folder has; a new one takes a plain name.
  if (!member.userid && !IsNewOwnerName(member.username)) {
    throw std::invalid_argument("'" + member.username + "' is not a name a new owner may take: " +
                                std::string(kNewOwnerNames));
  }
}

std::int64_t CreateMember(data::Connection& connection, const fs::path& web_root,
                          const NewMember& member) {
  CheckNewMemberName(member);
  if (member.password.empty()) throw std::invalid_argument("the password is empty");
  if (!IsCallNumber(member.dircall)) {
    throw std::invalid_argument("the call number may hold only digits, +, - and spaces");
  }
  std::error_code ec;
  if (member.templeteid < 0 ||
      !fs::is_directory(web_root / "wapTemplete" / std::to_string(member.templeteid), ec)) {
    throw std::invalid_argument("there is no site template wapTemplete/" +
                                std::to_string(member.templeteid));
  }
  const std::string hash = HashPassword(member.password);

  data::TransactionGuard transaction(connection);
  if (store::FindOwner(connection, member.username)) {
    throw std::runtime_error("there is already an owner named '" + member.username + "'");
  }
  if (member.userid && store::FindOwnerById(connection, *member.userid)) {
    throw std::runtime_error("site " + std::to_string(*member.userid) + " already has an owner");
  }
  const std::int64_t userid = store::AddOwner(connection, member.username, hash, member.userid);
  store::AddSettingUnlessPresent(
      connection, userid,
      member.dircall.empty() ? std::nullopt : std::optional<std::string>(member.dircall),
      member.templeteid);
  const fs::path member_folder = web_root / "waphome" / member.username;
  NewFolderGuard folder(member_folder);
  if (!member.userid || !fs::exists(member_folder, ec)) {
    fso::FileSystemObject files;
    wap::CreateMemberSite(connection, files, web_root, web_root / "waphome", userid,
                          member.username);
    images::MakeFolderWbmps(member_folder);  // the template's banner, for handsets
  }
  transaction.Commit();
  folder.Keep();
  return userid;
}

}  // namespace backoffice
