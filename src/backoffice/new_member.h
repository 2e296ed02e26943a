// A new member: the owner account, the member's wap_setting row and its site (folders and entry
// page, through the same site creation as the back office's), made together or not at all. One
// call per web root at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace data {
class Connection;
}

namespace backoffice {

struct NewMember {
  std::string username;  // the login name and the member folder's name
  std::string password;  // plain; only its hash is stored
  int templeteid = 1;    // the folder wapTemplete/N the site starts from
  std::string dircall;   // the call-entry telephone number; empty: none
  // The number of an existing site to take over (a database from before owners were kept): its
  // rows stay; a wap_setting row is added only when it has none, and the site is created only
  // when its member folder is missing. std::nullopt: a new number.
  std::optional<std::int64_t> userid;
};

// The names a new owner may take, as an operator is told them.
inline constexpr std::string_view kNewOwnerNames =
    "1 to 32 of the letters a-z and A-Z, the digits 0-9, '-' and '_', starting with a letter or "
    "digit";

// True when `name` is one of kNewOwnerNames. The name becomes the member folder's, the login
// name and a part of the site's addresses, which stay plain with these characters.
bool IsNewOwnerName(std::string_view name);

// Throws std::invalid_argument, saying why, when `member`'s name is one CreateMember refuses; so
// a command can refuse it before asking for a password.
void CheckNewMemberName(const NewMember& member);

// Creates the member in the database of `connection` and the web root `web_root` and returns its
// userid. Throws std::invalid_argument, before anything is made, for a name that cannot be a
// member folder (or, for a new number, is not IsNewOwnerName: the message says which names are),
// an empty password, a call number IsCallNumber refuses or a template folder that does not exist;
// std::runtime_error for a name or userid that an owner has; and what the database and the site
// creation throw. On any failure the rows are rolled back and a member folder this
// call made is removed.
std::int64_t CreateMember(data::Connection& connection, const std::filesystem::path& web_root,
                          const NewMember& member);

}  // namespace backoffice
