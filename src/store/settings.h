// A member site's settings row: the call-entry number and the site template. A member has a site
// when it has such a row. A member with several rows is read from the first (by id). One
// connection, one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/audit.h"

namespace data {
class Connection;
}

namespace store {

struct SiteSetting {
  std::string dircall;     // "" when NULL
  std::string templeteid;  // the stored value's text form, "" when NULL
};

// Member `userid`'s settings; std::nullopt when it has no row.
std::optional<SiteSetting> SettingOf(data::Connection& connection, std::int64_t userid);

// Sets the call-entry number (NULL for none) of member `actor.userid`, adding its row when
// missing, with its audit row, in one transaction. Throws what the database throws.
void SetCallNumber(data::Connection& connection, const AuditActor& actor,
                   const std::optional<std::string>& dircall);

// Sets the template of member `userid`, adding its row when missing. Joins the caller's
// transaction. Throws what the database throws.
void SetTemplate(data::Connection& connection, std::int64_t userid, std::int64_t templeteid);

// Adds the settings row of member `userid` unless it has one. Joins the caller's transaction.
void AddSettingUnlessPresent(data::Connection& connection, std::int64_t userid,
                             const std::optional<std::string>& dircall, std::int64_t templeteid);

}  // namespace store
